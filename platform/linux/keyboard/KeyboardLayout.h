#pragma once
// The keyboard layout that keys are read by: set by the X and Wayland
// keyboard watchers as the display server reports it, read on every key.
// Internal to platform/.

namespace platform {

enum class KeyboardLayout {
    Us,        // US 101/104 and every layout not listed
    Japanese,  // Japanese 106/109
};

// US until a watcher reads the display server's layout. Tests may set it.
KeyboardLayout CurrentKeyboardLayout();
void SetKeyboardLayout(KeyboardLayout layout);

}  // namespace platform
