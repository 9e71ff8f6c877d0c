#pragma once
// Mivo::LocalFile: the reader of one archive member. It maps the member's own
// byte range of the archive on first use and reads straight from that view;
// nothing is decompressed. The read position always lies on one of the
// member's bytes (or at its start when it has none), so seeking to the end
// leaves the last byte still to be read.

#include "files/FileMapping.h"
#include "files/ViewOfFile.h"
#include "files/ZipEntry.h"
#include "platform/Win32.h"

#include <memory>

namespace Mivo {

class LocalFile {
public:
    // The archive's mapping and the member's entry, shared with the archive.
    LocalFile(std::shared_ptr<const FileMapping> mapping, std::shared_ptr<const ZipEntry> entry);
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;

    // The current read pointer, mapping the member first if needed; null when
    // its bytes cannot be mapped (a later call tries again).
    const BYTE* EnsureView();

    // Copies up to count bytes from the position and advances it; 0 at the
    // end and when the member cannot be mapped.
    DWORD Read(void* buffer, DWORD count);

    // origin 0: from the first byte, 1: from the position, 2: from the last
    // byte. The result is clamped to the member's first and last byte. False
    // for another origin or when the member cannot be mapped.
    bool Seek(LONG offset, int origin);

    DWORD Size() const { return entry->compressedSize; }
    // Bytes from the start to the position; 0 before anything is mapped.
    DWORD Tell() const { return static_cast<DWORD>(position - begin); }
    const ZipEntry& Entry() const { return *entry; }

private:
    std::shared_ptr<const FileMapping> mapping;
    std::shared_ptr<const ZipEntry> entry;
    const BYTE* begin = nullptr;
    const BYTE* position = nullptr;
    std::shared_ptr<ViewOfFile> view;
};

}  // namespace Mivo
