#pragma once
// The trackbar common control ("msctls_trackbar32"), horizontal: a slider
// with a range, tic marks, and a position that the user moves with the mouse
// or the keyboard. Every move by the user is reported to the parent with
// WM_HSCROLL; a position set with TBM_SETPOS is not.

#include "platform/linux/ui/Window.h"

namespace platform {

class Trackbar : public Window {
public:
    Trackbar(Window& parent, DWORD style, const QRect& geometry, int id, HINSTANCE instance);

    // From the slider widget: a move by the mouse or the wheel (a toolkit
    // slider action) and the end of it.
    void OnSliderAction(int action, bool byWheel, int oldPosition);
    void OnMouseReleased(bool thumbWasDragged);

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Process(UINT message, WPARAM wParam, LPARAM lParam);
    void KeyDown(WPARAM key);
    void SetPosition(LONG position);
    void SetRange(LONG minimum, LONG maximum);
    void UpdateView();
    void Notify(WORD code);

    LONG min = 0;
    LONG max = 100;
    LONG pos = 0;
    LONG line = 1;
    LONG page = 20;
    LONG ticFreq = 1;
};

}  // namespace platform
