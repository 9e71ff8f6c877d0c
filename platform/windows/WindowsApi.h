#pragma once
// On Windows the program calls the real API. Its text is cp932 whatever the
// system's code page, so the calls that take or give text do not reach the
// ANSI functions, which would read the bytes in the system's code page (an
// English Windows shows cp932 as "????"): they go through functions of the
// same name and signature that convert at the crossing and call the wide
// (UTF-16) ones. A name's character that cp932 lacks comes back as a code of
// its user-defined area that turns into the same character on the way out,
// as on Linux. On a Japanese Windows every byte is what the ANSI call would
// have made of it.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
// Lean windows.h leaves these out.
#include <commctrl.h>
#include <mmsystem.h>
#include <shlobj.h>
#include <shobjidl.h>

// Windows' PlaySound (a macro for PlaySoundA) is never called; the program
// has a PlaySound of its own.
#undef PlaySound

namespace platform::ansi {

// Files and folders.
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                   DWORD flags, HANDLE templateFile);
BOOL DeleteFileA(LPCSTR path);
DWORD GetFileAttributesA(LPCSTR path);
BOOL SetFileAttributesA(LPCSTR path, DWORD attributes);
HANDLE FindFirstFileA(LPCSTR path, LPWIN32_FIND_DATAA found);
HANDLE CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protect, DWORD sizeHigh, DWORD sizeLow,
                          LPCSTR name);
DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);
DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer);
BOOL SetCurrentDirectoryA(LPCSTR path);
HRESULT SHGetFolderPathA(HWND owner, int folder, HANDLE token, DWORD flags, LPSTR path);
int SHCreateDirectoryExA(HWND owner, LPCSTR path, const SECURITY_ATTRIBUTES* security);

// Settings files.
UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT defaultValue, LPCSTR path);
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR path);

// Named objects.
HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES security, BOOL initialOwner, LPCSTR name);

// Comparison of cp932 text, as a Japanese Windows compares it.
int lstrcmpA(LPCSTR a, LPCSTR b);
int lstrcmpiA(LPCSTR a, LPCSTR b);

// Windows and messages. The window, the dialog and its controls are Unicode
// windows; SendMessageA converts the text of WM_SETTEXT and SB_SETTEXTA and
// passes every other message through unchanged.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID parameter);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The language of the dialogs and strings (Wine keeps none of its own):
// DialogBoxParamA and LoadStringA find resources in it.
LANGID SetThreadUILanguage(LANGID language);
LANGID GetThreadUILanguage();
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC procedure, LPARAM parameter);
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size);

}  // namespace platform::ansi

// Program code reaches them by the Windows names (not where they are defined).
#ifndef STRUMKEY_DEFINING_ANSI_CALLS
#define CreateFileA platform::ansi::CreateFileA
#define DeleteFileA platform::ansi::DeleteFileA
#define GetFileAttributesA platform::ansi::GetFileAttributesA
#define SetFileAttributesA platform::ansi::SetFileAttributesA
#define FindFirstFileA platform::ansi::FindFirstFileA
#define CreateFileMappingA platform::ansi::CreateFileMappingA
#define GetModuleFileNameA platform::ansi::GetModuleFileNameA
#define GetCurrentDirectoryA platform::ansi::GetCurrentDirectoryA
#define SetCurrentDirectoryA platform::ansi::SetCurrentDirectoryA
#define SHGetFolderPathA platform::ansi::SHGetFolderPathA
#define SHCreateDirectoryExA platform::ansi::SHCreateDirectoryExA
#define GetPrivateProfileIntA platform::ansi::GetPrivateProfileIntA
#define WritePrivateProfileStringA platform::ansi::WritePrivateProfileStringA
#define CreateMutexA platform::ansi::CreateMutexA
#define lstrcmpA platform::ansi::lstrcmpA
#define lstrcmpiA platform::ansi::lstrcmpiA
#define MessageBoxA platform::ansi::MessageBoxA
#define CreateWindowExA platform::ansi::CreateWindowExA
#define DialogBoxParamA platform::ansi::DialogBoxParamA
#define SetThreadUILanguage platform::ansi::SetThreadUILanguage
#define GetThreadUILanguage platform::ansi::GetThreadUILanguage
#define LoadStringA platform::ansi::LoadStringA
#define SendMessageA platform::ansi::SendMessageA
#endif
