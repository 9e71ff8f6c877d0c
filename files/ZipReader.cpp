#include "files/ZipReader.h"

#include "files/Paths.h"
#include "platform/Win32.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace Mivo {

namespace {

constexpr DWORD LocalHeaderSignature = 0x04034b50;
constexpr DWORD CentralHeaderSignature = 0x02014b50;
constexpr DWORD EndRecordSignature = 0x06054b50;
constexpr DWORD EndRecordSize = 22;
constexpr DWORD CentralHeaderSize = 46;
constexpr DWORD LocalHeaderSize = 30;
// The end record with the longest possible comment.
constexpr DWORD LongestTail = EndRecordSize + 0xFFFF;

// Archive numbers are little-endian and need not be aligned.
WORD ReadWord(const BYTE* p)
{
    return static_cast<WORD>(p[0] | p[1] << 8);
}

DWORD ReadDword(const BYTE* p)
{
    DWORD value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// Names that ComparePath finds equal have the same characters, one-byte
// characters equal but for ASCII case and two-byte characters in the same
// places (case folding never turns one into the other). The key hashes just
// that, so it never tells equal names apart; ComparePath decides among the
// few names that share a key.
std::uint64_t NameKey(const char* name)
{
    std::uint64_t hash = 0xCBF29CE484222325ull;  // FNV-1a
    auto mix = [&hash](unsigned value) {
        hash ^= value;
        hash *= 0x100000001B3ull;
    };
    for (const char* p = name; *p != 0;) {
        const auto c = static_cast<unsigned char>(*p);
        if (IsLeadByte(c) && p[1] != 0) {
            mix(0x100);  // some two-byte character
            p += 2;
        } else {
            mix(c >= 'A' && c <= 'Z' ? c + 0x20 : c);
            p += 1;
        }
    }
    return hash;
}

}  // namespace

ZipReader::~ZipReader()
{
    Close();
}

bool ZipReader::Open(const char* path)
{
    Close();
    if (!path)
        return false;

    WIN32_FIND_DATAA found;
    if (!platform::UniqueFindHandle(FindFirstFileA(path, &found)))
        return false;
    if (found.nFileSizeHigh != 0)
        return false;

    contents = std::make_shared<Contents>();
    FileMapping& mapping = contents->mapping;
    if (!mapping.Open(path))
        return false;
    const DWORD size = mapping.Size();
    // Too short to hold even an end record.
    if (size < EndRecordSize)
        return false;

    // An archive must begin with a local header: leading data is refused.
    {
        auto head = mapping.Map(0, 4);
        if (!head || ReadDword(head->Data()) != LocalHeaderSignature)
            return false;
    }

    // The end record and its comment end the file. Search backwards from the
    // last place the record fits, down to the tail's first byte and no further.
    int count;
    DWORD directorySize;
    DWORD directoryOffset;
    {
        const DWORD tailOffset = size >= LongestTail ? size - LongestTail : 0;
        auto tail = mapping.Map(tailOffset, size - tailOffset);
        if (!tail)
            return false;
        const BYTE* record = nullptr;
        for (std::int64_t n = std::int64_t{tail->Size()} - EndRecordSize; n >= 0 && !record; --n) {
            const BYTE* candidate = tail->Data() + n;
            if (ReadDword(candidate) == EndRecordSignature &&
                std::uint64_t{tailOffset} + n + EndRecordSize + ReadWord(candidate + 20) == size)
                record = candidate;
        }
        if (!record)
            return false;
        // A count of 32768 or more reads as negative and gives an empty index.
        count = static_cast<std::int16_t>(ReadWord(record + 10));
        directorySize = ReadDword(record + 12);
        directoryOffset = ReadDword(record + 16);
    }

    auto directory = mapping.Map(directoryOffset, directorySize);
    if (!directory)
        return false;
    if (!ReadDirectory(directory->Data(), directory->Size(), count)) {
        contents->entries.clear();
        return false;
    }

    BuildIndex();
    name.Assign(path);
    return true;
}

void ZipReader::BuildIndex()
{
    const std::vector<ZipEntry>& entries = contents->entries;
    index.clear();
    index.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        index.push_back({NameKey(entries[i].name.Text()), i});
    std::sort(index.begin(), index.end());
}

// Walks count central directory entries. Every length comes from the archive,
// so each entry is checked to lie inside the directory before it is read.
bool ZipReader::ReadDirectory(const BYTE* directory, DWORD directorySize, int count)
{
    std::uint64_t at = 0;
    for (; count >= 1; --count) {
        if (at + CentralHeaderSize > directorySize)
            return false;
        const BYTE* header = directory + at;
        if (ReadDword(header) != CentralHeaderSignature)
            return false;
        const WORD nameLength = ReadWord(header + 28);
        const WORD extraLength = ReadWord(header + 30);
        const WORD commentLength = ReadWord(header + 32);
        const std::uint64_t entrySize = std::uint64_t{CentralHeaderSize} + nameLength + extraLength + commentLength;
        if (at + entrySize > directorySize)
            return false;

        ZipEntry entry;
        entry.versionMadeBy = ReadWord(header + 4);
        entry.versionNeeded = ReadWord(header + 6);
        entry.flags = ReadWord(header + 8);
        entry.method = ReadWord(header + 10);
        FILETIME local;
        if (DosDateTimeToFileTime(ReadWord(header + 14), ReadWord(header + 12), &local) &&
            !LocalFileTimeToFileTime(&local, &entry.modified))
            entry.modified = {};
        entry.compressedSize = ReadDword(header + 20);
        entry.uncompressedSize = ReadDword(header + 24);
        entry.internalAttributes = ReadWord(header + 36);
        entry.externalAttributes = ReadDword(header + 38);

        entry.name.AssignPrefix(reinterpret_cast<const char*>(header + CentralHeaderSize), nameLength);
        entry.name.ReplaceChar('/', '\\');
        TrimSeparators(entry.name);

        // The data follows the local header, whose name and extra lengths are
        // taken from this entry. A sum past 32 bits cannot lie inside an
        // archive under 4 GB: it is kept as the highest offset, which no
        // member can be mapped from.
        const std::uint64_t dataOffset =
            std::uint64_t{ReadDword(header + 42)} + LocalHeaderSize + nameLength + extraLength;
        entry.dataOffset = dataOffset > 0xFFFFFFFF ? 0xFFFFFFFF : static_cast<DWORD>(dataOffset);

        const BYTE* comment = header + CentralHeaderSize + nameLength + extraLength;
        entry.comment.assign(comment, comment + commentLength);
        contents->entries.push_back(std::move(entry));
        at += entrySize;
    }
    return true;
}

void ZipReader::Close()
{
    name.Clear();
    contents.reset();
    index.clear();
}

std::unique_ptr<LocalFile> ZipReader::OpenEntry(const char* name) const
{
    if (!contents)
        return nullptr;
    if (!name)
        name = "";
    const std::uint64_t key = NameKey(name);
    auto candidate = std::lower_bound(index.begin(), index.end(), IndexEntry{key, 0});
    for (; candidate != index.end() && candidate->key == key; ++candidate) {
        const ZipEntry& entry = contents->entries[candidate->entry];
        if (ComparePath(entry.name.Text(), name) == 0)
            return std::make_unique<LocalFile>(std::shared_ptr<const FileMapping>(contents, &contents->mapping),
                                               std::shared_ptr<const ZipEntry>(contents, &entry));
    }
    return nullptr;
}

}  // namespace Mivo
