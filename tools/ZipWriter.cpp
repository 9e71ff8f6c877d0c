#include "tools/ZipWriter.h"

#include "tools/Bytes.h"

#include <array>
#include <limits>

namespace {

constexpr std::uint32_t LocalHeaderSignature = 0x04034b50;
constexpr std::uint32_t CentralHeaderSignature = 0x02014b50;
constexpr std::uint32_t EndRecordSignature = 0x06054b50;
constexpr unsigned VersionNeeded = 10;             // 1.0: stored members only
constexpr unsigned VersionMadeBy = (3 << 8) | 20;  // Unix, 2.0: external attributes hold the mode
constexpr std::uint32_t FileMode = 0100644;        // regular file, rw-r--r--
// 2024-01-01 00:00:00 in DOS format; a constant keeps builds reproducible.
constexpr unsigned DosTime = 0;
constexpr unsigned DosDate = ((2024 - 1980) << 9) | (1 << 5) | 1;
constexpr std::size_t MaxMembers = 0x7FFF;  // the reader takes the count as signed 16-bit

std::array<std::uint32_t, 256> MakeCrcTable()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

void PutCommonFields(std::vector<std::uint8_t>& out, std::uint32_t crc, std::uint32_t size, std::size_t nameLength)
{
    PutU16(out, 0);  // flags: no data descriptor, no encryption
    PutU16(out, 0);  // method: stored
    PutU16(out, DosTime);
    PutU16(out, DosDate);
    PutU32(out, crc);
    PutU32(out, size);  // compressed size
    PutU32(out, size);  // uncompressed size
    PutU16(out, static_cast<unsigned>(nameLength));
    PutU16(out, 0);  // extra field length
}

}  // namespace

std::uint32_t ZipWriter::Crc32(const std::vector<std::uint8_t>& data)
{
    static const std::array<std::uint32_t, 256> table = MakeCrcTable();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::uint8_t byte : data)
        crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

bool ZipWriter::Add(const std::string& name, const std::vector<std::uint8_t>& data)
{
    constexpr std::uint64_t limit = std::numeric_limits<std::uint32_t>::max();
    // Everything, including the central directory written later, must stay
    // addressable with 32-bit offsets.
    const std::uint64_t grown = localPart.size() + 30 + name.size() + data.size() + 46 + name.size();
    if (name.empty() || name.size() > 0xFFFF || members.size() >= MaxMembers || grown > limit / 2)
        return false;

    const Member member{name, Crc32(data), static_cast<std::uint32_t>(data.size()),
                        static_cast<std::uint32_t>(localPart.size())};
    PutU32(localPart, LocalHeaderSignature);
    PutU16(localPart, VersionNeeded);
    PutCommonFields(localPart, member.crc, member.size, name.size());
    PutText(localPart, name);
    localPart.insert(localPart.end(), data.begin(), data.end());
    members.push_back(member);
    return true;
}

std::vector<std::uint8_t> ZipWriter::Finish() const
{
    std::vector<std::uint8_t> out = localPart;
    const std::uint32_t directoryOffset = static_cast<std::uint32_t>(out.size());
    for (const Member& m : members) {
        PutU32(out, CentralHeaderSignature);
        PutU16(out, VersionMadeBy);
        PutU16(out, VersionNeeded);
        PutCommonFields(out, m.crc, m.size, m.name.size());
        PutU16(out, 0);  // comment length
        PutU16(out, 0);  // disk number start
        PutU16(out, 0);  // internal attributes
        PutU32(out, FileMode << 16);
        PutU32(out, m.localHeaderOffset);
        PutText(out, m.name);
    }
    const std::uint32_t directorySize = static_cast<std::uint32_t>(out.size()) - directoryOffset;
    PutU32(out, EndRecordSignature);
    PutU16(out, 0);  // this disk
    PutU16(out, 0);  // disk with the directory
    PutU16(out, static_cast<unsigned>(members.size()));
    PutU16(out, static_cast<unsigned>(members.size()));
    PutU32(out, directorySize);
    PutU32(out, directoryOffset);
    PutU16(out, 0);  // comment length
    return out;
}
