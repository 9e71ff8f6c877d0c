#pragma once
// Mivo::FileMapping: a disk file opened read-only (held exclusively, unless
// its folder cannot be written: see DataShareMode) with a read-only mapping
// object over all of it, from which byte ranges are mapped on demand as
// ViewOfFile objects.

#include "files/ViewOfFile.h"
#include "platform/Win32.h"

#include <memory>

namespace Mivo {

class FileMapping {
public:
    FileMapping() = default;
    ~FileMapping();
    FileMapping(const FileMapping&) = delete;
    FileMapping& operator=(const FileMapping&) = delete;

    // Closes what is held, then opens the file and creates the mapping object.
    // An empty file cannot be mapped, so it fails.
    bool Open(const char* path);
    void Close();

    // length bytes from offset, at any offset; offset 0 with length 0 is the
    // whole file. Empty when closed or when the range cannot be mapped.
    std::shared_ptr<ViewOfFile> Map(DWORD offset, DWORD length) const;

    bool IsOpen() const { return mapping != nullptr; }
    DWORD Size() const { return size; }

private:
    HANDLE file = nullptr;
    HANDLE mapping = nullptr;
    DWORD size = 0;
};

}  // namespace Mivo
