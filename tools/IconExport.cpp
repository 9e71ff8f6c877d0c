// strumkey_icons <folder> <name> <size>...
// Writes the program icon as <folder>/<size>x<size>/apps/<name>.png for each
// size, laid out as an icon theme. A size is drawn from the largest image of
// the art that divides it, each pixel of the art a square of whole pixels, so
// the icon stays as sharp as the one the window shows.

#include "resources/GuitarIcon.h"
#include "resources/PixelArt.h"

#include <QDir>
#include <QImage>
#include <QString>

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

QImage Draw(pixel_art::Art art, int scale)
{
    const int side = static_cast<int>(art.size());
    QImage image(side * scale, side * scale, QImage::Format_ARGB32);
    image.fill(0u);  // transparent
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int index = pixel_art::IndexOf(art[y / scale][x / scale]);
            if (index < 0)
                continue;
            const auto& rgb = pixel_art::Palette[index];
            image.setPixel(x, y, qRgb(rgb[0], rgb[1], rgb[2]));
        }
    return image;
}

// The icon at size x size pixels; null when no image of the art divides it.
QImage Icon(int size)
{
    const pixel_art::Art images[] = {Guitar32, Guitar16};  // largest first
    for (pixel_art::Art art : images) {
        const int side = static_cast<int>(art.size());
        if (size > 0 && size % side == 0)
            return Draw(art, size / side);
    }
    return {};
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: strumkey_icons <folder> <name> <size>...\n");
        return 2;
    }
    // Every size is checked before anything is written: a refused size
    // leaves no half-made theme behind.
    std::vector<std::pair<int, QImage>> icons;
    for (int i = 3; i < argc; ++i) {
        const std::string text = argv[i];
        std::size_t used = 0;
        int size = 0;
        try {
            size = std::stoi(text, &used);
        } catch (...) {
        }
        QImage icon = used == text.size() ? Icon(size) : QImage();
        if (icon.isNull()) {
            std::fprintf(stderr, "strumkey_icons: no image of the icon scales to %s pixels\n", argv[i]);
            return 1;
        }
        icons.emplace_back(size, std::move(icon));
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (const auto& [size, icon] : icons) {
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
        const QString file = dir + QLatin1Char('/') + name + QStringLiteral(".png");
        if (!QDir().mkpath(dir) || !icon.save(file, "PNG")) {
            std::fprintf(stderr, "strumkey_icons: cannot write %s\n", file.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
