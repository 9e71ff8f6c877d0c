// kernel32: last error, module file name, current directory, string compare.

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/linux/kernel/Errors.h"
#include "platform/linux/kernel/PathMapping.h"
#include "platform/Text.h"
#include "platform/Win32.h"

namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

// The executable's UTF-8 path, or empty (with errno set) on failure.
std::string ExecutablePath()
{
    std::vector<char> buffer(256);
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (static_cast<std::size_t>(n) < buffer.size())
            return std::string(buffer.data(), static_cast<std::size_t>(n));
        buffer.resize(buffer.size() * 2);  // may have been cut off: try again with more room
    }
}

bool IsDirectory(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Windows tells a missing last component (file not found) from a missing
// folder on the way (path not found); ENOENT covers both.
DWORD MissingPathError(const std::string& unixPath)
{
    std::string folder = unixPath;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    std::size_t slash = folder.rfind('/');
    if (slash == std::string::npos)
        return ERROR_FILE_NOT_FOUND;  // in the current folder
    folder.resize(slash == 0 ? 1 : slash);
    return IsDirectory(folder) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

// A cp932 character as one code: the byte of a one-byte character, or lead
// byte * 256 + trail byte. A lead byte right before the terminator is a
// character of its own. Returns 0 at the end of the text.
unsigned NextCp932Char(const unsigned char*& p)
{
    unsigned code = *p;
    if (code == 0)
        return 0;
    ++p;
    if (platform::IsCp932LeadByte(static_cast<unsigned char>(code)) && *p != 0)
        code = (code << 8) | *p++;
    return code;
}

// Upper-case letters that lstrcmpiA takes as their lower-case forms: ASCII,
// full-width Latin, Greek and Cyrillic. The Cyrillic lower-case row skips the
// code 0x847F, hence its two ranges.
struct FoldRange {
    unsigned first;
    unsigned last;
    unsigned offset;
};
constexpr FoldRange FoldRanges[] = {
    {0x41, 0x5A, 0x20},      // A-Z -> a-z
    {0x8260, 0x8279, 0x21},  // full-width A-Z -> a-z
    {0x839F, 0x83B6, 0x20},  // Greek Alpha-Omega -> alpha-omega
    {0x8440, 0x844E, 0x30},  // Cyrillic A-N -> a-n (0x8470-0x847E)
    {0x844F, 0x8460, 0x31},  // Cyrillic O-Ya -> o-ya (0x8480-0x8491)
};

unsigned FoldCase(unsigned code)
{
    for (const FoldRange& range : FoldRanges)
        if (code >= range.first && code <= range.last)
            return code + range.offset;
    return code;
}

// Compares the texts' sequences of character codes; a proper prefix is less.
int CompareCp932(LPCSTR a, LPCSTR b, bool ignoreCase)
{
    const auto* pa = reinterpret_cast<const unsigned char*>(a ? a : "");
    const auto* pb = reinterpret_cast<const unsigned char*>(b ? b : "");
    for (;;) {
        unsigned ca = NextCp932Char(pa);
        unsigned cb = NextCp932Char(pb);
        if (ignoreCase) {
            ca = FoldCase(ca);
            cb = FoldCase(cb);
        }
        if (ca != cb)
            return ca < cb ? -1 : 1;
        if (ca == 0)
            return 0;
    }
}

}  // namespace

DWORD GetLastError()
{
    return lastError;
}

void SetLastError(DWORD error)
{
    lastError = error;
}

DWORD GetModuleFileNameA(HMODULE, LPSTR buffer, DWORD size)
{
    std::string unixPath = ExecutablePath();
    if (unixPath.empty()) {
        SetLastError(platform::ErrorFromErrno(errno));
        return 0;
    }
    if (buffer == nullptr || size == 0) {
        SetLastError(size == 0 ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string path = platform::ToWindowsPath(unixPath);
    if (path.size() < size) {
        std::memcpy(buffer, path.c_str(), path.size() + 1);
        return static_cast<DWORD>(path.size());
    }
    std::memcpy(buffer, path.data(), size - 1);
    buffer[size - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

DWORD GetCurrentProcessId()
{
    return static_cast<DWORD>(::getpid());
}

DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer)
{
    std::unique_ptr<char, decltype(&std::free)> cwd(getcwd(nullptr, 0), &std::free);
    if (!cwd) {
        SetLastError(platform::ErrorFromErrno(errno));
        return 0;
    }
    std::string path = platform::ToWindowsPath(cwd.get());
    if (buffer == nullptr || path.size() >= size)
        return static_cast<DWORD>(path.size() + 1);
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count)
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    count->QuadPart = static_cast<LONGLONG>(now.tv_sec) * 1000000000 + now.tv_nsec;
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency)
{
    frequency->QuadPart = 1000000000;
    return TRUE;
}

BOOL SetCurrentDirectoryA(LPCSTR path)
{
    std::string unixPath;
    if (!platform::ToUnixPath(path, unixPath))
        return FALSE;
    if (chdir(unixPath.c_str()) == 0)
        return TRUE;
    int err = errno;
    struct stat st;
    if (err == ENOENT)
        SetLastError(MissingPathError(unixPath));
    else if (err == ENOTDIR && stat(unixPath.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
        SetLastError(ERROR_DIRECTORY);  // names a file
    else
        SetLastError(platform::ErrorFromErrno(err));
    return FALSE;
}

int lstrcmpA(LPCSTR a, LPCSTR b)
{
    return CompareCp932(a, b, false);
}

int lstrcmpiA(LPCSTR a, LPCSTR b)
{
    return CompareCp932(a, b, true);
}
