#pragma once
// A dialog window built from a template, run modally, with the dialog manager
// that gives keys their dialog meaning (Tab between tab stops, Escape and
// Enter as commands, mnemonics) before the focused control gets them.

#include "platform/linux/ui/DialogTemplate.h"
#include "platform/linux/ui/Window.h"

#include <QFont>

class QEventLoop;

namespace platform {

class Dialog : public Window {
public:
    // Runs the whole life of a modal dialog; -1 when it cannot be built.
    static INT_PTR RunModal(HINSTANCE instance, const DialogTemplate& dialogTemplate, HWND owner, DLGPROC procedure,
                            LPARAM param);

    Dialog(const DialogTemplate& dialogTemplate, Window* owner, DLGPROC procedure, HINSTANCE instance);
    ~Dialog() override;

    Dialog* AsDialog() override { return this; }
    bool GetLong(int index, LONG_PTR& value) const override;
    bool SetLong(int index, LONG_PTR value, LONG_PTR& previous) override;

    // The dialog of a toolkit window; null when it is none of ours.
    static Dialog* OfWindow(const QObject* window);

    bool End(INT_PTR value);
    // The window close button, as WM_CLOSE.
    void OnCloseRequested();

    // A key event of this dialog's window: the key message (WM_KEYDOWN,
    // WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYUP) for the focused control, with the
    // characters it types (cp932) for a key-down.
    void ProcessKey(UINT message, WPARAM virtualKey, LPARAM keyData, const std::string& characters);

    Window* Focus() const { return focus; }
    void SetFocusTo(Window* window);
    void NoteFocus(Window* window) { focus = window; }

    // After an unanswered Alt+character the window menu is active, and takes
    // the next key press, which ends it.
    void EnterMenuMode() { menuMode = true; }
    bool InMenuMode() const { return menuMode; }

    // Dialog units to pixels with this dialog's font.
    QRect MapDialogRect(int x, int y, int cx, int cy) const;
    int BaseUnitX() const { return baseX; }
    int BaseUnitY() const { return baseY; }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Process(UINT message, WPARAM wParam, LPARAM lParam);
    bool CreateControls(const DialogTemplate& dialogTemplate, HINSTANCE instance);
    void DialogMessage(MSG& message, const std::string& characters);
    bool Mnemonic(char character);
    Window* NextTabStop(Window* from, bool backwards) const;
    Window* NextInGroup(Window* from, bool backwards) const;
    Window* FirstTabStop() const;

    DLGPROC procedure;
    QFont font;
    int baseX = 0;
    int baseY = 0;
    LONG_PTR msgResult = 0;
    LONG_PTR user = 0;
    Window* focus = nullptr;
    bool menuMode = false;
    bool ended = false;
    INT_PTR result = 0;
    QEventLoop* loop = nullptr;
};

}  // namespace platform
