#pragma once
// A settings file's lines, read the plain way, for checking that a write
// changes its own line and no other.

#include <algorithm>
#include <string>
#include <vector>

namespace ini_lines {

// The lines (CR, LF and CRLF end them) after a byte order mark, which is no
// part of the first one.
inline std::vector<std::string> Split(const std::string& bytes)
{
    std::vector<std::string> lines;
    std::size_t pos = bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string::npos)
            end = bytes.size();
        lines.push_back(bytes.substr(pos, end - pos));
        pos = end + (bytes.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

// True when longer is shorter with one more line, equal to line, somewhere.
inline bool OneLineMore(const std::vector<std::string>& longer, const std::vector<std::string>& shorter,
                        const std::string& line)
{
    if (longer.size() != shorter.size() + 1)
        return false;
    std::size_t i = 0;
    while (i < shorter.size() && longer[i] == shorter[i])
        ++i;
    return longer[i] == line && std::equal(shorter.begin() + i, shorter.end(), longer.begin() + i + 1);
}

// True when a and b differ in exactly one line.
inline bool OneLineChanged(const std::vector<std::string>& a, const std::vector<std::string>& b)
{
    if (a.size() != b.size())
        return false;
    std::size_t differ = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        differ += a[i] != b[i] ? 1 : 0;
    return differ == 1;
}

}  // namespace ini_lines
