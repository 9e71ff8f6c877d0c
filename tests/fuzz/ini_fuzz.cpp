// The settings-file engine. The input is a settings file. Every read agrees
// with a separate reader written from the rules in platform/Win32Profile.h,
// and every write changes its own line and no other: the file's lines
// afterwards are its lines before, with one line added, changed or removed.

#include "platform/linux/profile/IniText.h"
#include "platform/Win32.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/IniLines.h"

#include <algorithm>
#include <optional>
#include <set>
#include <vector>

namespace {

// ---- The rules, read the simple way ----------------------------------------

std::string Trim(const std::string& text)
{
    const char* blanks = " \t\v\f";
    const std::size_t start = text.find_first_not_of(blanks);
    return start == std::string::npos ? "" : text.substr(start, text.find_last_not_of(blanks) - start + 1);
}

struct ModelLine {
    enum Kind { Blank, Comment, Section, Key } kind = Blank;
    std::string name, value, text;
};

std::vector<ModelLine> Model(const std::string& bytes)
{
    std::vector<ModelLine> model;
    for (const std::string& text : ini_lines::Split(bytes)) {
        ModelLine line;
        line.text = text;
        const std::string trimmed = Trim(text);
        const std::size_t close = trimmed.rfind(']');
        if (trimmed.empty()) {
            line.kind = ModelLine::Blank;
        } else if (trimmed[0] == ';') {
            line.kind = ModelLine::Comment;
        } else if (trimmed[0] == '[' && close != std::string::npos && close > 0) {
            line.kind = ModelLine::Section;
            line.name = Trim(trimmed.substr(1, close - 1));
        } else {
            line.kind = ModelLine::Key;
            const std::size_t equals = trimmed.find('=');
            line.name = Trim(trimmed.substr(0, equals));
            line.value = equals == std::string::npos ? "" : Trim(trimmed.substr(equals + 1));
        }
        model.push_back(line);
    }
    return model;
}

// Names are C strings on their way through the calls: a zero byte ends one.
std::string CName(const std::string& name)
{
    return name.substr(0, name.find('\0'));
}

// A name in the file against a name asked for, which loses its blanks.
bool SameName(const std::string& full, const std::string& asked)
{
    const std::string a = CName(full), b = Trim(CName(asked));
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

bool IsAscii(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The first matching key in the first matching section; null when none.
const ModelLine* ModelKey(const std::vector<ModelLine>& model, const std::string& section, const std::string& key)
{
    auto header = std::find_if(model.begin(), model.end(), [&](const ModelLine& line) {
        return line.kind == ModelLine::Section && SameName(line.name, section);
    });
    if (header == model.end())
        return nullptr;
    for (auto line = header + 1; line != model.end() && line->kind != ModelLine::Section; ++line)
        if (line->kind == ModelLine::Key && SameName(line->name, key))
            return &*line;
    return nullptr;
}

// Its value, without a pair of surrounding quotes.
std::optional<std::string> ModelFind(const std::vector<ModelLine>& model, const std::string& section,
                                     const std::string& key)
{
    const ModelLine* line = ModelKey(model, section, key);
    if (line == nullptr)
        return std::nullopt;
    std::string value = line->value;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

// The integer Windows reads from a value.
UINT ModelInt(const std::string& value, UINT fallback)
{
    if (value.empty())
        return fallback;
    std::size_t i = value.find_first_not_of(" \t\v\f\r\n");
    if (i == std::string::npos)
        return 0;
    const bool negative = value[i] == '-';
    if (value[i] == '-' || value[i] == '+')
        ++i;
    UINT n = 0;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i)
        n = n * 10 + static_cast<UINT>(value[i] - '0');
    return negative ? 0u - n : n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<ModelLine> model = Model(bytes);

    // Ask for every name the file holds, and for the program's own.
    std::set<std::pair<std::string, std::string>> queries = {{"Setting", "Interval"}};
    std::string section;
    bool asciiNames = true;
    for (const ModelLine& line : model) {
        if (line.kind == ModelLine::Section || line.kind == ModelLine::Key)
            asciiNames = asciiNames && IsAscii(line.name);
        if (line.kind == ModelLine::Section)
            section = line.name;
        else if (line.kind == ModelLine::Key && queries.size() < 12)
            queries.insert({CName(section.empty() ? "Setting" : section), CName(line.name)});
    }

    const platform::IniText text(bytes);
    for (const auto& [sectionName, key] : queries) {
        const std::optional<std::string> found = text.Find(sectionName, key);
        // Names beyond ASCII match as the system's comparison has it, which
        // the simple reader leaves alone.
        if (asciiNames)
            STRUMKEY_CHECK(found == ModelFind(model, sectionName, key));
    }

    // One read through the file, as the program reads its settings.
    const std::string path = FuzzScratch::Get().Write("a.ini", data, size);
    const std::optional<std::string> interval = ModelFind(model, "Setting", "Interval");
    if (asciiNames)
        STRUMKEY_CHECK(GetPrivateProfileIntA("Setting", "Interval", 25, path.c_str()) ==
                       ModelInt(interval.value_or(""), 25));

    // Writes.
    const std::vector<std::string> before = ini_lines::Split(bytes);
    for (const auto& query : queries) {
        const std::string& sectionName = query.first;
        const std::string& key = query.second;
        if (!asciiNames || sectionName.find(']') != std::string::npos)
            break;
        const bool hasSection = std::any_of(model.begin(), model.end(), [&](const ModelLine& line) {
            return line.kind == ModelLine::Section && SameName(line.name, sectionName);
        });
        const ModelLine* keyLine = ModelKey(model, sectionName, key);
        const bool hasKey = keyLine != nullptr;

        platform::IniText set(bytes);
        if (set.Set(sectionName, key, "v1")) {
            const std::vector<std::string> after = ini_lines::Split(set.Bytes());
            std::vector<std::string> expected = before;
            if (!hasSection)
                expected.push_back("[" + Trim(sectionName) + "]");
            STRUMKEY_CHECK(hasKey ? ini_lines::OneLineChanged(after, before)
                                  : ini_lines::OneLineMore(after, expected, Trim(key) + "=v1"));
            STRUMKEY_CHECK(set.Find(sectionName, key) == std::optional<std::string>("v1"));
        }
        platform::IniText deleted(bytes);
        STRUMKEY_CHECK(deleted.DeleteKey(sectionName, key) == hasKey);
        if (hasKey)
            STRUMKEY_CHECK(ini_lines::OneLineMore(before, ini_lines::Split(deleted.Bytes()), keyLine->text));
    }
    return 0;
}
