// Key tables for a US and a Japanese keyboard, and the letter keys of
// layouts whose letters are not Latin.

#include "platform/linux/keyboard/VirtualKeys.h"

#include "platform/Win32.h"

#include <QChar>
#include <Qt>

#include <xkbcommon/xkbcommon.h>

#include <string_view>
#include <vector>

namespace platform {
namespace {

struct KeysymEntry {
    std::uint32_t keysym;
    int virtualKey;
};

// Keys whose meaning does not depend on the layout.
// clang-format off
constexpr KeysymEntry NamedKeys[] = {
    {0xFF08, VK_BACK},     {0xFF09, VK_TAB},        {0xFE20, VK_TAB},  // ISO_Left_Tab (Shift+Tab)
    {0xFF0D, VK_RETURN},   {0xFF8D, VK_RETURN},     {0xFF1B, VK_ESCAPE}, {0x0020, VK_SPACE},
    {0xFF13, VK_PAUSE},    {0xFF14, VK_SCROLL},     {0xFF61, VK_SNAPSHOT}, {0xFF7F, VK_NUMLOCK},
    {0xFFE5, VK_CAPITAL},  {0xFF50, VK_HOME},       {0xFF51, VK_LEFT},   {0xFF52, VK_UP},
    {0xFF53, VK_RIGHT},    {0xFF54, VK_DOWN},       {0xFF55, VK_PRIOR},  {0xFF56, VK_NEXT},
    {0xFF57, VK_END},      {0xFF63, VK_INSERT},     {0xFFFF, VK_DELETE}, {0xFF67, VK_APPS},
    {0xFFE1, VK_LSHIFT},   {0xFFE2, VK_RSHIFT},     {0xFFE3, VK_LCONTROL}, {0xFFE4, VK_RCONTROL},
    {0xFFE9, VK_LMENU},    {0xFFEA, VK_RMENU},      {0xFFE7, VK_LMENU},  // Meta_L (Alt+Shift on some maps)
    {0xFFE8, VK_RMENU},    {0xFE03, VK_RMENU},      // ISO_Level3_Shift (AltGr)
    {0xFFEB, VK_LWIN},     {0xFFEC, VK_RWIN},
    // Keypad with NumLock on...
    {0xFFB0, VK_NUMPAD0},  {0xFFB1, VK_NUMPAD1},    {0xFFB2, VK_NUMPAD2}, {0xFFB3, VK_NUMPAD3},
    {0xFFB4, VK_NUMPAD4},  {0xFFB5, VK_NUMPAD5},    {0xFFB6, VK_NUMPAD6}, {0xFFB7, VK_NUMPAD7},
    {0xFFB8, VK_NUMPAD8},  {0xFFB9, VK_NUMPAD9},    {0xFFAE, VK_DECIMAL}, {0xFFAC, VK_SEPARATOR},
    {0xFFAA, VK_MULTIPLY}, {0xFFAB, VK_ADD},        {0xFFAD, VK_SUBTRACT}, {0xFFAF, VK_DIVIDE},
    // ... and off: the navigation keys.
    {0xFF95, VK_HOME},     {0xFF96, VK_LEFT},       {0xFF97, VK_UP},     {0xFF98, VK_RIGHT},
    {0xFF99, VK_DOWN},     {0xFF9A, VK_PRIOR},      {0xFF9B, VK_NEXT},   {0xFF9C, VK_END},
    {0xFF9D, VK_CLEAR},    {0xFF9E, VK_INSERT},     {0xFF9F, VK_DELETE},
    {0xFFBE, VK_F1},       {0xFFBF, VK_F2},         {0xFFC0, VK_F3},     {0xFFC1, VK_F4},
    {0xFFC2, VK_F5},       {0xFFC3, VK_F6},         {0xFFC4, VK_F7},     {0xFFC5, VK_F8},
    {0xFFC6, VK_F9},       {0xFFC7, VK_F10},        {0xFFC8, VK_F11},    {0xFFC9, VK_F12},
    // Japanese input keys.
    {0xFF23, VK_CONVERT},  {0xFF22, VK_NONCONVERT}, {0xFF2A, VK_KANJI},
};
// clang-format on

struct KeycodeEntry {
    std::uint32_t keycode;  // X keycode
    int virtualKey;
};

// The digit row and the punctuation keys, by their place on the keyboard.
// clang-format off
constexpr KeycodeEntry UsKeys[] = {
    {10, '1'}, {11, '2'}, {12, '3'}, {13, '4'}, {14, '5'}, {15, '6'}, {16, '7'}, {17, '8'}, {18, '9'}, {19, '0'},
    {20, VK_OEM_MINUS},  // -_
    {21, VK_OEM_PLUS},   // =+
    {34, VK_OEM_4},      // [{
    {35, VK_OEM_6},      // ]}
    {47, VK_OEM_1},      // ;:
    {48, VK_OEM_7},      // '"
    {49, VK_OEM_3},      // `~
    {51, VK_OEM_5},      // \|
    {59, VK_OEM_COMMA},  {60, VK_OEM_PERIOD}, {61, VK_OEM_2},  // , . /
    {94, VK_OEM_102},    // the extra key of ISO keyboards
};
// clang-format on

// The letter keys by their place: what they carry on a US keyboard.
// clang-format off
constexpr KeycodeEntry UsLetters[] = {
    {24, 'Q'}, {25, 'W'}, {26, 'E'}, {27, 'R'}, {28, 'T'}, {29, 'Y'}, {30, 'U'}, {31, 'I'}, {32, 'O'},
    {33, 'P'}, {38, 'A'}, {39, 'S'}, {40, 'D'}, {41, 'F'}, {42, 'G'}, {43, 'H'}, {44, 'J'}, {45, 'K'},
    {46, 'L'}, {52, 'Z'}, {53, 'X'}, {54, 'C'}, {55, 'V'}, {56, 'B'}, {57, 'N'}, {58, 'M'},
};
// clang-format on

// clang-format off
constexpr KeycodeEntry JapaneseKeys[] = {
    {10, '1'}, {11, '2'}, {12, '3'}, {13, '4'}, {14, '5'}, {15, '6'}, {16, '7'}, {17, '8'}, {18, '9'}, {19, '0'},
    {20, VK_OEM_MINUS},  // -=
    {21, VK_OEM_7},      // ^~
    {34, VK_OEM_3},      // @`
    {35, VK_OEM_4},      // [{
    {47, VK_OEM_PLUS},   // ;+
    {48, VK_OEM_1},      // :*
    {51, VK_OEM_6},      // ]}
    {59, VK_OEM_COMMA},  {60, VK_OEM_PERIOD}, {61, VK_OEM_2},  // , . /
    {97, VK_OEM_102},    // \_ (ro)
    {132, VK_OEM_5},     // \| (yen)
};
// clang-format on

struct ScanEntry {
    std::uint32_t evdev;
    int scanCode;
    bool extended;
};

// Linux key codes below 89 are the set 1 make codes; these are the others,
// and NumLock, which Windows marks extended.
// clang-format off
constexpr ScanEntry ScanExceptions[] = {
    {69, 0x45, true},   // NumLock
    {85, 0x29, false},  // Zenkaku/Hankaku
    {89, 0x73, false},  // Ro
    {92, 0x79, false},  // Henkan
    {93, 0x70, false},  // Katakana/Hiragana
    {94, 0x7B, false},  // Muhenkan
    {96, 0x1C, true},   // keypad Enter
    {97, 0x1D, true},   // right Ctrl
    {98, 0x35, true},   // keypad /
    {99, 0x37, true},   // Print Screen
    {100, 0x38, true},  // right Alt
    {102, 0x47, true},  // Home
    {103, 0x48, true},  // Up
    {104, 0x49, true},  // Page Up
    {105, 0x4B, true},  // Left
    {106, 0x4D, true},  // Right
    {107, 0x4F, true},  // End
    {108, 0x50, true},  // Down
    {109, 0x51, true},  // Page Down
    {110, 0x52, true},  // Insert
    {111, 0x53, true},  // Delete
    {119, 0x45, false}, // Pause
    {124, 0x7D, false}, // Yen
    {125, 0x5B, true},  // left Windows key
    {126, 0x5C, true},  // right Windows key
    {127, 0x5D, true},  // Menu
};
// clang-format on

template <class Entry, std::size_t N>
const Entry* Find(const Entry (&table)[N], std::uint32_t key, std::uint32_t Entry::*field)
{
    for (const Entry& entry : table)
        if (entry.*field == key)
            return &entry;
    return nullptr;
}

void ScanCodeOf(std::uint32_t keycode, WindowsKey& key)
{
    if (keycode < 9)
        return;
    std::uint32_t evdev = keycode - 8;
    if (const ScanEntry* entry = Find(ScanExceptions, evdev, &ScanEntry::evdev)) {
        key.scanCode = entry->scanCode;
        key.extended = entry->extended;
    } else if (evdev < 89) {
        key.scanCode = static_cast<int>(evdev);
    }
}

// A letter other than A to Z: Cyrillic, Greek, Hebrew, Arabic, a dotless i...
bool IsOtherLetter(std::uint32_t keysym)
{
    const char32_t character = xkb_keysym_to_utf32(keysym);
    return character > 0x7F && QChar::isLetter(character);
}

}  // namespace

WindowsKey WindowsKeyFromX(KeyboardLayout layout, std::uint32_t keysym, std::uint32_t keycode)
{
    WindowsKey key;
    ScanCodeOf(keycode, key);
    if (const KeysymEntry* named = Find(NamedKeys, keysym, &KeysymEntry::keysym)) {
        key.virtualKey = named->virtualKey;
    } else if ((keysym >= 'a' && keysym <= 'z') || (keysym >= 'A' && keysym <= 'Z')) {
        key.virtualKey = static_cast<int>(keysym & ~0x20u);
    } else if (const KeycodeEntry* letter = Find(UsLetters, keycode, &KeycodeEntry::keycode);
               letter != nullptr && IsOtherLetter(keysym)) {
        // Windows gives a letter key of such a layout the code of its place.
        key.virtualKey = letter->virtualKey;
    } else {
        const KeycodeEntry* placed = layout == KeyboardLayout::Japanese
                                         ? Find(JapaneseKeys, keycode, &KeycodeEntry::keycode)
                                         : Find(UsKeys, keycode, &KeycodeEntry::keycode);
        if (placed)
            key.virtualKey = placed->virtualKey;
        else if (keysym >= '0' && keysym <= '9')
            key.virtualKey = static_cast<int>(keysym);
    }
    // The right-hand keys that share a code with a left-hand one are told
    // apart by the extended flag only.
    if (key.virtualKey == VK_RETURN && keysym == 0xFF8D)
        key.extended = true;
    return key;
}

int VirtualKeyFromQtKey(int qtKey, bool keypad)
{
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return 'A' + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return keypad ? VK_NUMPAD0 + (qtKey - Qt::Key_0) : '0' + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12)
        return VK_F1 + (qtKey - Qt::Key_F1);
    switch (qtKey) {
    case Qt::Key_Shift:
        return VK_LSHIFT;
    case Qt::Key_Control:
        return VK_LCONTROL;
    case Qt::Key_Alt:
        return VK_LMENU;
    case Qt::Key_AltGr:
        return VK_RMENU;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return VK_TAB;
    case Qt::Key_Space:
        return VK_SPACE;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Escape:
        return VK_ESCAPE;
    case Qt::Key_Backspace:
        return VK_BACK;
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Down:
        return VK_DOWN;
    case Qt::Key_Home:
        return VK_HOME;
    case Qt::Key_End:
        return VK_END;
    case Qt::Key_PageUp:
        return VK_PRIOR;
    case Qt::Key_PageDown:
        return VK_NEXT;
    case Qt::Key_Insert:
        return VK_INSERT;
    case Qt::Key_Delete:
        return VK_DELETE;
    case Qt::Key_Plus:
        return keypad ? VK_ADD : VK_OEM_PLUS;
    case Qt::Key_Equal:
        return VK_OEM_PLUS;
    case Qt::Key_Minus:
        return keypad ? VK_SUBTRACT : VK_OEM_MINUS;
    case Qt::Key_Asterisk:
        return keypad ? VK_MULTIPLY : 0;
    case Qt::Key_Slash:
        return keypad ? VK_DIVIDE : VK_OEM_2;
    case Qt::Key_Semicolon:
        return VK_OEM_1;
    case Qt::Key_Apostrophe:
        return VK_OEM_7;
    case Qt::Key_Comma:
        return VK_OEM_COMMA;
    case Qt::Key_Period:
        return keypad ? VK_DECIMAL : VK_OEM_PERIOD;
    default:
        return 0;
    }
}

KeyboardLayout LayoutFromXkbLayouts(const char* layouts, unsigned group)
{
    if (layouts == nullptr)
        return KeyboardLayout::Us;
    std::vector<std::string_view> entries;
    for (std::string_view rest = layouts;;) {
        const std::size_t comma = rest.find(',');
        entries.push_back(rest.substr(0, comma));
        if (comma == std::string_view::npos)
            break;
        rest.remove_prefix(comma + 1);
    }
    const std::string_view entry = entries[group % entries.size()];
    return entry.substr(0, entry.find('(')) == "jp" ? KeyboardLayout::Japanese : KeyboardLayout::Us;
}

KeyboardLayout LayoutFromXkbGroupName(const char* name)
{
    if (name == nullptr)
        return KeyboardLayout::Us;
    const std::string_view text = name;
    return text.substr(0, text.find(' ')) == "Japanese" ? KeyboardLayout::Japanese : KeyboardLayout::Us;
}

}  // namespace platform
