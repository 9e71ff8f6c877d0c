#pragma once
// The text of a private-profile (.ini) file, read and edited line by line so
// that every byte an edit does not touch stays as it was. Internal to
// platform/; the rules are those listed in platform/Win32Profile.h.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace platform {

class IniText {
public:
    explicit IniText(std::string bytes);

    // The value of the first matching key in the first matching section,
    // trimmed and without a pair of surrounding quotes; nothing when missing.
    std::optional<std::string> Find(const std::string& section, const std::string& key) const;

    // Edits. Each returns true when the text changed.
    bool Set(const std::string& section, const std::string& key, const std::string& value);
    bool DeleteKey(const std::string& section, const std::string& key);
    bool DeleteSection(const std::string& section);

    const std::string& Bytes() const { return bytes; }

private:
    // Text at [start, end), line end (CR, LF, CRLF or none) at [end, next).
    struct Line {
        std::size_t start, end, next;
    };
    enum class Kind { Blank, Comment, Section, Key };
    // What a line holds; name and value are byte ranges of the text, trimmed.
    struct Parsed {
        Kind kind = Kind::Blank;
        std::size_t nameStart = 0, nameEnd = 0;
        std::size_t valueStart = 0, valueEnd = 0;
    };
    // A section's line and the index just past its last line.
    struct Range {
        std::size_t header, end;
    };

    void Split();
    Parsed Parse(const Line& line) const;
    std::optional<Range> FindSection(const std::string& name) const;
    std::optional<std::size_t> FindKey(const Range& range, const std::string& name) const;
    bool NameIs(const Parsed& parsed, const std::string& name) const;
    std::string LineEnd() const;
    // Erases lines [first, end) whole, keeping every other line apart.
    void EraseLines(std::size_t first, std::size_t end);

    std::string bytes;
    std::vector<Line> lines;
};

}  // namespace platform
