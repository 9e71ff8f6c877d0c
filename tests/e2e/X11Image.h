#pragma once
// A screenshot read back for a look at its pixels: binary PPM (P6, 8 bits),
// which ImageMagick writes for any image.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class X11Image {
public:
    // Empty (width 0) when the file is missing or not a P6 image.
    static X11Image ReadPpm(const std::string& path);

    int Width() const { return width; }
    int Height() const { return height; }
    bool Empty() const { return width == 0; }

    // 0 (black) to 255 (white).
    int Brightness(int x, int y) const;
    // The most common colour, taken for the window's background.
    std::uint32_t Background() const;
    std::uint32_t Colour(int x, int y) const;
    std::size_t DistinctColours() const;

    // Pixels in the rectangle [x0, x1) x [y0, y1) darker than the limit.
    int DarkPixels(int x0, int y0, int x1, int y1, int limit = 96) const;
    // Bands of consecutive rows in which at least the given share of the
    // width differs from the background, as [first row, last row] pairs:
    // a slider's groove spans the window, text and frames do not.
    std::vector<std::pair<int, int>> WideBands(double share) const;

private:
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};
