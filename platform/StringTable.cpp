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

std::string Utf16ToUtf8(std::u16string_view utf16)
{
    std::string utf8;
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t c = utf16[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (utf16[++i] - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else if (c < 0x800) {
            utf8 += static_cast<char>(0xC0 | c >> 6);
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            utf8 += static_cast<char>(0xE0 | c >> 12);
            utf8 += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            utf8 += static_cast<char>(0xF0 | c >> 18);
            utf8 += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            utf8 += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

std::u16string Utf8ToUtf16(std::string_view utf8)
{
    std::u16string utf16;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(utf8[at]); };
        const unsigned char lead = byte(i);
        const int length = lead < 0x80 ? 1 : lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        bool valid = length > 0 && i + static_cast<std::size_t>(length) <= utf8.size();
        for (int k = 1; valid && k < length; ++k) {
            valid = (byte(i + k) & 0xC0) == 0x80;
            c = c << 6 | (byte(i + k) & 0x3F);
        }
        const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && c >= smallest[length] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
        if (!valid) {
            utf16 += u'\uFFFD';
            ++i;
            continue;
        }
        i += static_cast<std::size_t>(length);
        if (c >= 0x10000) {
            utf16 += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            utf16 += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            utf16 += static_cast<char16_t>(c);
        }
    }
    return utf16;
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
