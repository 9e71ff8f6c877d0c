#pragma once
// Builds icon resources as a resource compiler does: one RT_ICON per image
// (a 16-colour DIB with its transparency mask) and the RT_GROUP_ICON that
// lists them. Images are drawn as pixel art: one character per pixel, a hex
// digit for a colour of the standard 16-colour palette, '.' for transparent.

#include "platform/Resources.h"

#include <span>
#include <vector>

class IconWriter {
public:
    using PixelArt = std::span<const char* const>;

    // The standard palette: 0 black, 1 maroon, 2 green, 3 olive, 4 navy,
    // 5 purple, 6 teal, 7 silver, 8 grey, 9 red, A lime, B yellow, C blue,
    // D fuchsia, E aqua, F white.
    static const BYTE kPalette[16][3];

    // The RT_ICON data of one square image (rows of equal length).
    static std::vector<BYTE> ImageData(PixelArt art);

    // Adds the images as RT_ICON firstImageId, firstImageId + 1, ... and the
    // group that lists them as RT_GROUP_ICON groupId.
    static void AddIcon(platform::ResourceSection& section, WORD groupId, WORD firstImageId,
                        std::span<const PixelArt> images);
};
