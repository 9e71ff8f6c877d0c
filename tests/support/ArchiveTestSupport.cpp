#include "tests/support/ArchiveTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace fs = std::filesystem;

namespace ArchiveTest {

std::string ReadUnixFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Le16(std::uint16_t value)
{
    return {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

std::string Le32(std::uint32_t value)
{
    return Le16(static_cast<std::uint16_t>(value & 0xFFFF)) + Le16(static_cast<std::uint16_t>(value >> 16));
}

std::uint16_t GetLe16(const std::string& bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes.at(at)) |
                                      static_cast<unsigned char>(bytes.at(at + 1)) << 8);
}

std::uint32_t GetLe32(const std::string& bytes, std::size_t at)
{
    return GetLe16(bytes, at) | std::uint32_t{GetLe16(bytes, at + 2)} << 16;
}

std::string HandArchive::Build() const
{
    // DOS time 12:34:56, date 2020-05-17.
    const std::string stamp = Le16(12 << 11 | 34 << 5 | 28) + Le16((2020 - 1980) << 9 | 5 << 5 | 17);
    std::string out = prefix;
    std::string directory;
    for (const HandMember& m : members) {
        const auto offset = static_cast<std::uint32_t>(out.size());
        const auto size = static_cast<std::uint32_t>(m.data.size());
        out += Le32(0x04034b50) + Le16(10) + Le16(0) + Le16(m.method) + stamp + Le32(0) + Le32(size) + Le32(size) +
               Le16(static_cast<std::uint16_t>(m.name.size())) + Le16(static_cast<std::uint16_t>(m.localExtra.size())) +
               m.name + m.localExtra + m.data;
        directory += Le32(0x02014b50) + Le16(0x031E) + Le16(10) + Le16(0) + Le16(m.method) + stamp + Le32(0) +
                     Le32(m.size.value_or(size)) + Le32(size) + Le16(static_cast<std::uint16_t>(m.name.size())) +
                     Le16(static_cast<std::uint16_t>(m.centralExtra.size())) +
                     Le16(static_cast<std::uint16_t>(m.comment.size())) + Le16(0) + Le16(0) + Le32(0x81A40000) +
                     Le32(m.localOffset.value_or(offset)) + m.name + m.centralExtra + m.comment;
    }
    const auto directoryStart = static_cast<std::uint32_t>(out.size());
    out += directory;
    const auto entries = static_cast<std::uint16_t>(members.size());
    out += Le32(0x06054b50) + Le16(0) + Le16(0) + Le16(entries) + Le16(count.value_or(entries)) +
           Le32(directorySize.value_or(static_cast<std::uint32_t>(directory.size()))) +
           Le32(directoryOffset.value_or(directoryStart)) + Le16(static_cast<std::uint16_t>(comment.size())) + comment +
           trailing;
    return out;
}

bool HaveZip()
{
#ifdef _WIN32
    return false;  // a Linux program: the Linux build reads what it makes
#else
    return std::system("command -v zip >/dev/null 2>&1") == 0;
#endif
}

bool RunZip(const std::string& folder, const std::string& arguments, const std::string& input)
{
    // Beside the folder, so that "zip -r" never packs it.
    const std::string inputFile = folder + ".input";
    std::ofstream(inputFile, std::ios::binary) << input;
    const std::string command = "cd '" + folder + "' && zip -q " + arguments + " < '" + inputFile + "'";
    const bool ok = std::system(command.c_str()) == 0;
    fs::remove(inputFile);
    return ok;
}

}  // namespace ArchiveTest
