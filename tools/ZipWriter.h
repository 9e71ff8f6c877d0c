#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Builds a zip archive of stored (uncompressed) members in memory. The layout
// is the plainest the format allows, which is what the program's archive
// reader expects: the first member's local header at offset 0, the same name
// and extra-field lengths (no extra fields) in local and central headers, no
// data descriptors, no zip64, and one fixed timestamp so that the archive is
// the same bytes on every build.
class ZipWriter {
public:
    // False when the member would not fit the 32-bit (non-zip64) format or
    // the name is empty or too long.
    bool Add(const std::string& name, const std::vector<std::uint8_t>& data);

    // The complete archive: local headers with data, central directory, end
    // record.
    std::vector<std::uint8_t> Finish() const;

    static std::uint32_t Crc32(const std::vector<std::uint8_t>& data);

private:
    struct Member {
        std::string name;
        std::uint32_t crc;
        std::uint32_t size;
        std::uint32_t localHeaderOffset;
    };

    std::vector<Member> members;
    std::vector<std::uint8_t> localPart;  // local headers and member data, in order
};
