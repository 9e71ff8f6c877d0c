#pragma once
// Windows, dialogs, common controls, hooks, icons, message boxes, the named
// mutex and the entry function (included by platform/Win32.h).
//
// All user-interface calls belong to the main thread, as the one thread that
// owns every window; the calls that make windows, dialogs, hooks and message
// boxes check it (STRUMKEY_CHECK). Texts are cp932.

// ---- Types ---------------------------------------------------------------

struct HWND__;
using HWND = HWND__*;
struct HICON__;
using HICON = HICON__*;
struct HHOOK__;
using HHOOK = HHOOK__*;
struct HMENU__;
using HMENU = HMENU__*;

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using LONG_PTR = std::intptr_t;
using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using ULONG_PTR = std::uintptr_t;
using ATOM = WORD;

#ifndef CALLBACK
#define CALLBACK
#endif

struct POINT {
    LONG x;
    LONG y;
};

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

// One window message as the message loop sees it.
struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
using LPMSG = MSG*;

using WNDPROC = LRESULT(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);
using DLGPROC = INT_PTR(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);
using HOOKPROC = LRESULT(CALLBACK*)(int code, WPARAM wParam, LPARAM lParam);

// ---- Helpers ---------------------------------------------------------------

#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
#define MAKEINTRESOURCE(i) MAKEINTRESOURCEA(i)
#define IS_INTRESOURCE(r) ((reinterpret_cast<ULONG_PTR>(r) >> 16) == 0)

constexpr WORD LOWORD(ULONG_PTR value)
{
    return static_cast<WORD>(value & 0xFFFF);
}
constexpr WORD HIWORD(ULONG_PTR value)
{
    return static_cast<WORD>((value >> 16) & 0xFFFF);
}
constexpr LONG MAKELONG(WORD low, WORD high)
{
    return static_cast<LONG>(static_cast<DWORD>(low) | (static_cast<DWORD>(high) << 16));
}
constexpr LPARAM MAKELPARAM(WORD low, WORD high)
{
    return static_cast<LPARAM>(static_cast<DWORD>(MAKELONG(low, high)));
}
constexpr WPARAM MAKEWPARAM(WORD low, WORD high)
{
    return static_cast<WPARAM>(static_cast<DWORD>(MAKELONG(low, high)));
}

// ---- Messages --------------------------------------------------------------

constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_SETICON = 0x0080;
constexpr UINT WM_GETDLGCODE = 0x0087;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_SYSCHAR = 0x0106;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_HSCROLL = 0x0114;
constexpr UINT WM_MENUCHAR = 0x0120;
constexpr UINT WM_USER = 0x0400;

// WM_SYSCOMMAND commands.
constexpr WPARAM SC_CLOSE = 0xF060;
constexpr WPARAM SC_KEYMENU = 0xF100;

// WM_COMMAND notification of a clicked button (also sent for Enter and Escape).
constexpr WORD BN_CLICKED = 0;

// WM_SETICON.
constexpr WPARAM ICON_SMALL = 0;
constexpr WPARAM ICON_BIG = 1;

// WM_MENUCHAR: the menu flag in the high word of wParam, the answer in the
// high word of the result.
constexpr WORD MF_SYSMENU = 0x2000;
constexpr WORD MNC_IGNORE = 0;
constexpr WORD MNC_CLOSE = 1;
constexpr WORD MNC_EXECUTE = 2;
constexpr WORD MNC_SELECT = 3;

// WM_GETDLGCODE answers.
constexpr LRESULT DLGC_WANTARROWS = 0x0001;
constexpr LRESULT DLGC_WANTTAB = 0x0002;
constexpr LRESULT DLGC_WANTALLKEYS = 0x0004;
constexpr LRESULT DLGC_WANTMESSAGE = 0x0004;
constexpr LRESULT DLGC_HASSETSEL = 0x0008;
constexpr LRESULT DLGC_DEFPUSHBUTTON = 0x0010;
constexpr LRESULT DLGC_UNDEFPUSHBUTTON = 0x0020;
constexpr LRESULT DLGC_RADIOBUTTON = 0x0040;
constexpr LRESULT DLGC_WANTCHARS = 0x0080;
constexpr LRESULT DLGC_STATIC = 0x0100;
constexpr LRESULT DLGC_BUTTON = 0x2000;

// Dialog messages.
constexpr UINT DM_GETDEFID = WM_USER + 0;

// ---- Styles ----------------------------------------------------------------

constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;

constexpr DWORD DS_MODALFRAME = 0x0080;
constexpr DWORD DS_SETFONT = 0x0040;
constexpr DWORD DS_CENTER = 0x0800;

constexpr DWORD SS_LEFT = 0x0000;
constexpr DWORD SS_CENTER = 0x0001;
constexpr DWORD SS_RIGHT = 0x0002;
constexpr DWORD SS_LEFTNOWORDWRAP = 0x000C;
constexpr DWORD SS_NOPREFIX = 0x0080;

constexpr DWORD TBS_AUTOTICKS = 0x0001;
constexpr DWORD TBS_HORZ = 0x0000;
constexpr DWORD TBS_NOTICKS = 0x0010;

constexpr DWORD CCS_TOP = 0x0001;
constexpr DWORD CCS_BOTTOM = 0x0003;

constexpr BYTE DEFAULT_CHARSET = 1;

// ---- Common controls -----------------------------------------------------

// Window classes of the common controls (the dialog template names them).
#define TRACKBAR_CLASSA "msctls_trackbar32"
#define STATUSCLASSNAMEA "msctls_statusbar32"

// Trackbar messages. A range is two signed 16-bit values: MAKELONG(min, max).
constexpr UINT TBM_GETPOS = WM_USER;
constexpr UINT TBM_GETRANGEMIN = WM_USER + 1;
constexpr UINT TBM_GETRANGEMAX = WM_USER + 2;
constexpr UINT TBM_SETPOS = WM_USER + 5;
constexpr UINT TBM_SETRANGE = WM_USER + 6;
constexpr UINT TBM_SETRANGEMIN = WM_USER + 7;
constexpr UINT TBM_SETRANGEMAX = WM_USER + 8;
constexpr UINT TBM_SETTICFREQ = WM_USER + 20;
constexpr UINT TBM_SETPAGESIZE = WM_USER + 21;
constexpr UINT TBM_GETPAGESIZE = WM_USER + 22;
constexpr UINT TBM_SETLINESIZE = WM_USER + 23;
constexpr UINT TBM_GETLINESIZE = WM_USER + 24;

// Notification codes in the low word of WM_HSCROLL's wParam; the high word
// holds the position for TB_THUMBTRACK and TB_THUMBPOSITION, else 0.
constexpr WORD TB_LINEUP = 0;
constexpr WORD TB_LINEDOWN = 1;
constexpr WORD TB_PAGEUP = 2;
constexpr WORD TB_PAGEDOWN = 3;
constexpr WORD TB_THUMBPOSITION = 4;
constexpr WORD TB_THUMBTRACK = 5;
constexpr WORD TB_TOP = 6;
constexpr WORD TB_BOTTOM = 7;
constexpr WORD TB_ENDTRACK = 8;

// Status bar messages. SB_SETTEXTA: wParam = part index (SB_SIMPLEID for the
// simple part) | drawing type << 8, lParam = the text.
constexpr UINT SB_SETTEXTA = WM_USER + 1;
constexpr UINT SB_GETTEXTA = WM_USER + 2;
constexpr UINT SB_GETTEXTLENGTHA = WM_USER + 3;
constexpr UINT SB_SIMPLE = WM_USER + 9;
constexpr UINT SB_ISSIMPLE = WM_USER + 14;
constexpr WPARAM SB_SIMPLEID = 0x00FF;

// Accepted and ignored: the common control classes are always available.
void InitCommonControls();

// ---- Windows ---------------------------------------------------------------

// Window data indexes, as 64-bit Windows numbers them: the values are
// pointer-sized (LONG_PTR), so that a window procedure or a pointer fits.
constexpr int GWLP_WNDPROC = -4;
constexpr int GWLP_HINSTANCE = -6;
constexpr int GWLP_HWNDPARENT = -8;
constexpr int GWL_STYLE = -16;
constexpr int GWLP_ID = -12;
constexpr int GWLP_USERDATA = -21;
// Dialog window data.
constexpr int DWLP_MSGRESULT = 0;
constexpr int DWLP_DLGPROC = 8;
constexpr int DWLP_USER = 16;

constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr DWORD ERROR_CANNOT_FIND_WND_CLASS = 1407;
constexpr DWORD ERROR_INVALID_HOOK_FILTER = 1426;
constexpr DWORD ERROR_INVALID_HOOK_HANDLE = 1404;
constexpr DWORD ERROR_RESOURCE_DATA_NOT_FOUND = 1812;
constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;
constexpr DWORD ERROR_INVALID_INDEX = 1413;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_NOT_OWNER = 288;

// Calls the window's current window procedure at once (on the window's thread;
// from any other thread nothing is sent and the result is 0). 0 for a window
// that does not exist.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The default processing of a message: Alt+F4 closes the top-level window,
// Alt+character asks it with WM_MENUCHAR, WM_SYSCOMMAND SC_CLOSE sends
// WM_CLOSE; everything else gives 0.
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

LRESULT CallWindowProcA(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Sets a window value and returns the previous one (0 and ERROR_INVALID_INDEX
// for an index the window does not have). GWLP_WNDPROC replaces the window
// procedure (subclassing); GWLP_USERDATA is free for the program; a dialog
// also has DWLP_MSGRESULT (the result of the message being handled),
// DWLP_DLGPROC and DWLP_USER. GWLP_HINSTANCE, GWLP_ID, GWL_STYLE and
// GWLP_HWNDPARENT can be read only.
LONG_PTR SetWindowLongPtrA(HWND window, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtrA(HWND window, int index);

// The child of a dialog with the given control id, or null.
HWND GetDlgItem(HWND dialog, int id);

// The (Linux) thread id of the thread that owns the window, 0 for no window;
// the process id through processId when given.
DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId);

// Creates a window of a common control class as a child of parent; the
// position and size are ignored by the status bar, which keeps itself along
// its parent's bottom edge. menu is the control id for a child window.
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);

// ---- Dialogs ---------------------------------------------------------------

// Creates the dialog from the template resource of the module, sends it
// WM_INITDIALOG with param and runs it modally until EndDialog; returns
// EndDialog's result. -1 when the template is missing or bad, or when no
// display can be reached (then after one line on standard error). An owner
// window is disabled while the dialog runs.
INT_PTR DialogBoxParamA(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC dialogProc, LPARAM param);

// Ends the modal loop of a dialog, which then returns result; the dialog is
// hidden at once and destroyed when its loop returns.
BOOL EndDialog(HWND dialog, INT_PTR result);

// ---- Hooks -----------------------------------------------------------------

constexpr int WH_KEYBOARD = 2;
constexpr int HC_ACTION = 0;
constexpr int HC_NOREMOVE = 3;

// Installs a keyboard hook (only WH_KEYBOARD) for the user-interface thread:
// threadId is that thread's id (or 0). The hook sees every key event of the
// thread's windows before they are processed, with the virtual-key code in
// wParam and the key data in lParam: repeat count 1 in bits 0-15, the scan
// code in bits 16-23, bit 24 for an extended key, bit 29 while Alt is down,
// bit 30 when the key was down before, bit 31 for a release. A nonzero
// result swallows the key. The newest hook is called first.
HHOOK SetWindowsHookExA(int idHook, HOOKPROC procedure, HINSTANCE module, DWORD threadId);
BOOL UnhookWindowsHookEx(HHOOK hook);
// Passes the key on to the next hook in the chain; 0 when there is none.
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);

// ---- Icons -----------------------------------------------------------------

// Loads an icon group resource of the module. The handle carries every image
// of the group (the toolkit picks the size it draws) and is shared: loading
// the same icon again returns the same handle. Null when it does not exist.
HICON LoadIconA(HINSTANCE instance, LPCSTR name);

// ---- Strings ---------------------------------------------------------------

// Copies string id of the module's string table, in the thread's UI
// language (SetThreadUILanguage) as resources are found, as cp932 into
// buffer, truncated to size - 1 bytes (never inside a character) and always
// terminated; returns its length. 0 when the string does not exist or
// buffer is null or size is 0. (Windows' own fills a null-sized call with a
// pointer to the text; the program never asks for that.)
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size);

// ---- Message boxes ---------------------------------------------------------

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_ICONHAND = 0x00000010;
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr UINT MB_ICONSTOP = 0x00000010;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONWARNING = 0x00000030;
constexpr UINT MB_ICONASTERISK = 0x00000040;
constexpr UINT MB_ICONINFORMATION = 0x00000040;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Shows text (cp932) under caption ("Error" when null, "エラー" for a Japanese
// user) in a modal box and
// returns the button pressed. When no display can be reached the box is one
// line on standard error and the answer is IDOK.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// ---- Named mutex -----------------------------------------------------------

constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
constexpr DWORD WAIT_ABANDONED = 0x00000080;
constexpr DWORD WAIT_TIMEOUT = 0x00000102;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

// A mutex shared between processes by name. The calling thread owns it after
// a successful wait (ownership nests), until ReleaseMutex or until its last
// handle is closed; ownership dies with the process, so a crashed owner never
// blocks the next one. Opening a name that this process has open already
// returns another handle to the same mutex with ERROR_ALREADY_EXISTS. An
// unnamed mutex is private to the process. Null on failure.
HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCSTR name);
BOOL ReleaseMutex(HANDLE mutex);

// Waits up to timeout milliseconds (INFINITE: without limit) for a mutex:
// WAIT_OBJECT_0 when the calling thread now owns it, WAIT_TIMEOUT when another
// thread or process still does, WAIT_FAILED (ERROR_INVALID_HANDLE) for a
// handle that is not a mutex.
DWORD WaitForSingleObject(HANDLE object, DWORD timeout);

// ---- Entry -----------------------------------------------------------------

constexpr int SW_SHOWNORMAL = 1;

// Defined by the program. The platform's main calls it with the executable's
// instance (which holds its resources), no previous instance, the command line
// after the program name (cp932) and SW_SHOWNORMAL.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int showCommand);
