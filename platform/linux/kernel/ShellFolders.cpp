// shell32: the user's settings folder, and folders made with their parents.

#include "platform/linux/kernel/Errors.h"
#include "platform/linux/kernel/PathMapping.h"
#include "platform/Win32.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The user's home folder: $HOME, else the password entry's.
std::string HomeFolder()
{
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return home;
    const passwd* entry = ::getpwuid(::getuid());
    return entry != nullptr && entry->pw_dir != nullptr && entry->pw_dir[0] == '/' ? entry->pw_dir : "";
}

// $XDG_CONFIG_HOME, else ~/.config; a relative $XDG_CONFIG_HOME is not to be
// used. Empty when there is no home folder.
std::string ConfigFolder()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/')
        return config;
    const std::string home = HomeFolder();
    return home.empty() ? home : (home == "/" ? "" : home) + "/.config";
}

}  // namespace

HRESULT SHGetFolderPathA(HWND, int folder, HANDLE, DWORD, LPSTR path)
{
    if (path == nullptr || folder != CSIDL_APPDATA)
        return E_INVALIDARG;
    path[0] = '\0';
    const std::string unixPath = ConfigFolder();
    if (unixPath.empty())
        return E_FAIL;
    const std::string windowsPath = platform::ToWindowsPath(unixPath);
    if (windowsPath.size() >= MAX_PATH)
        return E_FAIL;
    std::memcpy(path, windowsPath.c_str(), windowsPath.size() + 1);
    return S_OK;
}

int SHCreateDirectoryExA(HWND, LPCSTR path, const SECURITY_ATTRIBUTES*)
{
    std::string unixPath;
    if (path == nullptr || !platform::ToUnixPath(path, unixPath))
        return static_cast<int>(GetLastError());
    struct stat st;
    if (::stat(unixPath.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode) ? ERROR_ALREADY_EXISTS : ERROR_FILE_EXISTS;
    // Each missing folder from the top down; one that appears meanwhile is fine.
    for (std::size_t slash = unixPath.find('/', 1);; slash = unixPath.find('/', slash + 1)) {
        const std::string folder = unixPath.substr(0, slash);
        if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST)
            return static_cast<int>(platform::ErrorFromErrno(errno));
        if (slash == std::string::npos)
            break;
    }
    if (::stat(unixPath.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return ERROR_FILE_EXISTS;  // the last name is taken by a file
    return ERROR_SUCCESS;
}
