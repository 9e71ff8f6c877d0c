#include "files/ResourceFile.h"

#include "files/ArchiveList.h"
#include "files/Paths.h"
#include "files/Seek.h"

#include <cstdint>
#include <cstring>

namespace Mivo {

namespace {

// The largest file Size() can report.
constexpr DWORD Largest = 0x7FFFFFFF;

}  // namespace

ResourceFile::~ResourceFile()
{
    Close();
}

bool ResourceFile::Open(const char* request)
{
    Close();
    String full;
    if (!request || !NormalizePath(request, full))
        return false;

    // The folders on the path, innermost first: se\guitar\e2.wav is tried as
    // e2.wav in se\guitar.dat, then as guitar\e2.wav in se.dat.
    String folder(full.Text());
    RemoveLastComponents(folder, 1);
    while (!folder.IsEmpty() && !(IsDrivePath(folder.Text()) && folder.Length() <= 3)) {
        String archivePath(folder.Text());
        archivePath.AppendChar('.');
        archivePath.Append(ArchiveExtension.Text());
        if (ZipReader* archive = FindArchive(archivePath.Text())) {
            String memberName(full.Text());
            memberName.EraseFront(folder.Length() + 1);
            // A member is taken only when its data lies inside the archive and
            // its size fits Size(): the directory's numbers are never trusted.
            auto found = archive->OpenEntry(memberName.Text());
            if (found && found->Size() <= Largest && found->EnsureView() != nullptr) {
                member = std::move(found);
                path = full;
                kind = ArchiveMember;
                return true;
            }
        }
        RemoveLastComponents(folder, 1);
    }

    auto file = std::make_unique<MappedFile>();
    if (!file->Open(full.Text()) || file->Size() > Largest)
        return false;
    mappedFile = std::move(file);
    position = mappedFile->Base();
    path = full;
    kind = DiskFile;
    return true;
}

void ResourceFile::Close()
{
    mappedFile.reset();
    position = nullptr;
    member.reset();
    path.Clear();
    kind = Closed;
}

int ResourceFile::Size() const
{
    switch (kind) {
    case DiskFile:
        return static_cast<int>(mappedFile->Size());
    case ArchiveMember:
        return static_cast<int>(member->Size());
    default:
        return -1;
    }
}

int ResourceFile::Tell() const
{
    switch (kind) {
    case DiskFile:
        return static_cast<int>(position - mappedFile->Base());
    case ArchiveMember:
        return static_cast<int>(member->Tell());
    default:
        return -1;
    }
}

bool ResourceFile::Seek(int offset, int origin)
{
    if (kind == ArchiveMember)
        return member->Seek(offset, origin);
    if (kind != DiskFile)
        return false;

    // One past the last byte is a valid place to stand; beyond it is not.
    const auto target = SeekTarget(position - mappedFile->Base(), mappedFile->Size(), offset, origin, true);
    if (!target)
        return false;
    position = mappedFile->Base() + *target;
    return true;
}

int ResourceFile::Read(void* buffer, int count)
{
    if (kind == Closed)
        return -1;
    // A negative count describes no buffer: nothing is copied.
    if (count <= 0)
        return 0;
    if (kind == ArchiveMember)
        return static_cast<int>(member->Read(buffer, static_cast<DWORD>(count)));

    const DWORD left = mappedFile->Size() - static_cast<DWORD>(position - mappedFile->Base());
    const DWORD n = static_cast<DWORD>(count) < left ? static_cast<DWORD>(count) : left;
    if (n == 0)
        return 0;
    std::memcpy(buffer, position, n);
    position += n;
    return static_cast<int>(n);
}

}  // namespace Mivo
