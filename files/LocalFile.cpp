#include "files/LocalFile.h"

#include <cstdint>
#include <cstring>

namespace Mivo {

LocalFile::LocalFile(const FileMapping* mapping, const ZipEntry* entry) : mapping(mapping), entry(entry) {}

const BYTE* LocalFile::EnsureView()
{
    if (view)
        return position;
    // The directory may name any offset and size: a member that does not lie
    // wholly inside the archive is never mapped.
    if (std::uint64_t{entry->dataOffset} + entry->compressedSize > mapping->Size())
        return nullptr;
    view = mapping->Map(entry->dataOffset, entry->compressedSize);
    if (!view)
        return nullptr;
    begin = view->Data();
    position = begin;
    return position;
}

DWORD LocalFile::Read(void* buffer, DWORD count)
{
    if (!EnsureView())
        return 0;
    const DWORD left = entry->compressedSize - Tell();
    const DWORD n = count < left ? count : left;
    if (n == 0)
        return 0;
    std::memcpy(buffer, position, n);
    position += n;
    return n;
}

bool LocalFile::Seek(LONG offset, int origin)
{
    if (!EnsureView())
        return false;
    // Worked out as a byte index so that no pointer ever leaves the view.
    const std::int64_t size = entry->compressedSize;
    std::int64_t target;
    switch (origin) {
    case 0:
        target = offset;
        break;
    case 1:
        target = std::int64_t{Tell()} + offset;
        break;
    case 2:
        target = size - 1 + offset;
        break;
    default:
        return false;
    }
    if (target > size - 1)
        target = size - 1;
    // Also catches a member of size 0, whose only position is its start.
    if (target < 0)
        target = 0;
    position = begin + target;
    return true;
}

}  // namespace Mivo
