// GetKeyState over the key table that the keyboard filter updates.

#include "platform/linux/keyboard/KeyState.h"
#include "platform/Win32.h"

#include <gtest/gtest.h>

namespace {

bool Down(int vk)
{
    return (GetKeyState(vk) & 0x80) != 0;
}

bool Toggled(int vk)
{
    return (GetKeyState(vk) & 1) != 0;
}

class KeyState : public ::testing::Test {
protected:
    void SetUp() override { platform::ResetKeyState(); }
    void TearDown() override { platform::ResetKeyState(); }
};

TEST_F(KeyState, PressesSetTheHighBitsAndFlipTheToggle)
{
    EXPECT_EQ(GetKeyState('A'), 0);
    platform::SetKeyDown('A', true);
    EXPECT_EQ(static_cast<unsigned short>(GetKeyState('A')), 0xFF81u);
    EXPECT_LT(GetKeyState('A'), 0);
    platform::SetKeyDown('A', true);  // auto-repeat: no new press
    EXPECT_TRUE(Toggled('A'));
    platform::SetKeyDown('A', false);
    EXPECT_EQ(GetKeyState('A'), 1);
    platform::SetKeyDown('A', true);
    EXPECT_EQ(static_cast<unsigned short>(GetKeyState('A')), 0xFF80u);
    platform::SetKeyDown('A', false);
    EXPECT_EQ(GetKeyState('A'), 0);
    EXPECT_EQ(GetKeyState('B'), 0);
}

TEST_F(KeyState, GenericModifiersAreDownWhileEitherSideIs)
{
    const int pairs[][3] = {
        {VK_SHIFT, VK_LSHIFT, VK_RSHIFT},
        {VK_CONTROL, VK_LCONTROL, VK_RCONTROL},
        {VK_MENU, VK_LMENU, VK_RMENU},
    };
    for (const auto& p : pairs) {
        const int generic = p[0], left = p[1], right = p[2];
        platform::SetKeyDown(left, true);
        EXPECT_TRUE(Down(generic));
        platform::SetKeyDown(right, true);
        platform::SetKeyDown(left, false);
        EXPECT_TRUE(Down(generic));
        EXPECT_TRUE(Down(right));
        EXPECT_FALSE(Down(left));
        platform::SetKeyDown(right, false);
        EXPECT_FALSE(Down(generic));
        // One press of the generic key for the whole overlap.
        EXPECT_TRUE(Toggled(generic));
    }
    EXPECT_FALSE(Down(VK_TAB));
}

TEST_F(KeyState, CodesOutsideTheTableAreIgnored)
{
    platform::SetKeyDown(-1, true);
    platform::SetKeyDown(256, true);
    EXPECT_EQ(GetKeyState(-1), 0);
    EXPECT_EQ(GetKeyState(256), 0);
    EXPECT_EQ(GetKeyState(0), 0);
    EXPECT_EQ(GetKeyState(255), 0);
}

TEST_F(KeyState, ResetReleasesEverything)
{
    platform::SetKeyDown(VK_TAB, true);
    platform::SetKeyDown(VK_LSHIFT, true);
    platform::ResetKeyState();
    EXPECT_EQ(GetKeyState(VK_TAB), 0);
    EXPECT_EQ(GetKeyState(VK_SHIFT), 0);
    EXPECT_EQ(GetKeyState(VK_LSHIFT), 0);
}

}  // namespace
