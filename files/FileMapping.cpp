#include "files/FileMapping.h"

#include "files/Paths.h"

namespace Mivo {

FileMapping::~FileMapping()
{
    Close();
}

bool FileMapping::Open(const char* path)
{
    Close();
    HANDLE opened = CreateFileA(path, GENERIC_READ, DataShareMode(path), nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened == INVALID_HANDLE_VALUE)
        return false;
    file = opened;
    size = GetFileSize(file, nullptr);
    if (size == INVALID_FILE_SIZE)
        return false;
    mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    return mapping != nullptr;
}

void FileMapping::Close()
{
    if (mapping) {
        CloseHandle(mapping);
        mapping = nullptr;
    }
    if (file) {
        CloseHandle(file);
        file = nullptr;
    }
}

std::shared_ptr<ViewOfFile> FileMapping::Map(DWORD offset, DWORD length) const
{
    if (!mapping)
        return nullptr;
    if (offset == 0 && length == 0)
        length = size;
    auto view = std::make_shared<ViewOfFile>(mapping, offset, length);
    if (!view->Data())
        return nullptr;
    return view;
}

}  // namespace Mivo
