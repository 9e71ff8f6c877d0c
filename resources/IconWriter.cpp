// Icon resources from pixel art.

#include "resources/IconWriter.h"

#include "resources/ResourceBytes.h"

#include <cstring>

namespace {

using resource_bytes::Dword;
using resource_bytes::Word;

std::size_t Stride(std::size_t width, std::size_t bits)
{
    return (width * bits + 31) / 32 * 4;
}

}  // namespace

std::vector<BYTE> IconWriter::ImageData(PixelArt art)
{
    const std::size_t height = art.size();
    const std::size_t width = height != 0 ? std::strlen(art[0]) : 0;
    const std::size_t colourStride = Stride(width, 4);
    const std::size_t maskStride = Stride(width, 1);
    std::vector<BYTE> colours(colourStride * height, 0);
    std::vector<BYTE> mask(maskStride * height, 0);
    for (std::size_t y = 0; y < height; ++y) {
        const std::size_t row = height - 1 - y;  // DIB rows run bottom-up
        for (std::size_t x = 0; x < width && art[y][x] != '\0'; ++x) {
            const int index = pixel_art::IndexOf(art[y][x]);
            if (index < 0)
                mask[row * maskStride + x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
            else
                colours[row * colourStride + x / 2] |= static_cast<BYTE>(x % 2 == 0 ? index << 4 : index);
        }
    }
    std::vector<BYTE> out;
    // BITMAPINFOHEADER; the height counts the colour rows and the mask.
    Dword(out, 40);
    Dword(out, static_cast<DWORD>(width));
    Dword(out, static_cast<DWORD>(height * 2));
    Word(out, 1);   // planes
    Word(out, 4);   // bits per pixel
    Dword(out, 0);  // no compression
    Dword(out, static_cast<DWORD>(colours.size() + mask.size()));
    Dword(out, 0);
    Dword(out, 0);
    Dword(out, 0);  // all 16 colours used
    Dword(out, 0);
    for (const auto& rgb : pixel_art::Palette) {
        out.push_back(rgb[2]);
        out.push_back(rgb[1]);
        out.push_back(rgb[0]);
        out.push_back(0);
    }
    out.insert(out.end(), colours.begin(), colours.end());
    out.insert(out.end(), mask.begin(), mask.end());
    return out;
}

void IconWriter::AddIcon(platform::ResourceSection& section, WORD groupId, WORD firstImageId,
                         std::span<const PixelArt> images)
{
    std::vector<BYTE> group;
    Word(group, 0);  // reserved
    Word(group, 1);  // icons
    Word(group, static_cast<WORD>(images.size()));
    WORD id = firstImageId;
    for (PixelArt art : images) {
        std::vector<BYTE> image = ImageData(art);
        const std::size_t size = art.size();
        group.push_back(static_cast<BYTE>(size));  // width
        group.push_back(static_cast<BYTE>(size));  // height
        group.push_back(16);                       // colours
        group.push_back(0);
        Word(group, 1);  // planes
        Word(group, 4);  // bits per pixel
        Dword(group, static_cast<DWORD>(image.size()));
        Word(group, id);
        section.push_back({platform::RT_ICON, id, std::move(image)});
        ++id;
    }
    section.push_back({platform::RT_GROUP_ICON, groupId, std::move(group)});
}
