// On Windows GetKeyState reads the calling thread's own key table, which the
// system keeps from the keyboard's input: the key tests set it here as the
// system would (platform/linux/keyboard/KeyState.h says how), through SetKeyboardState.

#include "platform/linux/keyboard/KeyState.h"
#include "platform/Win32.h"

void platform::SetKeyDown(int virtKey, bool down)
{
    if (virtKey < 0 || virtKey > 255)
        return;
    BYTE keys[256];
    GetKeyboardState(keys);
    if (down && (keys[virtKey] & 0x80) == 0)
        keys[virtKey] ^= 0x01;
    keys[virtKey] = static_cast<BYTE>(down ? keys[virtKey] | 0x80 : keys[virtKey] & ~0x80);
    if (const int pair = platform::GenericModifier(virtKey)) {
        const bool either = ((keys[virtKey] | keys[virtKey ^ 1]) & 0x80) != 0;
        keys[pair] = static_cast<BYTE>(either ? keys[pair] | 0x80 : keys[pair] & ~0x80);
    }
    SetKeyboardState(keys);
}

void platform::ResetKeyState()
{
    BYTE keys[256] = {};
    SetKeyboardState(keys);
}
