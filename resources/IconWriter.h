#pragma once
// Builds icon resources as a resource compiler does: one RT_ICON per image
// (a 16-colour DIB with its transparency mask) and the RT_GROUP_ICON that
// lists them. Images are drawn as pixel art (resources/PixelArt.h).

#include "platform/linux/ui/Resources.h"
#include "resources/PixelArt.h"

#include <span>
#include <vector>

class IconWriter {
public:
    using PixelArt = pixel_art::Art;

    // The RT_ICON data of one square image (rows of equal length).
    static std::vector<BYTE> ImageData(PixelArt art);

    // Adds the images as RT_ICON firstImageId, firstImageId + 1, ... and the
    // group that lists them as RT_GROUP_ICON groupId.
    static void AddIcon(platform::ResourceSection& section, WORD groupId, WORD firstImageId,
                        std::span<const PixelArt> images);
};
