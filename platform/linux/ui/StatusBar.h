#pragma once
// The status bar common control ("msctls_statusbar32"): a strip along its
// parent's bottom edge (top edge with CCS_TOP) that shows one text: the simple
// text in simple mode, else the text of its one part.

#include "platform/linux/ui/Window.h"

class QLabel;

namespace platform {

class StatusBar : public Window {
public:
    StatusBar(Window& parent, DWORD style, int id, HINSTANCE instance, const QFont& font);

    // Places the bar along the parent's edge, at the height the font needs.
    void Place();

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Process(UINT message, WPARAM wParam, LPARAM lParam);
    const std::string& Shown() const { return simple ? simpleText : partText; }
    void UpdateView();

    QLabel* label;
    bool simple = false;
    std::string simpleText;  // cp932
    std::string partText;
};

}  // namespace platform
