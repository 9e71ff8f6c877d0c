#pragma once
// File attributes from Unix modes. Internal to platform/.

#include <sys/types.h>

#include "platform/Win32.h"

namespace platform {

// FILE_ATTRIBUTE_READONLY means no write bit at all. Checked by hand: as root,
// open() and access() ignore the bits.
inline bool IsReadOnlyMode(mode_t mode)
{
    return (mode & 0222) == 0;
}

DWORD AttributesOfMode(mode_t mode);

}  // namespace platform
