#pragma once
// Mivo::ResourceFile: one opened data file, found either as a member of an
// archive that stands in for a folder on its path or as a plain file on disk.
// Both read from mapped memory through the same small interface. Owned by its
// single user; destruction closes it.

#include "files/LocalFile.h"
#include "files/MappedFile.h"
#include "files/String.h"
#include "platform/Win32.h"

#include <memory>

namespace Mivo {

class ResourceFile {
public:
    static constexpr int Closed = 0;
    static constexpr int DiskFile = 1;
    static constexpr int ArchiveMember = 2;

    ResourceFile() = default;
    ~ResourceFile();
    ResourceFile(const ResourceFile&) = delete;
    ResourceFile& operator=(const ResourceFile&) = delete;

    // Closes what is open, then looks path up: first as a member of the
    // archive of each folder on the path (folder + ".dat"), innermost first,
    // never the bare drive root; then as a plain file. A single-component path
    // is only ever a plain file. A member whose data does not lie inside its
    // archive is passed over as if absent, and a file of 2 GB or more is not
    // opened, so that Size() is always what can be read.
    bool Open(const char* path);
    void Close();

    // -1 (or false) when closed.
    int Size() const;
    int Tell() const;
    // origin 0: from the first byte, 1: from the position, 2: from the last
    // byte. The position is clamped to the file; a disk file may also stand one
    // past its last byte, an archive member only on its last byte.
    bool Seek(int offset, int origin);
    // Bytes copied (at most count), 0 at the end.
    int Read(void* buffer, int count);

    int Kind() const { return kind; }
    const String& Path() const { return path; }

private:
    int kind = Closed;
    std::unique_ptr<MappedFile> mappedFile;
    const BYTE* position = nullptr;
    std::unique_ptr<LocalFile> member;
    String path;
};

}  // namespace Mivo
