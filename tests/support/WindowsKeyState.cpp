// On Windows GetKeyState reads the calling thread's own key table, which the
// system keeps from the keyboard's input: the key tests set it here as the
// system would (platform/KeyState.h says how), through SetKeyboardState.

#include "platform/KeyState.h"
#include "platform/Win32.h"

namespace {

// The pair a left or right key belongs to, or 0.
int PairOf(int virtKey)
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

}  // namespace

void platform::SetKeyDown(int virtKey, bool down)
{
    if (virtKey < 0 || virtKey > 255)
        return;
    BYTE keys[256];
    GetKeyboardState(keys);
    if (down && (keys[virtKey] & 0x80) == 0)
        keys[virtKey] ^= 0x01;
    keys[virtKey] = static_cast<BYTE>(down ? keys[virtKey] | 0x80 : keys[virtKey] & ~0x80);
    if (const int pair = PairOf(virtKey)) {
        const int left = pair == VK_SHIFT ? VK_LSHIFT : pair == VK_CONTROL ? VK_LCONTROL : VK_LMENU;
        const bool either = ((keys[left] | keys[left + 1]) & 0x80) != 0;
        keys[pair] = static_cast<BYTE>(either ? keys[pair] | 0x80 : keys[pair] & ~0x80);
    }
    SetKeyboardState(keys);
}

void platform::ResetKeyState()
{
    BYTE keys[256] = {};
    SetKeyboardState(keys);
}
