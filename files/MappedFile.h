#pragma once
// Mivo::MappedFile: a disk file opened read-only (held exclusively, unless its
// folder cannot be written: see DataShareMode) and mapped whole at once. An
// empty file opens with size 0 and no mapping.

#include "platform/Win32.h"

namespace Mivo {

class MappedFile {
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // Closes what is held, then opens and maps the file (a cp932 Windows path,
    // relative paths against the current directory). On failure the handles
    // already obtained stay until the next Open or Close.
    bool Open(const char* path);
    void Close();

    // First byte of the file; null when nothing is mapped or the file is empty.
    const BYTE* Base() const { return base; }
    DWORD Size() const { return size; }

private:
    HANDLE file = nullptr;
    HANDLE mapping = nullptr;
    const BYTE* base = nullptr;
    DWORD size = 0;
};

}  // namespace Mivo
