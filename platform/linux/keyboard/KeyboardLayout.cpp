#include "platform/linux/keyboard/KeyboardLayout.h"

#include <atomic>

namespace platform {
namespace {

// Written by the watcher that reads the server, read by the thread that takes
// the keys.
std::atomic<KeyboardLayout> layout{KeyboardLayout::Us};

}  // namespace

KeyboardLayout CurrentKeyboardLayout()
{
    return layout;
}

void SetKeyboardLayout(KeyboardLayout newLayout)
{
    layout = newLayout;
}

}  // namespace platform
