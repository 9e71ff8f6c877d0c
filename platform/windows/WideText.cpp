#include "platform/windows/WideText.h"

#include "platform/Text.h"

#include <windows.h>

namespace platform {
namespace {

std::wstring Utf8ToWide(std::string_view utf8)
{
    if (utf8.empty())
        return {};
    const int size = static_cast<int>(utf8.size());
    std::wstring wide(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

// A lone surrogate, which a Windows name may hold, becomes U+FFFD.
std::string WideToUtf8(std::wstring_view wide)
{
    if (wide.empty())
        return {};
    const int size = static_cast<int>(wide.size());
    std::string utf8(
        static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr)),
        '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
    return utf8;
}

}  // namespace

std::wstring Cp932ToWide(std::string_view cp932)
{
    return Utf8ToWide(Cp932ToUtf8(cp932));
}

std::string WideNameToCp932(std::wstring_view wide)
{
    return Utf8NameToCp932(WideToUtf8(wide));
}

std::string WideToCp932(std::wstring_view wide)
{
    return Utf8ToCp932(WideToUtf8(wide));
}

}  // namespace platform
