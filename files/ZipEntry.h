#pragma once
// Mivo::ZipEntry: what the archive index keeps of one central directory entry.

#include "files/String.h"
#include "platform/Win32.h"

#include <vector>

namespace Mivo {

struct ZipEntry {
    String name;               // "/" turned into "\", outer separators trimmed
    DWORD dataOffset = 0;      // first byte of the member's data in the archive
    DWORD compressedSize = 0;  // the member's size for reading
    DWORD externalAttributes = 0;
    DWORD uncompressedSize = 0;
    FILETIME modified = {};  // UTC; 0 when the stored DOS date is not a date
    WORD versionMadeBy = 0;
    WORD versionNeeded = 0;
    WORD flags = 0;
    WORD method = 0;  // recorded only: members are served as stored
    WORD internalAttributes = 0;
    std::vector<BYTE> comment;
};

}  // namespace Mivo
