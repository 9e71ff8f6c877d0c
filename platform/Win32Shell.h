#pragma once
// shell32: the user's settings folder, and folders made with their parents.
// Included by Win32.h.

using HRESULT = std::int32_t;
constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);

// The folder where a program keeps its users' settings.
constexpr int CSIDL_APPDATA = 0x001A;

// The Windows path of the folder for folder (only CSIDL_APPDATA), into path
// (MAX_PATH bytes). Here it is $XDG_CONFIG_HOME, else ~/.config: it need not
// exist yet. E_FAIL when no home folder is known or the path does not fit;
// E_INVALIDARG for another folder.
HRESULT SHGetFolderPathA(HWND owner, int folder, HANDLE token, DWORD flags, LPSTR path);

// Creates the folder at path and every missing folder above it. Returns
// ERROR_SUCCESS, ERROR_ALREADY_EXISTS when it is there already (or
// ERROR_FILE_EXISTS when a file has its name), or the error that stopped it.
int SHCreateDirectoryExA(HWND owner, LPCSTR path, const SECURITY_ATTRIBUTES* security);

// The id by which the desktop knows the program: its desktop entry's name
// (without ".desktop"), which also names its icon.
HRESULT SetCurrentProcessExplicitAppUserModelID(PCWSTR appId);
