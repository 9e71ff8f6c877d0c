#pragma once
// Program text in cp932, written in UTF-8 source: CP932("ﾚﾃﾞｨ") is an array of
// the cp932 bytes, like a string literal, made by the compiler. The bytes are
// those Utf8ToCp932 makes at run time; a character that it would turn into
// '?', or text that is not UTF-8, stops the build.

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace platform::cp932 {

struct TableEntry {
    char32_t character;
    std::uint16_t code;  // one byte when below 0x100
};

// Every character beyond ASCII that cp932 holds, by character
// (scripts/make-cp932-table.py).
inline constexpr TableEntry table[] = {
#include "platform/Cp932Table.inc"
};

// The character that starts at text[at]; at moves past it. Throwing stops a
// compile-time evaluation with the reason in the compiler's message.
constexpr char32_t DecodeUtf8(const char* text, std::size_t size, std::size_t& at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return text[at++];
    const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || at + length > size)
        throw "the text is not UTF-8";
    char32_t character = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            throw "the text is not UTF-8";
        character = character << 6 | (byte(at + i) & 0x3F);
    }
    const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (character < smallest[length] || (character >= 0xD800 && character <= 0xDFFF)) {
        throw "the text is not UTF-8";
    }
    at += length;
    return character;
}

constexpr std::uint16_t Cp932Code(char32_t character)
{
    if (character < 0x80)
        return static_cast<std::uint16_t>(character);
    std::size_t low = 0, high = std::size(table);
    while (low < high) {
        const std::size_t middle = (low + high) / 2;
        if (table[middle].character < character) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    if (low == std::size(table) || table[low].character != character)
        throw "a character has no cp932 form";
    return table[low].code;
}

// Calls emit with each cp932 byte of the UTF-8 text, its final NUL included.
template <std::size_t N, typename Emit>
constexpr void EncodeCp932(const char (&text)[N], Emit emit)
{
    for (std::size_t at = 0; at < N;) {
        const std::uint16_t code = Cp932Code(DecodeUtf8(text, N, at));
        if (code > 0xFF)
            emit(static_cast<char>(code >> 8));
        emit(static_cast<char>(code & 0xFF));
    }
}

template <std::size_t N>
struct Bytes {
    char text[N];
};

template <std::size_t N>
constexpr std::size_t EncodedSize(const char (&text)[N])
{
    std::size_t count = 0;
    EncodeCp932(text, [&](char) { ++count; });
    return count;
}

template <std::size_t Size, std::size_t N>
constexpr Bytes<Size> Encode(const char (&text)[N])
{
    Bytes<Size> out{};
    std::size_t at = 0;
    EncodeCp932(text, [&](char c) { out.text[at++] = c; });
    return out;
}

}  // namespace platform::cp932

// The bytes are a constexpr local of the lambda, made at compile time.
// (Not a literal operator template: clang 14 crashes printing one whose
// argument is a string.)
#define CP932(utf8)                                                                                            \
    ([]() -> const auto& {                                                                                     \
        static constexpr auto encoded = ::platform::cp932::Encode<::platform::cp932::EncodedSize(utf8)>(utf8); \
        return encoded.text;                                                                                   \
    }())
