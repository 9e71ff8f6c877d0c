#include "platform/linux/profile/IniText.h"

#include "platform/Win32.h"

#include <algorithm>
#include <string_view>

namespace platform {

namespace {

constexpr std::string_view Blanks = " \t\v\f";
constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c)
{
    return Blanks.find(c) != std::string_view::npos;
}

// Narrows [start, end) of text to exclude blanks at both ends.
void TrimRange(const std::string& text, std::size_t& start, std::size_t& end)
{
    while (start < end && IsBlank(text[start]))
        ++start;
    while (end > start && IsBlank(text[end - 1]))
        --end;
}

std::string Trimmed(const std::string& name)
{
    std::size_t start = 0, end = name.size();
    TrimRange(name, start, end);
    return name.substr(start, end - start);
}

}  // namespace

IniText::IniText(std::string text) : bytes(std::move(text))
{
    Split();
}

void IniText::Split()
{
    lines.clear();
    // At most one line per line-end byte, and the last one without: one
    // allocation, however many lines.
    lines.reserve(std::count(bytes.begin(), bytes.end(), '\n') + std::count(bytes.begin(), bytes.end(), '\r') + 1);
    // A byte order mark is no part of the first line.
    std::size_t pos = bytes.starts_with(Utf8Bom) ? Utf8Bom.size() : 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", pos);
        std::size_t next;
        if (end == std::string::npos)
            end = next = bytes.size();
        else if (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n')
            next = end + 2;
        else
            next = end + 1;
        lines.push_back({pos, end, next});
        pos = next;
    }
}

IniText::Parsed IniText::Parse(const Line& line) const
{
    Parsed parsed;
    std::size_t start = line.start, end = line.end;
    TrimRange(bytes, start, end);
    if (start == end)
        return parsed;
    if (bytes[start] == ';') {
        parsed.kind = Kind::Comment;
        return parsed;
    }
    // Every search stays inside the line, so that reading a file costs one
    // pass over it whatever it holds.
    const std::string_view text(bytes.data() + start, end - start);
    if (text.front() == '[') {
        // The name runs to the line's last ']'; without one, Windows takes the
        // line for a key.
        const std::size_t closeInLine = text.rfind(']');
        if (closeInLine != std::string_view::npos && closeInLine > 0) {
            const std::size_t close = start + closeInLine;
            parsed.kind = Kind::Section;
            parsed.nameStart = start + 1;
            parsed.nameEnd = close;
            TrimRange(bytes, parsed.nameStart, parsed.nameEnd);
            return parsed;
        }
    }
    parsed.kind = Kind::Key;
    const std::size_t equalsInLine = text.find('=');
    if (equalsInLine == std::string_view::npos) {
        // A key without '=' has an empty value.
        parsed.nameStart = start;
        parsed.nameEnd = end;
        parsed.valueStart = parsed.valueEnd = end;
        return parsed;
    }
    const std::size_t equals = start + equalsInLine;
    parsed.nameStart = start;
    parsed.nameEnd = equals;
    TrimRange(bytes, parsed.nameStart, parsed.nameEnd);
    parsed.valueStart = equals + 1;
    parsed.valueEnd = end;
    TrimRange(bytes, parsed.valueStart, parsed.valueEnd);
    return parsed;
}

bool IniText::NameIs(const Parsed& parsed, const std::string& name) const
{
    // Names compare as Windows compares them, without regard to case.
    std::string own = bytes.substr(parsed.nameStart, parsed.nameEnd - parsed.nameStart);
    return lstrcmpiA(own.c_str(), name.c_str()) == 0;
}

std::optional<IniText::Range> IniText::FindSection(const std::string& name) const
{
    std::string wanted = Trimmed(name);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        Parsed parsed = Parse(lines[i]);
        if (parsed.kind != Kind::Section || !NameIs(parsed, wanted))
            continue;
        std::size_t end = i + 1;
        while (end < lines.size() && Parse(lines[end]).kind != Kind::Section)
            ++end;
        return Range{i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> IniText::FindKey(const Range& range, const std::string& name) const
{
    std::string wanted = Trimmed(name);
    for (std::size_t i = range.header + 1; i < range.end; ++i) {
        Parsed parsed = Parse(lines[i]);
        if (parsed.kind == Kind::Key && NameIs(parsed, wanted))
            return i;
    }
    return std::nullopt;
}

std::string IniText::LineEnd() const
{
    // Inserted lines end as the file's first line does; CRLF as Windows writes.
    for (const Line& line : lines)
        if (line.next > line.end)
            return bytes.substr(line.end, line.next - line.end);
    return "\r\n";
}

std::optional<std::string> IniText::Find(const std::string& section, const std::string& key) const
{
    std::optional<Range> range = FindSection(section);
    if (!range)
        return std::nullopt;
    std::optional<std::size_t> index = FindKey(*range, key);
    if (!index)
        return std::nullopt;
    Parsed parsed = Parse(lines[*index]);
    std::string value = bytes.substr(parsed.valueStart, parsed.valueEnd - parsed.valueStart);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

bool IniText::Set(const std::string& section, const std::string& key, const std::string& value)
{
    const std::string eol = LineEnd();
    std::optional<Range> range = FindSection(section);
    if (!range) {
        std::string added;
        if (!lines.empty() && lines.back().next == lines.back().end)
            added += eol;  // the last line had no line end
        added += "[" + Trimmed(section) + "]" + eol + Trimmed(key) + "=" + value + eol;
        bytes += added;
        Split();
        return true;
    }
    if (std::optional<std::size_t> index = FindKey(*range, key)) {
        // A value that is already there leaves its line exactly as it is,
        // blanks and all: a save that changes nothing touches nothing.
        Parsed parsed = Parse(lines[*index]);
        if (bytes.compare(parsed.valueStart, parsed.valueEnd - parsed.valueStart, value) == 0)
            return false;
        // Rewrite the line from the key on, keeping the key as the file spells
        // it, the indentation before it and the line end after it.
        std::string replacement = bytes.substr(parsed.nameStart, parsed.nameEnd - parsed.nameStart) + "=" + value;
        std::size_t length = lines[*index].end - parsed.nameStart;
        bytes.replace(parsed.nameStart, length, replacement);
        Split();
        return true;
    }
    // A new key goes after the section's last key (comments and blank lines
    // that follow it stay below), or right after the section line.
    std::size_t after = range->header;
    for (std::size_t i = range->header + 1; i < range->end; ++i)
        if (Parse(lines[i]).kind == Kind::Key)
            after = i;
    const Line& line = lines[after];
    std::string newLine = Trimmed(key) + "=" + value;
    if (line.next > line.end) {
        // A bare CR before a LF would make one CRLF of the two, and the line
        // after would be lost; the line above's own end never merges so.
        const bool merges = eol == "\r" && line.next < bytes.size() && bytes[line.next] == '\n';
        bytes.insert(line.next, newLine + (merges ? bytes.substr(line.end, line.next - line.end) : eol));
    } else
        bytes.insert(line.end, eol + newLine);  // the file's last line, without a line end
    Split();
    return true;
}

bool IniText::DeleteKey(const std::string& section, const std::string& key)
{
    std::optional<Range> range = FindSection(section);
    if (!range)
        return false;
    std::optional<std::size_t> index = FindKey(*range, key);
    if (!index)
        return false;
    EraseLines(*index, *index + 1);
    return true;
}

bool IniText::DeleteSection(const std::string& section)
{
    std::optional<Range> range = FindSection(section);
    if (!range)
        return false;
    EraseLines(range->header, range->end);
    return true;
}

void IniText::EraseLines(std::size_t first, std::size_t end)
{
    const std::size_t from = lines[first].start;
    const std::size_t to = lines[end - 1].next;
    // A line above that ends with a bare CR would merge with a LF after the
    // erased lines into one CRLF, and the line after would be lost: its CR
    // becomes a CRLF, which nothing after it merges with.
    bool merges = false;
    if (first > 0) {
        const Line& above = lines[first - 1];
        merges = above.next == above.end + 1 && bytes[above.end] == '\r' && to < bytes.size() && bytes[to] == '\n';
    }
    bytes.replace(from, to - from, merges ? "\n" : "");
    Split();
}

}  // namespace platform
