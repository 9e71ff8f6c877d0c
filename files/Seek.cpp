#include "files/Seek.h"

namespace Mivo {

std::optional<std::int64_t> SeekTarget(std::int64_t position, std::int64_t size, std::int64_t offset, int origin,
                                       bool endIsAPlace)
{
    std::int64_t target;
    switch (origin) {
    case 0:
        target = offset;
        break;
    case 1:
        target = position + offset;
        break;
    case 2:
        target = size - 1 + offset;
        break;
    default:
        return std::nullopt;
    }
    if (target > (endIsAPlace ? size : size - 1))
        target = size - 1;
    if (target < 0)
        target = 0;
    return target;
}

}  // namespace Mivo
