// kernel32: file attributes over Unix modes.

#include "platform/linux/kernel/FileAttributes.h"

#include "platform/linux/kernel/Errors.h"
#include "platform/linux/kernel/PathMapping.h"

#include <cerrno>
#include <string>

#include <sys/stat.h>

namespace platform {

DWORD AttributesOfMode(mode_t mode)
{
    DWORD attributes = 0;
    if (S_ISDIR(mode))
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (IsReadOnlyMode(mode))
        attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
}

}  // namespace platform

namespace {

// stat() of a Windows path; false with the last error set when it fails.
bool StatPath(LPCSTR fileName, std::string& unixPath, struct stat& st)
{
    if (fileName == nullptr) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    if (!platform::ToUnixPath(fileName, unixPath))
        return false;
    if (::stat(unixPath.c_str(), &st) != 0) {
        // Windows tells a missing file from a missing folder on the way.
        int error = errno;
        std::string::size_type slash = unixPath.find_last_of('/');
        std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : unixPath.substr(0, slash);
        struct stat folderStat;
        bool folderExists = ::stat(folder.c_str(), &folderStat) == 0 && S_ISDIR(folderStat.st_mode);
        SetLastError(error == ENOENT && !folderExists ? ERROR_PATH_NOT_FOUND : platform::ErrorFromErrno(error));
        return false;
    }
    return true;
}

}  // namespace

DWORD GetFileAttributesA(LPCSTR fileName)
{
    std::string unixPath;
    struct stat st;
    if (!StatPath(fileName, unixPath, st))
        return INVALID_FILE_ATTRIBUTES;
    return platform::AttributesOfMode(st.st_mode);
}

BOOL SetFileAttributesA(LPCSTR fileName, DWORD attributes)
{
    std::string unixPath;
    struct stat st;
    if (!StatPath(fileName, unixPath, st))
        return FALSE;
    mode_t mode = st.st_mode & 07777;
    mode_t wanted = mode;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        wanted = mode & ~mode_t{0222};
    else if (platform::IsReadOnlyMode(mode))
        wanted = mode | S_IWUSR;
    if (wanted != mode && ::chmod(unixPath.c_str(), wanted) != 0) {
        SetLastError(platform::ErrorFromErrno(errno));
        return FALSE;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}
