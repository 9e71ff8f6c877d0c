#pragma once
// A seam for tests: an observer that sees every message box instead of the
// user. Internal to platform/ and its tests; the program never sets it.

#include "platform/Win32.h"

namespace platform {

// Receives the arguments of MessageBoxA as given (text and caption in cp932,
// either may be null).
using MessageBoxObserver = void (*)(HWND owner, const char* text, const char* caption, UINT type);

// While an observer is set it is called instead of showing anything; null
// restores the normal box.
void SetMessageBoxObserver(MessageBoxObserver observer);

}  // namespace platform
