#pragma once
// The strings of a string table resource, as a resource compiler writes
// them: blocks of 16, block n + 1 holding strings 16n to 16n + 15, each a
// count of UTF-16 units and the units (a count of 0 for a string not there).
// Internal to platform/, on both systems.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

constexpr unsigned StringsPerBlock = 16;

// The block that holds string id, and the string's place in it.
constexpr unsigned StringBlockOf(unsigned id)
{
    return id / StringsPerBlock + 1;
}

// String index (0 to 15) of a block of that many bytes; nothing when the
// block is null, too short for it, or holds it empty (as Windows does not
// tell an empty string from a missing one).
std::optional<std::u16string> StringOfBlock(const void* block, std::size_t bytes, unsigned index);

// A block of these strings.
std::vector<std::uint8_t> WriteStringBlock(const std::array<std::u16string, StringsPerBlock>& strings);

// Copies cp932 text into buffer as LoadStringA does: at most size - 1 bytes,
// never half a character, always terminated. Returns the bytes copied; 0 and
// nothing written for a null buffer or a size below 1.
int CopyCp932(std::string_view text, char* buffer, int size);

}  // namespace platform
