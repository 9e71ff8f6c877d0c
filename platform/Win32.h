#pragma once
// The Windows calls, types and constants that Strumkey uses: on Windows the
// real ones, on Linux provided here. Program code is written against these
// exactly as it would be on Windows: paths are Windows paths (on Linux the
// Unix tree is drive Z:), text is cp932.

#ifdef _WIN32
#include "platform/windows/WindowsApi.h"
#else

#include <cstddef>
#include <cstdint>

// ---- Types ---------------------------------------------------------------

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using INT = int;
using LONG = std::int32_t;
using LONGLONG = std::int64_t;
using BOOL = int;
using CHAR = char;
using LPSTR = char*;
using LPCSTR = const char*;
using WCHAR = wchar_t;
using PCWSTR = const wchar_t*;
using LPVOID = void*;
using LPCVOID = const void*;
using HANDLE = void*;

struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#define WINAPI

constexpr DWORD MAX_PATH = 260;

// ---- Errors --------------------------------------------------------------

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_DIRECTORY = 267;

DWORD GetLastError();
void SetLastError(DWORD error);

// ---- Module and current directory ----------------------------------------

// The full Windows path of the executable (any module handle names the
// executable: the program has no other module). Truncates to size - 1 bytes
// and returns size with ERROR_INSUFFICIENT_BUFFER when the buffer is short.
DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);

// Returns the length written (without the terminator), or, when the buffer is
// too small, the size needed including the terminator; 0 on failure.
DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer);
BOOL SetCurrentDirectoryA(LPCSTR path);

DWORD GetCurrentProcessId();

// ---- Strings -------------------------------------------------------------

// Compare two cp932 texts: equal or not as Windows decides under a Japanese
// locale; -1, 0 or 1. lstrcmpiA ignores the case of ASCII letters and of the
// full-width Latin, Greek and Cyrillic letters; a trail byte is never folded
// and characters of different widths are never equal. The order is that of
// the (folded) character codes, a consistent order but not the linguistic
// one of Windows; null counts as empty text.
int lstrcmpA(LPCSTR a, LPCSTR b);
int lstrcmpiA(LPCSTR a, LPCSTR b);

// ---- Languages -----------------------------------------------------------

using LANGID = WORD;

constexpr WORD LANG_NEUTRAL = 0x00;
constexpr WORD LANG_ENGLISH = 0x09;
constexpr WORD LANG_JAPANESE = 0x11;
constexpr WORD SUBLANG_NEUTRAL = 0x00;
constexpr WORD SUBLANG_DEFAULT = 0x01;
constexpr WORD SUBLANG_ENGLISH_US = 0x01;

constexpr LANGID MAKELANGID(WORD primary, WORD sublanguage)
{
    return static_cast<LANGID>(sublanguage << 10 | primary);
}
constexpr WORD PRIMARYLANGID(LANGID language)
{
    return language & 0x3FF;
}

// The language of the user's interface: the locale's (LC_ALL, LC_MESSAGES,
// LANG, the first that is set and not empty), Japanese for "ja", English for
// every other and for none.
LANGID GetUserDefaultUILanguage();
// The language the program's resources are looked up in (dialogs, strings):
// the user's until it is set. One for the process, which has one interface
// thread; a language of 0 keeps it and returns it. Returns the language set.
LANGID SetThreadUILanguage(LANGID language);
LANGID GetThreadUILanguage();

// ---- High-resolution time ------------------------------------------------

// Only the whole 64-bit count is provided.
struct LARGE_INTEGER {
    LONGLONG QuadPart;
};

// The monotonic clock that the multimedia timers run on, in counts of
// QueryPerformanceFrequency per second (nanoseconds here). Never fails, and
// takes no lock: callable from any thread, the timer and audio threads too.
BOOL QueryPerformanceCounter(LARGE_INTEGER* count);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);

// ---- Further areas ---------------------------------------------------------

#include "platform/Win32Files.h"
#include "platform/Win32Multimedia.h"
#include "platform/Win32Profile.h"
#include "platform/Win32Keys.h"
#include "platform/Win32User.h"
#include "platform/Win32Shell.h"
#endif
