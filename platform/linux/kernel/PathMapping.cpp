#include "platform/linux/kernel/PathMapping.h"

#include <sys/stat.h>

#include "platform/linux/kernel/FolderEntries.h"
#include "platform/Text.h"
#include "platform/Win32.h"

namespace platform {
namespace {

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

bool Exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// The entry of folder that equals name ignoring ASCII case; the first in byte
// order when there are several, so the choice does not depend on the folder's
// listing order. Empty when there is none.
std::string FindIgnoringCase(const std::string& folder, std::string_view name)
{
    std::string best;
    for (const std::string& candidate : FolderEntries(folder.empty() ? "." : folder))
        if (EqualIgnoringAsciiCase(candidate, name) && (best.empty() || candidate < best))
            best = candidate;
    return best;
}

// Replaces, from the left, each component that does not exist as written by
// the entry of its folder that matches it ignoring ASCII case. Stops at the
// first component that has no match at all: the rest is kept as given, so a
// new file can still be named inside an existing folder. Matching entries
// always have the same length as the component, so the path is fixed in place.
void ResolveCase(std::string& path)
{
    if (path.empty() || Exists(path))
        return;
    std::size_t pos = 0;
    while (pos < path.size()) {
        while (pos < path.size() && path[pos] == '/')
            ++pos;
        std::size_t end = path.find('/', pos);
        if (end == std::string::npos)
            end = path.size();
        if (end == pos)
            break;
        std::string_view component(path.data() + pos, end - pos);
        std::string upTo = path.substr(0, end);
        if (component != "." && component != ".." && !Exists(upTo)) {
            std::string folder = path.substr(0, pos);
            std::string match = FindIgnoringCase(folder, component);
            if (match.empty())
                return;
            path.replace(pos, match.size(), match);
        }
        pos = end;
    }
}

}  // namespace

bool ToUnixPath(const char* windowsPath, std::string& unixPath)
{
    if (windowsPath == nullptr || windowsPath[0] == '\0' ||
        (IsSeparator(windowsPath[0]) && IsSeparator(windowsPath[1]))) {
        SetLastError(ERROR_PATH_NOT_FOUND);  // empty, or a "\\server\share" path
        return false;
    }
    const char* rest = windowsPath;
    if (windowsPath[1] == ':') {
        if (windowsPath[0] != 'Z' && windowsPath[0] != 'z') {
            SetLastError(ERROR_PATH_NOT_FOUND);  // only drive Z: exists
            return false;
        }
        rest = windowsPath + 2;  // "Z:a" is relative to the current folder, which is on Z:
    }
    // Converting first makes the separator swap safe: in UTF-8 a byte 0x5C is
    // always a backslash, never the second byte of a character.
    std::string utf8 = Cp932ToUtf8(rest);
    std::string out;
    out.reserve(utf8.size());
    for (char c : utf8) {
        if (IsSeparator(c)) {
            if (out.empty() || out.back() != '/')
                out += '/';  // runs of separators count as one
        } else {
            out += c;
        }
    }
    if (out.empty())
        out = ".";  // "Z:" names the current folder
    ResolveCase(out);
    unixPath = std::move(out);
    return true;
}

std::string ToWindowsPath(const std::string& unixPath)
{
    std::string out = unixPath.starts_with('/') ? "Z:" : "";
    for (char c : unixPath)
        out += (c == '/') ? '\\' : c;
    return Utf8NameToCp932(out);
}

}  // namespace platform
