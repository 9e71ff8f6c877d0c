#include "files/LocalFile.h"

#include "files/Seek.h"

#include <cstdint>
#include <cstring>

namespace Mivo {

LocalFile::LocalFile(std::shared_ptr<const FileMapping> mapping, std::shared_ptr<const ZipEntry> entry)
    : mapping(std::move(mapping)), entry(std::move(entry))
{}

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
    const auto target = SeekTarget(Tell(), entry->compressedSize, offset, origin, false);
    if (!target)
        return false;
    position = begin + *target;
    return true;
}

}  // namespace Mivo
