#pragma once
// What the tests ask of the system, the same on Linux and on Windows: a new
// folder under the temp folder, the test program's own path, the Windows path
// the program sees for a path of the system, and environment variables.
// Paths of the system are UTF-8 (u8"..." literals), as std::filesystem::u8path
// takes them.

#include "platform/Text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <stdlib.h>
#endif

#include <algorithm>
#include <filesystem>
#include <string>

namespace test_system {

// A new folder under the system's temp folder, named prefix and a few more
// characters; empty when none could be made.
inline std::string MakeTempFolder(const std::string& prefix)
{
    const std::filesystem::path temp = std::filesystem::temp_directory_path();
#ifdef _WIN32
    // Windows has no mkdtemp: a name no folder has yet.
    const unsigned start = GetTickCount();
    for (unsigned n = start; n != start + 1000; ++n) {
        const std::filesystem::path folder =
            temp / (prefix + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(n));
        std::error_code error;
        if (std::filesystem::create_directory(folder, error))
            return folder.u8string();
    }
    return {};
#else
    std::string pattern = (temp / (prefix + "XXXXXX")).string();
    return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
#endif
}

// The test program's executable.
inline std::filesystem::path ThisProgram()
{
#ifdef _WIN32
    wchar_t name[32768];
    const DWORD length = GetModuleFileNameW(nullptr, name, static_cast<DWORD>(std::size(name)));
    return std::filesystem::path(std::wstring(name, length));
#else
    return std::filesystem::read_symlink("/proc/self/exe");
#endif
}

// The cp932 Windows path that the program sees for a path of the system,
// with '\\' for '/': on Linux the Unix tree is drive Z:. A character cp932
// lacks comes as the program gets it from the system.
inline std::string WindowsPathOf(const std::string& path)
{
    std::string windows = path.starts_with('/') ? "Z:" + path : path;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    return platform::Utf8NameToCp932(windows);
}

// Sets (or with nullptr removes) an environment variable of this process, as
// the C runtime that SDL reads it from sees it; true when it did.
inline bool SetEnvironment(const char* name, const char* value)
{
#ifdef _WIN32
    return _putenv_s(name, value != nullptr ? value : "") == 0;
#else
    return value != nullptr ? setenv(name, value, 1) == 0 : unsetenv(name) == 0;
#endif
}

}  // namespace test_system
