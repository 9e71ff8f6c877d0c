#include "platform/StringTable.h"

#include "platform/Text.h"

#include <cstring>

namespace platform {

std::optional<std::u16string> StringOfBlock(const void* block, std::size_t bytes, unsigned index)
{
    if (block == nullptr || index >= StringsPerBlock)
        return std::nullopt;
    const auto* data = static_cast<const std::uint8_t*>(block);
    const auto unit = [&](std::size_t at) { return static_cast<char16_t>(data[2 * at] | data[2 * at + 1] << 8); };
    const std::size_t units = bytes / 2;
    std::size_t at = 0;
    for (unsigned i = 0; i < index; ++i) {
        if (at >= units)
            return std::nullopt;
        at += 1 + unit(at);
    }
    if (at >= units || unit(at) == 0 || at + 1 + unit(at) > units)
        return std::nullopt;
    std::u16string text;
    for (std::size_t i = 0; i < unit(at); ++i)
        text += unit(at + 1 + i);
    return text;
}

std::vector<std::uint8_t> WriteStringBlock(const std::array<std::u16string, StringsPerBlock>& strings)
{
    std::vector<std::uint8_t> block;
    const auto unit = [&](char16_t value) {
        block.push_back(static_cast<std::uint8_t>(value & 0xFF));
        block.push_back(static_cast<std::uint8_t>(value >> 8));
    };
    for (const std::u16string& text : strings) {
        unit(static_cast<char16_t>(text.size()));
        for (const char16_t value : text)
            unit(value);
    }
    return block;
}

int CopyCp932(std::string_view text, char* buffer, int size)
{
    if (buffer == nullptr || size < 1)
        return 0;
    std::size_t length = 0;
    while (length < text.size()) {
        const std::size_t character = IsCp932LeadByte(static_cast<unsigned char>(text[length])) ? 2 : 1;
        if (length + character > static_cast<std::size_t>(size - 1) || length + character > text.size())
            break;
        length += character;
    }
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    return static_cast<int>(length);
}

}  // namespace platform
