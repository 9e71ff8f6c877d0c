// window_text CAPTION (a Windows program): prints, one line each in UTF-8, the
// static texts of every top-level window with that caption, so that a test
// reads back what a message box of the program under Wine says.

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const std::wstring& text)
{
    std::string out(
        static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr)),
        '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), static_cast<int>(out.size()), nullptr, nullptr);
    out.pop_back();  // the terminator
    return out;
}

std::wstring TextOf(HWND window)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

BOOL CALLBACK PrintStatic(HWND child, LPARAM)
{
    wchar_t className[32] = {};
    GetClassNameW(child, className, 32);
    if (lstrcmpiW(className, L"Static") == 0 && GetWindowTextLengthW(child) > 0)
        std::printf("%s\n", Utf8(TextOf(child)).c_str());
    return TRUE;
}

BOOL CALLBACK PrintWindow(HWND window, LPARAM caption)
{
    if (TextOf(window) == reinterpret_cast<const wchar_t*>(caption))
        EnumChildWindows(window, PrintStatic, 0);
    return TRUE;
}

}  // namespace

int main()
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr || count != 2) {
        std::fprintf(stderr, "Usage: window_text CAPTION\n");
        return 2;
    }
    EnumWindows(PrintWindow, reinterpret_cast<LPARAM>(arguments[1]));
    LocalFree(arguments);
    return 0;
}
