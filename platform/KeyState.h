#pragma once
// The key table behind GetKeyState. Internal to platform/: the keyboard filter
// of the user interface records every key event here before the program's hook
// sees it, and tests set keys directly.
//
// Written from one thread (the user interface's); read from any thread without
// a lock: every entry is an atomic byte.

namespace platform {

// Records a press (down) or a release of a virtual key; codes outside 0 to 255
// are ignored. A press of a key that is up flips its toggle bit; a repeated
// press of a key that is already down does not. The left and right Shift, Ctrl
// and Alt keys also update VK_SHIFT, VK_CONTROL and VK_MENU, which are down
// while either key of the pair is.
void SetKeyDown(int virtKey, bool down);

// Every key up and untoggled.
void ResetKeyState();

}  // namespace platform
