// user32: icons from icon group resources.

#include "platform/linux/ui/Icon.h"

#include "platform/linux/ui/Resources.h"

#include <QPixmap>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace platform {
namespace {

struct Icon {
    std::vector<QImage> images;
    QIcon icon;  // made on first use, once the toolkit runs
};

struct IconTable {
    std::mutex lock;
    std::map<std::pair<HINSTANCE, WORD>, std::unique_ptr<Icon>> icons;
};

// Shared icons live as long as the process, as loaded icons do on Windows.
IconTable& Icons()
{
    static IconTable* table = new IconTable;
    return *table;
}

Icon* Find(HICON handle)
{
    IconTable& table = Icons();
    for (auto& [key, icon] : table.icons)
        if (reinterpret_cast<HICON>(icon.get()) == handle)
            return icon.get();
    return nullptr;
}

WORD Word(std::span<const BYTE> data, std::size_t at)
{
    return static_cast<WORD>(data[at] | (data[at + 1] << 8));
}
DWORD Dword(std::span<const BYTE> data, std::size_t at)
{
    return Word(data, at) | (static_cast<DWORD>(Word(data, at + 2)) << 16);
}

std::size_t Stride(std::size_t width, std::size_t bits)
{
    return (width * bits + 31) / 32 * 4;
}

}  // namespace

std::optional<QImage> DecodeIconImage(std::span<const BYTE> data)
{
    static const BYTE png[] = {0x89, 'P', 'N', 'G'};
    if (data.size() >= 4 && std::equal(png, png + 4, data.begin())) {
        QImage image;
        if (image.loadFromData(data.data(), static_cast<int>(data.size()), "PNG"))
            return image;
        return std::nullopt;
    }
    if (data.size() < 40 || Dword(data, 0) < 40)
        return std::nullopt;
    const std::size_t header = Dword(data, 0);
    const auto width = static_cast<std::int32_t>(Dword(data, 4));
    const auto doubleHeight = static_cast<std::int32_t>(Dword(data, 8));
    const WORD bits = Word(data, 14);
    const DWORD compression = Dword(data, 16);
    const DWORD used = Dword(data, 32);
    if (width <= 0 || width > 256 || doubleHeight <= 0 || doubleHeight > 512 || compression != 0)
        return std::nullopt;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 32)
        return std::nullopt;
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t h = static_cast<std::size_t>(doubleHeight) / 2;
    const std::size_t colours = bits <= 8 ? (used != 0 && used <= (1u << bits) ? used : (1u << bits)) : 0;
    const std::size_t paletteAt = header;
    const std::size_t colourAt = paletteAt + colours * 4;
    const std::size_t maskAt = colourAt + Stride(w, bits) * h;
    if (header > data.size() || maskAt + Stride(w, 1) * h > data.size())
        return std::nullopt;

    QImage image(width, static_cast<int>(h), QImage::Format_ARGB32);
    for (std::size_t y = 0; y < h; ++y) {
        const std::size_t row = h - 1 - y;  // bottom-up
        const BYTE* colourRow = data.data() + colourAt + Stride(w, bits) * row;
        const BYTE* maskRow = data.data() + maskAt + Stride(w, 1) * row;
        for (std::size_t x = 0; x < w; ++x) {
            QRgb pixel;
            if (bits == 32) {
                const BYTE* p = colourRow + x * 4;
                pixel = qRgba(p[2], p[1], p[0], p[3]);
            } else {
                std::size_t bit = x * bits;
                unsigned index = (colourRow[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                if (index >= colours)
                    index = 0;
                const BYTE* entry = data.data() + paletteAt + std::size_t{index} * 4;
                pixel = qRgb(entry[2], entry[1], entry[0]);
            }
            bool transparent = (maskRow[x / 8] >> (7 - x % 8)) & 1;
            if (transparent && bits != 32)
                pixel = qRgba(0, 0, 0, 0);
            image.setPixel(static_cast<int>(x), static_cast<int>(y), pixel);
        }
    }
    return image;
}

const std::vector<QImage>* IconImages(HICON handle)
{
    IconTable& table = Icons();
    std::lock_guard guard(table.lock);
    Icon* icon = Find(handle);
    return icon != nullptr ? &icon->images : nullptr;
}

QIcon IconOf(HICON handle)
{
    IconTable& table = Icons();
    std::lock_guard guard(table.lock);
    Icon* icon = Find(handle);
    if (icon == nullptr)
        return {};
    if (icon->icon.isNull())
        for (const QImage& image : icon->images)
            icon->icon.addPixmap(QPixmap::fromImage(image));
    return icon->icon;
}

}  // namespace platform

HICON LoadIconA(HINSTANCE instance, LPCSTR name)
{
    using namespace platform;
    if (name == nullptr || !IS_INTRESOURCE(name)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const WORD id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
    IconTable& table = Icons();
    std::lock_guard guard(table.lock);
    auto& slot = table.icons[{instance, id}];
    if (slot)
        return reinterpret_cast<HICON>(slot.get());

    auto icon = std::make_unique<Icon>();
    if (const Resource* group = FindResource(instance, RT_GROUP_ICON, id)) {
        std::span<const BYTE> data(group->data);
        const std::size_t count = data.size() >= 6 && Word(data, 2) == 1 ? Word(data, 4) : 0;
        for (std::size_t i = 0; i < count && 6 + (i + 1) * 14 <= data.size(); ++i) {
            const WORD imageId = Word(data, 6 + i * 14 + 12);
            if (const Resource* image = FindResource(instance, RT_ICON, imageId))
                if (auto decoded = DecodeIconImage(image->data))
                    icon->images.push_back(*decoded);
        }
    }
    if (icon->images.empty()) {
        table.icons.erase({instance, id});
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    std::sort(icon->images.begin(), icon->images.end(),
              [](const QImage& a, const QImage& b) { return a.width() < b.width(); });
    slot = std::move(icon);
    return reinterpret_cast<HICON>(slot.get());
}
