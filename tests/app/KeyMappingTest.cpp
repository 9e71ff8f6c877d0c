// The key mapping on the real scheduler and the real mixer (SDL's dummy
// driver), with the strings' timers on the virtual clock of the stroke
// helpers. Held keys are set in the key table behind
// GetKeyState; what a key did is read from the log of mixer starts and halts.

#include "app/KeyMapping.h"

#include "app/Settings.h"
#include "platform/linux/keyboard/KeyState.h"
#include "sound/AudioDevice.h"
#include "stroke/StrokeScheduler.h"

#include "tests/stroke/StrokeTestSupport.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <map>

using namespace StrokeTest;

namespace {

constexpr LPARAM FirstPress = 0x001E0001;              // repeat count 1, a scan code
constexpr LPARAM AutoRepeat = FirstPress | (1 << 30);  // the key was already down

class KeyMappingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Mivo::AudioDevice::IsOpen()) << SDL_GetError();
        Settings = SettingsValues{};
        Settings.Interval = 0;  // strokes play whole inside the key press
        platform::ResetKeyState();
        ResetNoteSlots();
        VirtualTimers::Reset();
        Mix_HaltChannel(-1);
        MixerLog::Clear();
    }
    void TearDown() override
    {
        platform::ResetKeyState();
        CancelPendingNotes();
        EXPECT_EQ(VirtualTimers::Pending(), 0u);
        Mix_HaltChannel(-1);
        Settings = SettingsValues{};
    }

    // Presses key with the given keys held, then lets them all go.
    static void Press(WPARAM key, std::initializer_list<int> held = {})
    {
        for (int k : held)
            platform::SetKeyDown(k, true);
        HandleKeyDown(key, FirstPress);
        for (int k : held)
            platform::SetKeyDown(k, false);
    }

    static TestBank* bank;
    static void SetUpTestSuite() { bank = new TestBank(); }
    static void TearDownTestSuite()
    {
        delete bank;
        bank = nullptr;
    }
};

TestBank* KeyMappingTest::bank = nullptr;

TEST_F(KeyMappingTest, LetterTableGivesRootsOnlyForAToG)
{
    const std::map<int, int> roots = {{'A', 69}, {'B', 71}, {'C', 60}, {'D', 62}, {'E', 64}, {'F', 65}, {'G', 67}};
    for (int key = 0; key < 256; ++key) {
        const auto found = roots.find(key);
        EXPECT_EQ(RootNoteForKey(key), found != roots.end() ? found->second : 0) << key;
    }
    EXPECT_EQ(RootNoteForKey(0x10041), 0);  // no truncation to the low byte
}

TEST_F(KeyMappingTest, DigitTableGivesEffectIdentifiers)
{
    for (int digit = 1; digit <= 9; ++digit) {
        EXPECT_EQ(SoundIdForKey('0' + digit), 30 + digit) << digit;
        EXPECT_EQ(SoundIdForKey(VK_NUMPAD0 + digit), 30 + digit) << digit;
    }
    EXPECT_EQ(SoundIdForKey('0'), 40);
    EXPECT_EQ(SoundIdForKey(VK_NUMPAD0), 40);
    for (WPARAM other : {WPARAM{'A'}, WPARAM{VK_SPACE}, WPARAM{0x2F}, WPARAM{0x3A}, WPARAM{0x5F}, WPARAM{0x6A}})
        EXPECT_EQ(SoundIdForKey(other), 31) << other;
}

TEST_F(KeyMappingTest, ModifierRulesInOrder)
{
    struct Case {
        bool tab, shift, ctrl, alt;
        ChordKind kind;
    } cases[] = {
        {false, false, false, false, Major},      {false, false, false, true, Major},  // Alt alone counts for nothing
        {false, true, false, false, Minor},       {false, true, false, true, Minor},   // Shift+Alt
        {false, false, true, false, Seventh},     {false, false, true, true, MajorSeventh},
        {false, true, true, false, MinorSeventh}, {false, true, true, true, MinorMajorSeventh},
    };
    for (const Case& c : cases) {
        for (bool tab : {false, true}) {
            platform::ResetKeyState();
            if (tab)
                platform::SetKeyDown(VK_TAB, true);
            if (c.shift)
                platform::SetKeyDown(VK_SHIFT, true);
            if (c.ctrl)
                platform::SetKeyDown(VK_CONTROL, true);
            if (c.alt)
                platform::SetKeyDown(VK_MENU, true);
            // Tab wins over everything else.
            EXPECT_EQ(ChordKindForModifiers(), tab ? DiminishedSeventh : c.kind)
                << "tab " << tab << " shift " << c.shift << " ctrl " << c.ctrl << " alt " << c.alt;
        }
    }
}

TEST_F(KeyMappingTest, RightAndLeftModifiersCountAlikeAndTogglesDoNot)
{
    platform::SetKeyDown(VK_RSHIFT, true);
    platform::SetKeyDown(VK_LCONTROL, true);
    platform::SetKeyDown(VK_RMENU, true);
    EXPECT_EQ(ChordKindForModifiers(), MinorMajorSeventh);
    platform::ResetKeyState();
    // Pressed and released: the toggle bit is set, the key is up.
    for (int key : {VK_TAB, VK_SHIFT, VK_CONTROL, VK_MENU}) {
        platform::SetKeyDown(key, true);
        platform::SetKeyDown(key, false);
    }
    EXPECT_EQ(ChordKindForModifiers(), Major);
}

TEST_F(KeyMappingTest, LettersStrumTheirChordsWithSharpAndFlat)
{
    struct Case {
        WPARAM key;
        std::initializer_list<int> held;
        int root;
    } cases[] = {
        {'C', {}, 60},
        {'D', {}, 62},
        {'E', {}, 64},
        {'F', {}, 65},
        {'G', {}, 67},
        {'A', {}, 69},
        {'B', {}, 71},
        {'E', {VK_OEM_PLUS}, 65},
        {'E', {VK_ADD}, 65},
        {'E', {VK_OEM_7}, 65},
        {'F', {VK_OEM_MINUS}, 64},
        {'F', {VK_SUBTRACT}, 64},
        {'F', {VK_OEM_1}, 64},
        {'C', {VK_OEM_MINUS}, 59},
        {'B', {VK_ADD}, 72},
        {'G', {VK_OEM_PLUS, VK_SUBTRACT}, 67},  // sharp and flat together: natural
        {'G', {VK_ADD, VK_OEM_7, VK_OEM_1}, 67},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.root);
        MixerLog::Clear();
        Press(c.key, c.held);
        EXPECT_EQ(MixerLog::StartedIds(), ChordIds(c.root, Major));
    }
    // Outside the chord table the six open strings sound.
    MixerLog::Clear();
    Press('C', {VK_SUBTRACT});
    EXPECT_EQ(MixerLog::StartedIds(), (std::vector<int>{0, 5, 10, 15, 19, 24}));
}

TEST_F(KeyMappingTest, ModifiersChooseTheKind)
{
    struct Case {
        std::initializer_list<int> held;
        std::vector<int> ids;
    } cases[] = {
        {{VK_SHIFT, VK_MENU}, {0, 5, 12, 17, 20, 24}},                   // A minor
        {{VK_MENU}, {0, 5, 12, 17, 21, 24}},                             // A major
        {{VK_TAB, VK_SHIFT, VK_CONTROL, VK_MENU}, {5, 11, 17, 20, 26}},  // A dim7
        {{VK_CONTROL}, {0, 5, 12, 15, 21, 24}},                          // A seventh
    };
    for (const Case& c : cases) {
        MixerLog::Clear();
        Press('A', c.held);
        EXPECT_EQ(MixerLog::StartedIds(), c.ids);
    }
}

TEST_F(KeyMappingTest, StrokeUsesTheCurrentStrengthAndSpeed)
{
    Settings.Velocity = 77;
    Settings.Interval = 15;
    Press('D');
    EXPECT_EQ((TheNoteSlots.slots[0].message >> 16) & 0xFF, 76u);  // strength 77 as a MIDI velocity
    EXPECT_EQ(MixerLog::Starts().size(), 1u);                      // the others wait for their timers
    EXPECT_FALSE(RingIdle());
    VirtualTimers::RunUntilIdle();
    const std::vector<Start> starts = MixerLog::Starts();
    ASSERT_EQ(starts.size(), 5u);
    EXPECT_EQ(starts[4].due - starts[0].due, std::int64_t{4 * 15} * 1000000);
}

TEST_F(KeyMappingTest, AutoRepeatDoesNothing)
{
    Press('C');
    MixerLog::Clear();
    for (WPARAM key : {WPARAM{'C'}, WPARAM{'5'}, WPARAM{VK_NUMPAD1}, WPARAM{VK_SPACE}})
        HandleKeyDown(key, AutoRepeat);
    EXPECT_TRUE(MixerLog::Starts().empty());
    EXPECT_EQ(MixerLog::Halts(), 0);
    EXPECT_EQ(Mix_Playing(-1), 6);
}

TEST_F(KeyMappingTest, DigitsPlayTheirEffectOnTopOfAStroke)
{
    for (int digit = 0; digit <= 9; ++digit) {
        for (WPARAM key : {WPARAM('0' + digit), WPARAM(VK_NUMPAD0 + digit)}) {
            MixerLog::Clear();
            Press(key);
            ASSERT_EQ(MixerLog::Starts().size(), 1u) << key;
            EXPECT_EQ(MixerLog::Starts()[0].id, digit == 0 ? 40 : 30 + digit) << key;
            EXPECT_EQ(MixerLog::Halts(), 0);
        }
        Mix_HaltChannel(-1);
    }

    // 5 during a stroke adds the effect and leaves the pending strings armed.
    Settings.Interval = 20;
    MixerLog::Clear();
    Press('C');
    Press('5');
    EXPECT_FALSE(RingIdle());
    VirtualTimers::RunUntilIdle();
    const std::vector<Start> starts = MixerLog::Starts();
    ASSERT_EQ(starts.size(), 7u);
    EXPECT_EQ(starts[1].id, 35);
    EXPECT_EQ(MixerLog::Halts(), 1);  // only the stroke's own halt
}

TEST_F(KeyMappingTest, DigitsWithoutASampleChangeNothing)
{
    TestBank lacking({35, 40});
    lacking.Table().Unload(36);  // listed, but its sample is not loaded
    Settings.Interval = 50;
    Press('G');
    MixerLog::Clear();
    const int next = TheNoteSlots.next;
    for (WPARAM key : {WPARAM{'5'}, WPARAM{VK_NUMPAD0}, WPARAM{'6'}})
        Press(key);
    EXPECT_TRUE(MixerLog::Starts().empty());
    EXPECT_EQ(MixerLog::Halts(), 0);
    EXPECT_EQ(TheNoteSlots.next, next);
    EXPECT_FALSE(RingIdle());
    Press('7');
    EXPECT_EQ(MixerLog::StartedIds(), std::vector<int>{37});
}

TEST_F(KeyMappingTest, SpaceCutsEverythingAndIsHarmlessWhenSilent)
{
    // Nothing playing or pending.
    TheNoteSlots.next = 9;
    Press(VK_SPACE);
    EXPECT_TRUE(MixerLog::Starts().empty());
    EXPECT_TRUE(RingIdle());
    EXPECT_EQ(TheNoteSlots.next, 9);
    EXPECT_EQ(Mix_Playing(-1), 0);

    // A stroke in progress and an effect: all cut, no string follows.
    Settings.Interval = 40;
    Press('E');
    Press('3');
    ASSERT_EQ(Mix_Playing(-1), 2);
    MixerLog::Clear();
    Press(VK_SPACE);
    EXPECT_TRUE(RingIdle());
    EXPECT_EQ(UncutChannels(), 0);
    VirtualTimers::RunUntilIdle();
    EXPECT_TRUE(MixerLog::Starts().empty());
}

TEST_F(KeyMappingTest, IntervalModeSilencesLettersOnly)
{
    Settings.StrokeIntervalMode = 1;
    Press('4');
    MixerLog::Clear();
    for (WPARAM key = 'A'; key <= 'G'; ++key)
        Press(key, {VK_SHIFT});
    EXPECT_TRUE(MixerLog::Starts().empty());
    EXPECT_EQ(MixerLog::Halts(), 0);
    EXPECT_EQ(Mix_Playing(-1), 1);  // the effect plays on

    Press('2');
    EXPECT_EQ(MixerLog::StartedIds(), std::vector<int>{32});
    Press(VK_SPACE);
    EXPECT_EQ(UncutChannels(), 0);
}

TEST_F(KeyMappingTest, EveryOtherKeyDoesNothing)
{
    Press('9');
    MixerLog::Clear();
    for (int key = 0; key < 256; ++key) {
        const bool dispatched = key == VK_SPACE || (key >= '0' && key <= '9') ||
                                (key >= VK_NUMPAD0 && key <= VK_NUMPAD9) || (key >= 'A' && key <= 'G');
        if (dispatched)
            continue;
        // Keypad + and - and the modifiers pressed on their own included.
        Press(key, {key});
    }
    EXPECT_TRUE(MixerLog::Starts().empty()) << MixerLog::Starts().size();
    EXPECT_EQ(MixerLog::Halts(), 0);
    EXPECT_EQ(Mix_Playing(-1), 1);
}

}  // namespace
