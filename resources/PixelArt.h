#pragma once
// Pixel art: images drawn as text, one character per pixel, a hex digit for a
// colour of the standard 16-colour palette, '.' for transparent. Plain C++, so
// that build tools draw the same images as the program without its libraries.

#include <cstdint>
#include <span>

namespace pixel_art {

// Rows of equal length, top row first.
using Art = std::span<const char* const>;

// The standard palette: 0 black, 1 maroon, 2 green, 3 olive, 4 navy,
// 5 purple, 6 teal, 7 silver, 8 grey, 9 red, A lime, B yellow, C blue,
// D fuchsia, E aqua, F white.
inline constexpr std::uint8_t Palette[16][3] = {
    {0x00, 0x00, 0x00}, {0x80, 0x00, 0x00}, {0x00, 0x80, 0x00}, {0x80, 0x80, 0x00},
    {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80}, {0x00, 0x80, 0x80}, {0xC0, 0xC0, 0xC0},
    {0x80, 0x80, 0x80}, {0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00}, {0xFF, 0xFF, 0x00},
    {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0xFF}, {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF},
};

// The palette index of a pixel, or -1 for a transparent one.
constexpr int IndexOf(char pixel)
{
    if (pixel >= '0' && pixel <= '9')
        return pixel - '0';
    if (pixel >= 'A' && pixel <= 'F')
        return pixel - 'A' + 10;
    return -1;
}

}  // namespace pixel_art
