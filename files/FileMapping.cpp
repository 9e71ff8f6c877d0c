#include "files/FileMapping.h"

#include "files/Paths.h"

namespace Mivo {

bool FileMapping::Open(const char* path, bool emptyOpens)
{
    Close();
    file.Reset(
        CreateFileA(path, GENERIC_READ, DataShareMode(path), nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    size = GetFileSize(file.Get(), nullptr);
    if (size == INVALID_FILE_SIZE) {
        size = 0;
        return false;
    }
    // The mapping call refuses an empty file; there is nothing to map anyway.
    if (size == 0)
        return emptyOpens;
    mapping.Reset(CreateFileMappingA(file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    return static_cast<bool>(mapping);
}

void FileMapping::Close()
{
    mapping.Reset();
    file.Reset();
    size = 0;
}

std::shared_ptr<ViewOfFile> FileMapping::Map(DWORD offset, DWORD length) const
{
    if (!mapping)
        return nullptr;
    if (offset == 0 && length == 0)
        length = size;
    auto view = std::make_shared<ViewOfFile>(mapping.Get(), offset, length);
    if (!view->Data())
        return nullptr;
    return view;
}

}  // namespace Mivo
