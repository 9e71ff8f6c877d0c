#pragma once
// The "static" control: a text label.

#include "platform/linux/ui/Window.h"

class QLabel;

namespace platform {

class StaticText : public Window {
public:
    StaticText(Window& parent, const std::string& textUtf8, DWORD style, const QRect& geometry, int id,
               HINSTANCE instance, const QFont& font);

    std::string Text() const override { return text; }
    // The character after a single '&' in the text, lower-cased; 0 for none.
    char Mnemonic() const;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    std::string text;  // cp932
};

}  // namespace platform
