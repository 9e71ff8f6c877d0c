#include "tests/e2e/X11Image.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <set>

namespace {

// The next header number, skipping blanks and # comments.
bool ReadNumber(std::istream& in, int* number)
{
    for (;;) {
        const int c = in.peek();
        if (c == '#') {
            std::string comment;
            std::getline(in, comment);
        } else if (c != EOF && std::isspace(c)) {
            in.get();
        } else {
            break;
        }
    }
    return static_cast<bool>(in >> *number);
}

}  // namespace

X11Image X11Image::ReadPpm(const std::string& path)
{
    X11Image image;
    std::ifstream in(path, std::ios::binary);
    char magic[2] = {};
    int width = 0, height = 0, maximum = 0;
    if (!in.read(magic, 2) || magic[0] != 'P' || magic[1] != '6')
        return image;
    if (!ReadNumber(in, &width) || !ReadNumber(in, &height) || !ReadNumber(in, &maximum))
        return image;
    if (width <= 0 || height <= 0 || width > 10000 || height > 10000 || maximum != 255)
        return image;
    in.get();  // the one blank after the header
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
    if (!in.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size())))
        return image;
    image.width = width;
    image.height = height;
    image.rgb = std::move(rgb);
    return image;
}

std::uint32_t X11Image::Colour(int x, int y) const
{
    const std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
    return (static_cast<std::uint32_t>(p[0]) << 16) | (p[1] << 8) | p[2];
}

int X11Image::Brightness(int x, int y) const
{
    const std::uint8_t* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
    return (p[0] * 299 + p[1] * 587 + p[2] * 114) / 1000;
}

std::uint32_t X11Image::Background() const
{
    std::map<std::uint32_t, int> counts;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            ++counts[Colour(x, y)];
    std::uint32_t best = 0;
    int most = -1;
    for (const auto& [colour, count] : counts)
        if (count > most) {
            best = colour;
            most = count;
        }
    return best;
}

std::size_t X11Image::DistinctColours() const
{
    std::set<std::uint32_t> colours;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            colours.insert(Colour(x, y));
    return colours.size();
}

int X11Image::DarkPixels(int x0, int y0, int x1, int y1, int limit) const
{
    int dark = 0;
    for (int y = std::max(0, y0); y < std::min(height, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(width, x1); ++x)
            dark += Brightness(x, y) < limit;
    return dark;
}

std::vector<std::pair<int, int>> X11Image::WideBands(double share) const
{
    std::vector<std::pair<int, int>> bands;
    if (Empty())
        return bands;
    const std::uint32_t background = Background();
    for (int y = 0; y < height; ++y) {
        int different = 0;
        for (int x = 0; x < width; ++x)
            different += Colour(x, y) != background;
        if (different < share * width)
            continue;
        if (!bands.empty() && bands.back().second == y - 1)
            bands.back().second = y;
        else
            bands.emplace_back(y, y);
    }
    return bands;
}
