// The text-taking calls of the program on Windows: cp932 converted to UTF-16
// for the wide calls, and what they give back converted to cp932.

#define STRUMKEY_DEFINING_ANSI_CALLS
#include "platform/Check.h"
#include "platform/StringTable.h"
#include "platform/Win32.h"
#include "platform/windows/WideText.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

namespace {

// A text argument as UTF-16, null staying null and a resource number
// (MAKEINTRESOURCE) staying a number.
class Wide {
public:
    explicit Wide(LPCSTR text) : number(IS_INTRESOURCE(text)), original(text)
    {
        if (!number)
            wide = platform::Cp932ToWide(text);
    }
    LPCWSTR Get() const { return number ? reinterpret_cast<LPCWSTR>(original) : wide.c_str(); }

private:
    bool number;  // also true for null
    LPCSTR original;
    std::wstring wide;
};

// Copies text into a buffer of size bytes as the ANSI calls do: the length
// written without the terminator, or, when the buffer is too small, the size
// needed with it and nothing written.
DWORD CopyOut(const std::string& text, LPSTR buffer, DWORD size)
{
    if (text.size() >= size)
        return static_cast<DWORD>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

// The longest path the wide calls give.
constexpr DWORD LongestPath = 32768;

// The language that the program's dialogs and strings are found in, once it
// has set one. Wine's SetThreadUILanguage keeps nothing, and Windows' loader
// may look through lists of its own: the crossing finds them itself.
std::atomic<LANGID> uiLanguage{0};

LANGID UiLanguage()
{
    const LANGID language = uiLanguage;
    return language != 0 ? language : ::GetUserDefaultUILanguage();
}

// A resource of the module in that language, else its primary language, else
// a neutral one; else whichever the system's loader picks.
HRSRC FindInUiLanguage(HINSTANCE instance, LPCWSTR type, WORD id)
{
    const LANGID wanted = UiLanguage();
    const LANGID tried[] = {wanted, static_cast<LANGID>(MAKELANGID(PRIMARYLANGID(wanted), SUBLANG_NEUTRAL)),
                            static_cast<LANGID>(MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL))};
    for (const LANGID language : tried)
        if (HRSRC found = ::FindResourceExW(instance, type, MAKEINTRESOURCEW(id), language))
            return found;
    return ::FindResourceW(instance, MAKEINTRESOURCEW(id), type);
}

// The bytes of a resource, with their number; null when it cannot be loaded.
const BYTE* Loaded(HINSTANCE instance, HRSRC found, DWORD* size)
{
    HGLOBAL loaded = found != nullptr ? ::LoadResource(instance, found) : nullptr;
    *size = loaded != nullptr ? ::SizeofResource(instance, found) : 0;
    return loaded != nullptr ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
}

}  // namespace

namespace platform::ansi {

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                   DWORD flags, HANDLE templateFile)
{
    return ::CreateFileW(Wide(path).Get(), access, shareMode, security, disposition, flags, templateFile);
}

BOOL DeleteFileA(LPCSTR path)
{
    return ::DeleteFileW(Wide(path).Get());
}

DWORD GetFileAttributesA(LPCSTR path)
{
    return ::GetFileAttributesW(Wide(path).Get());
}

BOOL SetFileAttributesA(LPCSTR path, DWORD attributes)
{
    return ::SetFileAttributesW(Wide(path).Get(), attributes);
}

HANDLE FindFirstFileA(LPCSTR path, LPWIN32_FIND_DATAA found)
{
    WIN32_FIND_DATAW wide;
    HANDLE search = ::FindFirstFileW(Wide(path).Get(), &wide);
    if (search == INVALID_HANDLE_VALUE)
        return search;
    found->dwFileAttributes = wide.dwFileAttributes;
    found->ftCreationTime = wide.ftCreationTime;
    found->ftLastAccessTime = wide.ftLastAccessTime;
    found->ftLastWriteTime = wide.ftLastWriteTime;
    found->nFileSizeHigh = wide.nFileSizeHigh;
    found->nFileSizeLow = wide.nFileSizeLow;
    found->dwReserved0 = wide.dwReserved0;
    found->dwReserved1 = wide.dwReserved1;
    const auto copyName = [](const wchar_t* name, char* out, std::size_t size) {
        const std::string text = WideNameToCp932(name);
        const std::size_t length = std::min(text.size(), size - 1);
        std::memcpy(out, text.data(), length);
        out[length] = '\0';
    };
    copyName(wide.cFileName, found->cFileName, sizeof found->cFileName);
    copyName(wide.cAlternateFileName, found->cAlternateFileName, sizeof found->cAlternateFileName);
    return search;
}

HANDLE CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protect, DWORD sizeHigh, DWORD sizeLow,
                          LPCSTR name)
{
    return ::CreateFileMappingW(file, security, protect, sizeHigh, sizeLow, Wide(name).Get());
}

// Truncates to size - 1 bytes and returns size with ERROR_INSUFFICIENT_BUFFER
// when the buffer is short, as the ANSI call does.
DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size)
{
    std::wstring wide(LongestPath, L'\0');
    const DWORD length = ::GetModuleFileNameW(module, wide.data(), LongestPath);
    if (length == 0 || length == LongestPath)
        return 0;
    wide.resize(length);
    const std::string path = WideNameToCp932(wide);
    if (size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() >= size) {
        std::memcpy(buffer, path.data(), size - 1);
        buffer[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}

DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer)
{
    std::wstring wide(LongestPath, L'\0');
    const DWORD length = ::GetCurrentDirectoryW(LongestPath, wide.data());
    if (length == 0 || length >= LongestPath)
        return 0;
    wide.resize(length);
    return CopyOut(WideNameToCp932(wide), buffer, size);
}

BOOL SetCurrentDirectoryA(LPCSTR path)
{
    return ::SetCurrentDirectoryW(Wide(path).Get());
}

// path holds MAX_PATH bytes; a folder whose cp932 name is longer fails.
HRESULT SHGetFolderPathA(HWND owner, int folder, HANDLE token, DWORD flags, LPSTR path)
{
    wchar_t wide[MAX_PATH];
    const HRESULT result = ::SHGetFolderPathW(owner, folder, token, flags, wide);
    if (result != S_OK)
        return result;
    if (CopyOut(WideNameToCp932(wide), path, MAX_PATH) >= MAX_PATH)
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    return S_OK;
}

int SHCreateDirectoryExA(HWND owner, LPCSTR path, const SECURITY_ATTRIBUTES* security)
{
    return ::SHCreateDirectoryExW(owner, Wide(path).Get(), security);
}

UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR path)
{
    return ::GetPrivateProfileIntW(Wide(section).Get(), Wide(key).Get(), defaultValue, Wide(path).Get());
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR path)
{
    return ::WritePrivateProfileStringW(Wide(section).Get(), Wide(key).Get(), Wide(value).Get(), Wide(path).Get());
}

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES security, BOOL initialOwner, LPCSTR name)
{
    return ::CreateMutexW(security, initialOwner, Wide(name).Get());
}

int lstrcmpA(LPCSTR a, LPCSTR b)
{
    return ::lstrcmpW(Wide(a ? a : "").Get(), Wide(b ? b : "").Get());
}

int lstrcmpiA(LPCSTR a, LPCSTR b)
{
    return ::lstrcmpiW(Wide(a ? a : "").Get(), Wide(b ? b : "").Get());
}

// Windows, dialogs and message boxes are made on the main thread only, as on
// Linux, where the toolkit demands it.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    STRUMKEY_CHECK(OnMainThread());
    return ::MessageBoxW(owner, Wide(text).Get(), Wide(caption).Get(), type);
}

HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID parameter)
{
    STRUMKEY_CHECK(OnMainThread());
    return ::CreateWindowExW(exStyle, Wide(className).Get(), Wide(windowName).Get(), style, x, y, width, height, parent,
                             menu, instance, parameter);
}

INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC procedure, LPARAM parameter)
{
    STRUMKEY_CHECK(OnMainThread());
    if (templateName != nullptr && IS_INTRESOURCE(templateName)) {
        DWORD size = 0;
        const WORD id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(templateName));
        if (const BYTE* bytes = Loaded(instance, FindInUiLanguage(instance, MAKEINTRESOURCEW(5), id), &size))
            return ::DialogBoxIndirectParamW(instance, reinterpret_cast<LPCDLGTEMPLATEW>(bytes), owner, procedure,
                                             parameter);
    }
    return ::DialogBoxParamW(instance, Wide(templateName).Get(), owner, procedure, parameter);
}

LANGID SetThreadUILanguage(LANGID language)
{
    if (language != 0)
        uiLanguage = language;
    ::SetThreadUILanguage(language);
    return UiLanguage();
}

LANGID GetThreadUILanguage()
{
    return UiLanguage();
}

int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size)
{
    if (buffer == nullptr || size <= 0)
        return 0;
    buffer[0] = '\0';
    DWORD bytes = 0;
    const BYTE* block =
        Loaded(instance, FindInUiLanguage(instance, MAKEINTRESOURCEW(6), platform::StringBlockOf(id)), &bytes);
    const std::optional<std::u16string> text = platform::StringOfBlock(block, bytes, id % platform::StringsPerBlock);
    return text ? platform::CopyCp932(platform::WideToCp932(std::wstring(text->begin(), text->end())), buffer, size)
                : 0;
}

// Only the text messages convert (never on the key path).
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTEXT || message == SB_SETTEXTA) {
        const Wide text(reinterpret_cast<LPCSTR>(lParam));
        return ::SendMessageW(window, message == WM_SETTEXT ? WM_SETTEXT : SB_SETTEXTW, wParam,
                              reinterpret_cast<LPARAM>(text.Get()));
    }
    return ::SendMessageA(window, message, wParam, lParam);
}

}  // namespace platform::ansi
