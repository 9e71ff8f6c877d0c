#include "files/MappedFile.h"

#include "files/Paths.h"

namespace Mivo {

MappedFile::~MappedFile()
{
    Close();
}

bool MappedFile::Open(const char* path)
{
    Close();
    HANDLE opened = CreateFileA(path, GENERIC_READ, DataShareMode(path), nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return false;
    file = opened;
    size = GetFileSize(file, nullptr);
    if (size == INVALID_FILE_SIZE)
        return false;
    // The mapping call refuses an empty file; there is nothing to map anyway.
    if (size == 0)
        return true;
    mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mapping)
        return false;
    base = static_cast<const BYTE*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    return base != nullptr;
}

void MappedFile::Close()
{
    if (base) {
        UnmapViewOfFile(base);
        base = nullptr;
    }
    if (mapping) {
        CloseHandle(mapping);
        mapping = nullptr;
    }
    if (file) {
        CloseHandle(file);
        file = nullptr;
    }
}

}  // namespace Mivo
