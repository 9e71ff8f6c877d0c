#pragma once
// The key table behind GetKeyState. Internal to platform/: the keyboard filter
// of the user interface records every key event here before the program's hook
// sees it, and tests set keys directly.
//
// Written from one thread (the user interface's); read from any thread without
// a lock: every entry is an atomic byte.

#include "platform/Win32.h"

namespace platform {

// VK_SHIFT, VK_CONTROL or VK_MENU for the left or right key of that pair; 0
// for every other key. The two keys of a pair are neighbours: virtKey ^ 1 is
// the other one.
constexpr int GenericModifier(int virtKey)
{
    switch (virtKey) {
    case VK_LSHIFT:
    case VK_RSHIFT:
        return VK_SHIFT;
    case VK_LCONTROL:
    case VK_RCONTROL:
        return VK_CONTROL;
    case VK_LMENU:
    case VK_RMENU:
        return VK_MENU;
    default:
        return 0;
    }
}

// Records a press (down) or a release of a virtual key; codes outside 0 to 255
// are ignored. A press of a key that is up flips its toggle bit; a repeated
// press of a key that is already down does not. The left and right Shift, Ctrl
// and Alt keys also update VK_SHIFT, VK_CONTROL and VK_MENU, which are down
// while either key of the pair is.
void SetKeyDown(int virtKey, bool down);

// Every key up and untoggled.
void ResetKeyState();

}  // namespace platform
