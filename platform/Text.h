#pragma once
// cp932 <-> UTF-8 conversion for every crossing into the OS or the toolkit.
// Internal to platform/: program code only ever sees cp932.

#include <string>
#include <string_view>

namespace platform {

// cp932 bytes to UTF-8. A byte sequence that is not valid cp932 becomes U+FFFD.
// A code of the user-defined area that Utf8NameToCp932 gave out turns back
// into what it stands for.
std::string Cp932ToUtf8(std::string_view cp932);

// UTF-8 to cp932. A character cp932 cannot hold (or invalid UTF-8) becomes '?',
// as the Windows ANSI calls do.
std::string Utf8ToCp932(std::string_view utf8);

// UTF-8 names from the system (file names, paths, arguments) to cp932, so that
// they survive the trip back byte for byte. A character cp932 cannot hold, or
// a byte that is not valid UTF-8, gets a code of cp932's user-defined area
// (lead bytes 0xF0 to 0xF9) that stands for it for the life of the process;
// Cp932ToUtf8 turns it back. Only when all 1880 codes are taken does one
// become '?'. Any thread.
std::string Utf8NameToCp932(std::string_view utf8);

// True for a cp932 lead byte (0x81-0x9F, 0xE0-0xFC).
constexpr bool IsCp932LeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

}  // namespace platform
