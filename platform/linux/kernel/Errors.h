#pragma once
// Windows error codes for failed POSIX calls. Internal to platform/.

#include <cerrno>

#include "platform/Win32.h"

namespace platform {

inline DWORD ErrorFromErrno(int err)
{
    switch (err) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case ENAMETOOLONG:
        return ERROR_FILENAME_EXCED_RANGE;
    case EWOULDBLOCK:
        return ERROR_SHARING_VIOLATION;
    case EILSEQ:
        return ERROR_INVALID_NAME;
    default:
        return ERROR_INVALID_PARAMETER;
    }
}

}  // namespace platform
