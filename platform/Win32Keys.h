#pragma once
// Virtual-key codes and the key state (included by platform/Win32.h).

using SHORT = std::int16_t;

// ---- Virtual-key codes (US layout; letters and digits are their ASCII codes)

constexpr int VK_BACK = 0x08;
constexpr int VK_TAB = 0x09;
constexpr int VK_CLEAR = 0x0C;
constexpr int VK_RETURN = 0x0D;
constexpr int VK_SHIFT = 0x10;
constexpr int VK_CONTROL = 0x11;
constexpr int VK_MENU = 0x12;  // Alt
constexpr int VK_PAUSE = 0x13;
constexpr int VK_CAPITAL = 0x14;
constexpr int VK_KANA = 0x15;
constexpr int VK_KANJI = 0x19;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_CONVERT = 0x1C;
constexpr int VK_NONCONVERT = 0x1D;
constexpr int VK_SPACE = 0x20;
constexpr int VK_PRIOR = 0x21;  // Page Up
constexpr int VK_NEXT = 0x22;   // Page Down
constexpr int VK_END = 0x23;
constexpr int VK_HOME = 0x24;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_SNAPSHOT = 0x2C;  // Print Screen
constexpr int VK_INSERT = 0x2D;
constexpr int VK_DELETE = 0x2E;
constexpr int VK_LWIN = 0x5B;
constexpr int VK_RWIN = 0x5C;
constexpr int VK_APPS = 0x5D;
constexpr int VK_NUMPAD0 = 0x60;
constexpr int VK_NUMPAD1 = 0x61;
constexpr int VK_NUMPAD2 = 0x62;
constexpr int VK_NUMPAD3 = 0x63;
constexpr int VK_NUMPAD4 = 0x64;
constexpr int VK_NUMPAD5 = 0x65;
constexpr int VK_NUMPAD6 = 0x66;
constexpr int VK_NUMPAD7 = 0x67;
constexpr int VK_NUMPAD8 = 0x68;
constexpr int VK_NUMPAD9 = 0x69;
constexpr int VK_MULTIPLY = 0x6A;
constexpr int VK_ADD = 0x6B;
constexpr int VK_SEPARATOR = 0x6C;
constexpr int VK_SUBTRACT = 0x6D;
constexpr int VK_DECIMAL = 0x6E;
constexpr int VK_DIVIDE = 0x6F;
constexpr int VK_F1 = 0x70;
constexpr int VK_F2 = 0x71;
constexpr int VK_F3 = 0x72;
constexpr int VK_F4 = 0x73;
constexpr int VK_F5 = 0x74;
constexpr int VK_F6 = 0x75;
constexpr int VK_F7 = 0x76;
constexpr int VK_F8 = 0x77;
constexpr int VK_F9 = 0x78;
constexpr int VK_F10 = 0x79;
constexpr int VK_F11 = 0x7A;
constexpr int VK_F12 = 0x7B;
constexpr int VK_NUMLOCK = 0x90;
constexpr int VK_SCROLL = 0x91;
constexpr int VK_LSHIFT = 0xA0;
constexpr int VK_RSHIFT = 0xA1;
constexpr int VK_LCONTROL = 0xA2;
constexpr int VK_RCONTROL = 0xA3;
constexpr int VK_LMENU = 0xA4;
constexpr int VK_RMENU = 0xA5;
constexpr int VK_OEM_1 = 0xBA;     // ;: (US), :* (Japanese)
constexpr int VK_OEM_PLUS = 0xBB;  // =+ (US), ;+ (Japanese)
constexpr int VK_OEM_COMMA = 0xBC;
constexpr int VK_OEM_MINUS = 0xBD;
constexpr int VK_OEM_PERIOD = 0xBE;
constexpr int VK_OEM_2 = 0xBF;    // /?
constexpr int VK_OEM_3 = 0xC0;    // `~ (US), @` (Japanese)
constexpr int VK_OEM_4 = 0xDB;    // [{
constexpr int VK_OEM_5 = 0xDC;    // \|
constexpr int VK_OEM_6 = 0xDD;    // ]}
constexpr int VK_OEM_7 = 0xDE;    // '" (US), ^~ (Japanese)
constexpr int VK_OEM_102 = 0xE2;  // \_ (Japanese)

// ---- Key state ---------------------------------------------------------------

// The state of a virtual key as the keyboard events seen so far left it: the
// high bits (0xFF80, so the result is negative and bit 7 is set) while the key
// is down, bit 0 toggled by each press. 0 for a code outside 0 to 255.
// VK_SHIFT, VK_CONTROL and VK_MENU are down while either key of their pair is.
SHORT GetKeyState(int virtKey);
