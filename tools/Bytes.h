#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// Little-endian appends for the file formats the bank writes.
inline void PutU16(std::vector<std::uint8_t>& out, unsigned value)
{
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    PutU16(out, value & 0xFFFF);
    PutU16(out, value >> 16);
}

inline void PutText(std::vector<std::uint8_t>& out, std::string_view text)
{
    out.insert(out.end(), text.begin(), text.end());
}
