#pragma once
// Helpers for the archive and resource lookup tests: a builder of hand-made
// zip bytes for what real zip clients never write, and a way to run Debian's
// zip. Their folders are TempFolders.

#include "tests/support/TempFolder.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ArchiveTest {

std::string ReadUnixFile(const std::string& path);

// Little-endian numbers, as zip stores them.
std::string Le16(std::uint16_t value);
std::string Le32(std::uint32_t value);
std::uint16_t GetLe16(const std::string& bytes, std::size_t at);
std::uint32_t GetLe32(const std::string& bytes, std::size_t at);

// One member of a hand-made archive; the overrides write other numbers into
// the central directory than the true ones.
struct HandMember {
    std::string name{};
    std::string data{};
    std::string localExtra{};
    std::string centralExtra{};
    std::string comment{};
    std::uint16_t method = 0;
    std::optional<std::uint32_t> localOffset{};
    std::optional<std::uint32_t> size{};
};

// A stored-member archive in the plainest layout: local headers with data,
// central directory, end record, comment.
struct HandArchive {
    std::string prefix;  // bytes before the first local header
    std::vector<HandMember> members;
    std::string comment;
    std::string trailing;                // bytes after the comment
    std::optional<std::uint16_t> count;  // entry count in the end record
    std::optional<std::uint32_t> directorySize;
    std::optional<std::uint32_t> directoryOffset;

    std::string Build() const;
};

// True when Debian's zip can be run: installed, and a Linux build.
bool HaveZip();
inline constexpr const char* ZipCannotRun = "Debian's zip cannot be run: not installed, or a Windows build";
// Runs "zip <arguments>" inside folder, stdin from the given text; true on exit 0.
bool RunZip(const std::string& folder, const std::string& arguments, const std::string& input = "");

}  // namespace ArchiveTest
