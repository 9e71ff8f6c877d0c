#pragma once
// Mivo::FileMapping: a disk file opened read-only (held exclusively, unless
// its folder cannot be written: see DataShareMode) with a read-only mapping
// object over all of it, from which byte ranges are mapped on demand as
// ViewOfFile objects.

#include "files/ViewOfFile.h"
#include "platform/UniqueHandle.h"
#include "platform/Win32.h"

#include <memory>

namespace Mivo {

class FileMapping {
public:
    // Closes what is held, then opens the file and creates the mapping object.
    // An empty file has nothing to map: it fails, unless emptyOpens, when it
    // opens with size 0 and no mapping object, and Map gives nothing. On
    // failure what was obtained stays until the next Open or Close.
    bool Open(const char* path, bool emptyOpens = false);
    void Close();

    // length bytes from offset, at any offset; offset 0 with length 0 is the
    // whole file. Empty when closed or when the range cannot be mapped.
    std::shared_ptr<ViewOfFile> Map(DWORD offset, DWORD length) const;

    DWORD Size() const { return size; }

private:
    platform::UniqueHandle file;
    platform::UniqueHandle mapping;
    DWORD size = 0;
};

}  // namespace Mivo
