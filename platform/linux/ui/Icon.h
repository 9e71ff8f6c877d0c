#pragma once
// The object behind an HICON: every image of an icon group resource.
// Internal to platform/.

#include "platform/Win32.h"

#include <QIcon>
#include <QImage>

#include <optional>
#include <span>
#include <vector>

namespace platform {

// The images of an icon, smallest first; null for an unknown handle.
const std::vector<QImage>* IconImages(HICON icon);

// The icon for a window; empty for null or an unknown handle. Needs the
// toolkit running.
QIcon IconOf(HICON icon);

// One RT_ICON resource: a DIB (BITMAPINFOHEADER with twice the height, the
// palette, the colour rows and the transparency mask, rows bottom-up) or a
// PNG. Empty when the data is not a complete image.
std::optional<QImage> DecodeIconImage(std::span<const BYTE> data);

}  // namespace platform
