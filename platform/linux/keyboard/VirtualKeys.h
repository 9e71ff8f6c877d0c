#pragma once
// From the X11 description of a key (keysym and keycode, as the toolkit hands
// them on) to what Windows reports for it: the virtual-key code and the scan
// code. Pure tables, no state. Internal to platform/.

#include "platform/linux/keyboard/KeyboardLayout.h"

#include <cstdint>

namespace platform {

struct WindowsKey {
    int virtualKey = 0;  // 0: no Windows key
    int scanCode = 0;    // set 1 make code, 0 when unknown
    bool extended = false;
};

// keysym is the X keysym of the event (after Shift and NumLock), keycode the
// X keycode (evdev code + 8). Left and right Shift, Ctrl and Alt get their
// sided codes (VK_LSHIFT, ...). Latin letters follow the keysym; a letter key
// that carries another letter (Cyrillic, Greek...) gets the code of its place
// on a US keyboard; digits and punctuation follow the key's place on the
// layout, as Windows does.
WindowsKey WindowsKeyFromX(KeyboardLayout layout, std::uint32_t keysym, std::uint32_t keycode);

// For key events that carry no X description: from the toolkit's key code
// (Qt::Key) and whether the key is on the keypad. No scan code.
int VirtualKeyFromQtKey(int qtKey, bool keypad);

// The layout of one group of an XKB layout list ("jp", "us,jp"): group 0 is
// the first entry. A group past the list's end wraps, as XKB's groups do.
KeyboardLayout LayoutFromXkbLayouts(const char* layouts, unsigned group = 0);

// The layout of a keymap's group from its name as keymaps carry it
// ("Japanese", "Japanese (Kana)", "English (US)").
KeyboardLayout LayoutFromXkbGroupName(const char* name);

}  // namespace platform
