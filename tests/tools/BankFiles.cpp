#include "tests/tools/BankFiles.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

unsigned U16(const Bytes& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8);
}

std::uint32_t U32(const Bytes& b, std::size_t at)
{
    return U16(b, at) | (static_cast<std::uint32_t>(U16(b, at + 2)) << 16);
}

bool Tag(const Bytes& b, std::size_t at, const char* tag)
{
    return std::string(b.begin() + at, b.begin() + at + 4) == tag;
}

// Bitwise CRC-32 (IEEE), written independently of the generator's table.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

bool Fail(std::string& why, const std::string& reason)
{
    why = reason;
    return false;
}

}  // namespace

Bytes ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool ParseWav(const Bytes& file, Wav& wav, std::string& why)
{
    if (file.size() < 12 || !Tag(file, 0, "RIFF") || !Tag(file, 8, "WAVE"))
        return Fail(why, "no RIFF/WAVE header");
    if (U32(file, 4) != file.size() - 8)
        return Fail(why, "RIFF size does not match the file");
    bool haveFormat = false;
    for (std::size_t at = 12; at + 8 <= file.size();) {
        const std::size_t size = U32(file, at + 4);
        const std::size_t body = at + 8;
        if (size > file.size() - body)
            return Fail(why, "chunk runs past the end");
        if (Tag(file, at, "fmt ")) {
            if (size < 16 || U16(file, body) != 1)
                return Fail(why, "not PCM");
            const unsigned channels = U16(file, body + 2), blockAlign = U16(file, body + 12),
                           bits = U16(file, body + 14);
            const std::uint32_t rate = U32(file, body + 4);
            if (blockAlign != channels * bits / 8 || U32(file, body + 8) != rate * blockAlign)
                return Fail(why, "inconsistent block align or byte rate");
            wav.channels = static_cast<int>(channels);
            wav.sampleRate = static_cast<int>(rate);
            wav.bitsPerSample = static_cast<int>(bits);
            haveFormat = true;
        } else if (Tag(file, at, "data")) {
            if (!haveFormat || wav.bitsPerSample != 16 || wav.channels < 1)
                return Fail(why, "data before a 16-bit format");
            const std::size_t frame = 2 * wav.channels;
            if (size % frame != 0)
                return Fail(why, "partial frame");
            for (std::size_t i = 0; i < size; i += frame)
                wav.samples.push_back(static_cast<std::int16_t>(U16(file, body + i)));
            return true;
        }
        at = body + size + (size & 1);
    }
    return Fail(why, "no data chunk");
}

bool ParseStoredZip(const Bytes& zip, std::vector<ZipMember>& members, std::string& why)
{
    if (zip.size() < 22 || U32(zip, 0) != 0x04034b50)
        return Fail(why, "no local header at offset 0");
    std::size_t end = zip.size() - 22;
    while (!(U32(zip, end) == 0x06054b50 && end + 22 + U16(zip, end + 20) == zip.size()))
        if (end-- == 0)
            return Fail(why, "no end record that ends the file");
    const unsigned count = U16(zip, end + 10);
    const std::size_t dirSize = U32(zip, end + 12), dirOffset = U32(zip, end + 16);
    if (count >= 0x8000 || U16(zip, end + 8) != count || dirOffset + dirSize != end)
        return Fail(why, "end record does not describe the central directory");

    std::size_t at = dirOffset;
    for (unsigned i = 0; i < count; ++i) {
        if (at + 46 > end || U32(zip, at) != 0x02014b50)
            return Fail(why, "bad central directory entry");
        const unsigned flags = U16(zip, at + 8), method = U16(zip, at + 10), needed = U16(zip, at + 6);
        const std::uint32_t crc = U32(zip, at + 16), packed = U32(zip, at + 20), size = U32(zip, at + 24);
        const unsigned nameLength = U16(zip, at + 28), extraLength = U16(zip, at + 30),
                       commentLength = U16(zip, at + 32);
        const std::size_t local = U32(zip, at + 42);
        if (at + 46 + nameLength + extraLength + commentLength > end)
            return Fail(why, "central entry runs past the directory");
        const std::string name(zip.begin() + at + 46, zip.begin() + at + 46 + nameLength);
        if (method != 0 || (flags & 0x09) != 0 || needed > 20 || packed != size)
            return Fail(why, name + ": not a plain stored member");
        if (local + 30 > dirOffset || U32(zip, local) != 0x04034b50)
            return Fail(why, name + ": no local header");
        // The program computes the data offset from the central lengths alone.
        if (U16(zip, local + 26) != nameLength || U16(zip, local + 28) != extraLength ||
            std::string(zip.begin() + local + 30, zip.begin() + local + 30 + nameLength) != name)
            return Fail(why, name + ": local header disagrees with the central directory");
        if (U16(zip, local + 6) != flags || U16(zip, local + 8) != method || U32(zip, local + 14) != crc ||
            U32(zip, local + 18) != packed || U32(zip, local + 22) != size)
            return Fail(why, name + ": local header fields differ");
        const std::size_t data = local + 30 + nameLength + extraLength;
        if (data + size > dirOffset)
            return Fail(why, name + ": data runs into the directory");
        if (Crc32(zip.data() + data, size) != crc)
            return Fail(why, name + ": CRC-32 mismatch");
        members.push_back({name, Bytes(zip.begin() + data, zip.begin() + data + size)});
        at += 46 + nameLength + extraLength + commentLength;
    }
    return true;
}

BankOnDisk::BankOnDisk(const std::string& folder)
{
    const Bytes text = ReadFileBytes(folder + "/se.csv");
    std::istringstream table(std::string(text.begin(), text.end()));
    for (std::string line; std::getline(table, line);) {
        if (!line.empty() && line[0] == '#') {
            comments.push_back(line);
        } else if (!line.empty()) {
            const auto comma = line.find(',');
            rows.emplace_back(comma == std::string::npos ? -1 : std::atoi(line.substr(0, comma).c_str()),
                              comma == std::string::npos ? line : line.substr(comma + 1));
        }
    }
    std::vector<ZipMember> list;
    if (ParseStoredZip(ReadFileBytes(folder + "/se.dat"), list, archiveError))
        for (ZipMember& m : list)
            members.emplace(m.name, std::move(m.data));
}

bool BankOnDisk::Sample(std::size_t row, Wav& wav, std::string& why) const
{
    const auto member = row < rows.size() ? members.find(rows[row].second) : members.end();
    if (member == members.end())
        return Fail(why, "sample " + std::to_string(row) + " is missing");
    return ParseWav(member->second, wav, why);
}
