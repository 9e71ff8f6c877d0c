#include "app/MainDialog.h"

#include "app/KeyMapping.h"
#include "app/Settings.h"
#include "app/Texts.h"
#include "resources/Resources.h"
#include "sound/AudioDevice.h"
#include "sound/Placement.h"

#include <SDL_mixer.h>

#include <cstdarg>
#include <cstdio>

namespace {

// The dialog (target of the hook), the hook and the status bar; main thread only.
HWND MainDialog = nullptr;
HHOOK KeyboardHook = nullptr;
HWND StatusBar = nullptr;

constexpr int StrengthMax = 128;
constexpr WPARAM StrengthTicFrequency = 12;

LRESULT Position(HWND slider)
{
    return SendMessageA(slider, TBM_GETPOS, 0, 0);
}

void CreateStatusBar(HWND dialog, HINSTANCE instance)
{
    InitCommonControls();
    StatusBar = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | CCS_BOTTOM, 0, 0, 0, 0, dialog,
                                reinterpret_cast<HMENU>(static_cast<ULONG_PTR>(IDC_STATUSBAR)), instance, nullptr);
    SendMessageA(StatusBar, SB_SIMPLE, TRUE, 0);
}

void SubclassSlider(HWND slider)
{
    const LONG_PTR previous = SetWindowLongPtrA(slider, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SliderSubclassProc));
    SetWindowLongPtrA(slider, GWLP_USERDATA, previous);
}

INT_PTR OnInitDialog(HWND dialog)
{
    const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
    SendMessageA(dialog, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadIconA(instance, MAKEINTRESOURCEA(IDI_MAIN))));
    SendMessageA(dialog, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(LoadIconA(instance, MAKEINTRESOURCEA(IDI_MAIN))));
    CreateStatusBar(dialog, instance);
    SetStatusText("%s", Text(IDS_READY));
    InitSliders(dialog);
    MainDialog = dialog;
    // A hook for the dialog's own thread: keys reach the program while the
    // dialog has the focus, whichever control holds it.
    KeyboardHook = SetWindowsHookExA(WH_KEYBOARD, KeyboardHookProc, nullptr, GetWindowThreadProcessId(dialog, nullptr));
    SubclassSlider(GetDlgItem(dialog, IDC_STRENGTH));
    SubclassSlider(GetDlgItem(dialog, IDC_SPEED));
    return TRUE;  // the focus goes to the first tab stop, the strength slider
}

INT_PTR OnHScroll(HWND dialog, HWND slider)
{
    if (slider == GetDlgItem(dialog, IDC_STRENGTH)) {
        Settings.Velocity = static_cast<BYTE>(Position(slider) & 0xFF);
        // Every channel, sounding ones included: the change is heard at once.
        if (Mivo::AudioDevice::IsOpen())
            Mix_Volume(-1, Settings.Velocity);
        return TRUE;
    }
    if (slider == GetDlgItem(dialog, IDC_SPEED)) {
        Settings.Interval = static_cast<int>(Position(slider));
        return TRUE;
    }
    return FALSE;
}

// Once the sound has broken off again and again (the device ran dry), the
// status bar says, once, what to set; after a key, whose sound has started by
// then.
void NoticeBreakingUp()
{
    static bool noticed = false;
    if (noticed || !Mivo::Placement::HasBrokenUp())
        return;
    noticed = true;
    SetStatusText(Text(IDS_BREAKING_UP), AudioBufferFramesFrom(Settings.AudioBufferFrames * 2));
}

}  // namespace

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        HandleKeyDown(wParam, lParam);
        NoticeBreakingUp();
        return FALSE;
    case WM_HSCROLL:
        // Every notification alike: the settings follow a dragged thumb.
        return OnHScroll(dialog, reinterpret_cast<HWND>(lParam));
    case WM_CLOSE:
        ReadSliders(dialog);
        EndDialog(dialog, 0);
        return TRUE;
    case WM_MENUCHAR:
        // Alt is part of two chord kinds: end the menu loop that Alt+letter
        // starts, selecting nothing.
        SetWindowLongPtrA(dialog, DWLP_MSGRESULT, MAKELONG(0, MNC_CLOSE));
        return TRUE;
    default:
        // WM_COMMAND included: Esc and Enter leave the dialog open.
        return FALSE;
    }
}

LRESULT CALLBACK KeyboardHookProc(int code, WPARAM virtualKey, LPARAM keyData)
{
    if (code < 0)
        return CallNextHookEx(KeyboardHook, code, virtualKey, keyData);
    if (code == HC_ACTION) {
        const bool release = (static_cast<DWORD>(keyData) & 0x80000000u) != 0;
        SendMessageA(MainDialog, release ? WM_KEYUP : WM_KEYDOWN, virtualKey, keyData);
    }
    return CallNextHookEx(KeyboardHook, code, virtualKey, keyData);
}

LRESULT CALLBACK SliderSubclassProc(HWND slider, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(slider, GWLP_USERDATA));
    if (message != WM_GETDLGCODE)
        return CallWindowProcA(previous, slider, message, wParam, lParam);
    LRESULT code = CallWindowProcA(previous, slider, message, wParam, lParam);
    const MSG* examined = reinterpret_cast<const MSG*>(lParam);
    if (examined != nullptr && examined->message == WM_CHAR)
        code |= DLGC_WANTCHARS;
    return code;
}

void SetStatusText(const char* format, ...)
{
    char text[64];
    va_list arguments;
    va_start(arguments, format);
    // Too long a text is cut to the buffer rather than failing.
    const int written = std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (written < 0)
        text[0] = '\0';
    SendMessageA(StatusBar, SB_SETTEXTA, SB_SIMPLEID | (0 << 8), reinterpret_cast<LPARAM>(text));
}

void InitSliders(HWND dialog)
{
    HWND strength = GetDlgItem(dialog, IDC_STRENGTH);
    HWND speed = GetDlgItem(dialog, IDC_SPEED);
    SendMessageA(strength, TBM_SETRANGE, TRUE, MAKELPARAM(0, StrengthMax));
    SendMessageA(speed, TBM_SETRANGE, TRUE, MAKELPARAM(0, LOWORD(static_cast<DWORD>(Settings.MaxInterval))));
    SendMessageA(strength, TBM_SETTICFREQ, StrengthTicFrequency, 0);
    SendMessageA(speed, TBM_SETTICFREQ, static_cast<DWORD>(Settings.MaxInterval) / 10, 0);
    SendMessageA(strength, TBM_SETPOS, TRUE, Settings.Velocity);
    SendMessageA(speed, TBM_SETPOS, TRUE, Settings.Interval);
}

void ReadSliders(HWND dialog)
{
    // The sliders hold their positions inside their ranges, so a stored value
    // outside a range comes back as its nearest end.
    Settings.Velocity = static_cast<BYTE>(Position(GetDlgItem(dialog, IDC_STRENGTH)) & 0xFF);
    Settings.Interval = static_cast<int>(Position(GetDlgItem(dialog, IDC_SPEED)));
    Settings.StrokeIntervalMode = 0;
}
