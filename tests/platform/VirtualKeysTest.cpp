// X keys to Windows virtual-key and scan codes, US and Japanese layouts.

#include "platform/linux/keyboard/VirtualKeys.h"
#include "platform/Win32.h"

#include <Qt>

#include <gtest/gtest.h>

namespace {

using platform::KeyboardLayout;

struct Case {
    const char* name;
    std::uint32_t keysym;
    std::uint32_t keycode;
    int us;        // virtual key on the US layout
    int japanese;  // on the Japanese layout
    int scan;
    bool extended;
};

// keysym after Shift/NumLock as X reports it; keycode = Linux code + 8.
// clang-format off
const Case Cases[] = {
    {"a", 'a', 38, 'A', 'A', 0x1E, false},
    {"Shift+a", 'A', 38, 'A', 'A', 0x1E, false},
    {"g", 'g', 42, 'G', 'G', 0x22, false},
    {"1", '1', 10, '1', '1', 0x02, false},
    {"Shift+1", '!', 10, '1', '1', 0x02, false},
    {"0", '0', 19, '0', '0', 0x0B, false},
    {"keypad 5", 0xFFB5, 84, VK_NUMPAD5, VK_NUMPAD5, 0x4C, false},
    {"keypad 5 without NumLock", 0xFF9D, 84, VK_CLEAR, VK_CLEAR, 0x4C, false},
    {"keypad 0", 0xFFB0, 90, VK_NUMPAD0, VK_NUMPAD0, 0x52, false},
    {"keypad +", 0xFFAB, 86, VK_ADD, VK_ADD, 0x4E, false},
    {"keypad -", 0xFFAD, 82, VK_SUBTRACT, VK_SUBTRACT, 0x4A, false},
    {"= (US) / ^ (JP)", '=', 21, VK_OEM_PLUS, VK_OEM_7, 0x0D, false},
    {"- key", '-', 20, VK_OEM_MINUS, VK_OEM_MINUS, 0x0C, false},
    {"Shift+- on JP is =", '=', 20, VK_OEM_MINUS, VK_OEM_MINUS, 0x0C, false},
    {"; key", ';', 47, VK_OEM_1, VK_OEM_PLUS, 0x27, false},
    {"' (US) / : (JP)", '\'', 48, VK_OEM_7, VK_OEM_1, 0x28, false},
    {"Shift+; on US is :", ':', 47, VK_OEM_1, VK_OEM_PLUS, 0x27, false},
    {"@ key of JP", '@', 34, VK_OEM_4, VK_OEM_3, 0x1A, false},
    {"left Shift", 0xFFE1, 50, VK_LSHIFT, VK_LSHIFT, 0x2A, false},
    {"right Shift", 0xFFE2, 62, VK_RSHIFT, VK_RSHIFT, 0x36, false},
    {"left Ctrl", 0xFFE3, 37, VK_LCONTROL, VK_LCONTROL, 0x1D, false},
    {"right Ctrl", 0xFFE4, 105, VK_RCONTROL, VK_RCONTROL, 0x1D, true},
    {"left Alt", 0xFFE9, 64, VK_LMENU, VK_LMENU, 0x38, false},
    {"right Alt", 0xFFEA, 108, VK_RMENU, VK_RMENU, 0x38, true},
    {"AltGr", 0xFE03, 108, VK_RMENU, VK_RMENU, 0x38, true},
    {"Tab", 0xFF09, 23, VK_TAB, VK_TAB, 0x0F, false},
    {"Shift+Tab", 0xFE20, 23, VK_TAB, VK_TAB, 0x0F, false},
    {"Space", ' ', 65, VK_SPACE, VK_SPACE, 0x39, false},
    {"Escape", 0xFF1B, 9, VK_ESCAPE, VK_ESCAPE, 0x01, false},
    {"Return", 0xFF0D, 36, VK_RETURN, VK_RETURN, 0x1C, false},
    {"keypad Enter", 0xFF8D, 104, VK_RETURN, VK_RETURN, 0x1C, true},
    {"Left", 0xFF51, 113, VK_LEFT, VK_LEFT, 0x4B, true},
    {"Right", 0xFF53, 114, VK_RIGHT, VK_RIGHT, 0x4D, true},
    {"Up", 0xFF52, 111, VK_UP, VK_UP, 0x48, true},
    {"Down", 0xFF54, 116, VK_DOWN, VK_DOWN, 0x50, true},
    {"Home", 0xFF50, 110, VK_HOME, VK_HOME, 0x47, true},
    {"End", 0xFF57, 115, VK_END, VK_END, 0x4F, true},
    {"Page Up", 0xFF55, 112, VK_PRIOR, VK_PRIOR, 0x49, true},
    {"Page Down", 0xFF56, 117, VK_NEXT, VK_NEXT, 0x51, true},
    {"F4", 0xFFC1, 70, VK_F4, VK_F4, 0x3E, false},
    {"NumLock", 0xFF7F, 77, VK_NUMLOCK, VK_NUMLOCK, 0x45, true},
    {"JP ro key", '\\', 97, 0, VK_OEM_102, 0x73, false},
    {"JP yen key", '\\', 132, 0, VK_OEM_5, 0x7D, false},
    {"unknown key", 0x1008FF11, 122, 0, 0, 0, false},  // XF86AudioLowerVolume
    // Letters of other scripts: the letter of the key's place on a US keyboard.
    {"Russian es on the C key", 0x6D3, 54, 'C', 'C', 0x2E, false},
    {"Russian Shift+ef on the A key", 0x6E6, 38, 'A', 'A', 0x1E, false},
    {"Greek psi on the C key", 0x7F8, 54, 'C', 'C', 0x2E, false},
    {"Hebrew bet on the C key", 0xCE1, 54, 'C', 'C', 0x2E, false},
    {"Arabic ta on the F key", 0x5CA, 41, 'F', 'F', 0x21, false},
    {"Turkish dotless i on the I key", 0x2B9, 31, 'I', 'I', 0x17, false},
    // French: a letter goes by its label, punctuation by its place.
    {"French q on the A key", 'q', 38, 'Q', 'Q', 0x1E, false},
    {"French comma on the M key", ',', 58, 0, 0, 0x32, false},
    {"Russian zhe on the ; key", 0x6D6, 47, VK_OEM_1, VK_OEM_PLUS, 0x27, false},
    {"German e acute dead key on the = key", 0xFE51, 21, VK_OEM_PLUS, VK_OEM_7, 0x0D, false},
};
// clang-format on

TEST(VirtualKeys, UsAndJapaneseLayoutsGiveTheWindowsCodes)
{
    for (const Case& c : Cases) {
        SCOPED_TRACE(c.name);
        const platform::WindowsKey us = platform::WindowsKeyFromX(KeyboardLayout::Us, c.keysym, c.keycode);
        const platform::WindowsKey jp = platform::WindowsKeyFromX(KeyboardLayout::Japanese, c.keysym, c.keycode);
        EXPECT_EQ(us.virtualKey, c.us);
        EXPECT_EQ(jp.virtualKey, c.japanese);
        EXPECT_EQ(us.scanCode, c.scan);
        EXPECT_EQ(us.extended, c.extended);
        EXPECT_EQ(jp.scanCode, c.scan);
    }
}

TEST(VirtualKeys, KeysWithoutAnXDescriptionFollowTheToolkitKey)
{
    // clang-format off
    struct { int key; bool keypad; int vk; } cases[] = {
        {Qt::Key_A, false, 'A'},         {Qt::Key_G, false, 'G'},          {Qt::Key_5, false, '5'},
        {Qt::Key_5, true, VK_NUMPAD5},   {Qt::Key_Plus, true, VK_ADD},     {Qt::Key_Minus, true, VK_SUBTRACT},
        {Qt::Key_Minus, false, VK_OEM_MINUS}, {Qt::Key_Equal, false, VK_OEM_PLUS},
        {Qt::Key_Semicolon, false, VK_OEM_1}, {Qt::Key_Apostrophe, false, VK_OEM_7},
        {Qt::Key_Shift, false, VK_LSHIFT}, {Qt::Key_Control, false, VK_LCONTROL}, {Qt::Key_Alt, false, VK_LMENU},
        {Qt::Key_Tab, false, VK_TAB},     {Qt::Key_Backtab, false, VK_TAB}, {Qt::Key_Space, false, VK_SPACE},
        {Qt::Key_Left, false, VK_LEFT},   {Qt::Key_PageDown, false, VK_NEXT}, {Qt::Key_VolumeDown, false, 0},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(platform::VirtualKeyFromQtKey(c.key, c.keypad), c.vk) << c.key;
}

TEST(VirtualKeys, LayoutComesFromTheActiveGroupOfTheXkbLayouts)
{
    const struct {
        const char* layouts;
        unsigned group;
        KeyboardLayout expected;
        // clang-format off
    } cases[] = {
        {"jp", 0, KeyboardLayout::Japanese},      {"jp,us", 0, KeyboardLayout::Japanese},
        {"jp(OADG109A)", 0, KeyboardLayout::Japanese}, {"us,jp", 0, KeyboardLayout::Us},
        {"us,jp", 1, KeyboardLayout::Japanese},   {"us,jp(kana)", 1, KeyboardLayout::Japanese},
        {"jp,us", 1, KeyboardLayout::Us},         {"jp", 3, KeyboardLayout::Japanese},  // groups wrap
        {"us,jp", 3, KeyboardLayout::Japanese},   {"de", 0, KeyboardLayout::Us},
        {"jpx", 0, KeyboardLayout::Us},           {"", 0, KeyboardLayout::Us},
        {",", 1, KeyboardLayout::Us},             {nullptr, 0, KeyboardLayout::Us},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(platform::LayoutFromXkbLayouts(c.layouts, c.group), c.expected)
            << (c.layouts ? c.layouts : "(null)") << " group " << c.group;

    EXPECT_EQ(platform::LayoutFromXkbGroupName("Japanese"), KeyboardLayout::Japanese);
    EXPECT_EQ(platform::LayoutFromXkbGroupName("Japanese (Kana)"), KeyboardLayout::Japanese);
    EXPECT_EQ(platform::LayoutFromXkbGroupName("English (US)"), KeyboardLayout::Us);
    EXPECT_EQ(platform::LayoutFromXkbGroupName("Japanese-ish"), KeyboardLayout::Us);
    EXPECT_EQ(platform::LayoutFromXkbGroupName(nullptr), KeyboardLayout::Us);
}

}  // namespace
