// The built program on a real (headless) Wayland compositor, typed at through
// the compositor's virtual keyboard with real layouts: the compositor's keymap
// and focus as a desktop gives them, the key repeat that the toolkit makes of
// a held key, and what was heard.

#include "tests/e2e/KeyboardScenarios.h"
#include "tests/e2e/Listening.h"
#include "tests/e2e/WaylandCompositor.h"
#include "tests/e2e/X11Program.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using listening::Until;
using namespace keyboard_scenarios;

// The program on the test bank, the only window of the compositor's first
// workspace, typed at with wayland_keys.
class WaylandKeyboardTest : public ::testing::Test, public Keyboard {
protected:
    static void SetUpTestSuite()
    {
        if (WaylandCompositor::Available())
            compositor = new WaylandCompositor(WAYLAND_KEYS);
    }
    static void TearDownTestSuite()
    {
        delete compositor;
        compositor = nullptr;
    }

    void SetUp() override
    {
        if (!WaylandCompositor::Available())
            GTEST_SKIP() << "sway is not installed: no Wayland compositor to run on";
        ASSERT_TRUE(compositor->Running()) << compositor->Problem();
        ASSERT_TRUE(program.Ready());
        program.UseTestBank();
        program.Write("strumkey.ini", "[Setting]\r\nInterval=" + std::to_string(IntervalMilliseconds) + "\r\n");
        run = program.Start(compositor->Environment(), Audio);
        ASSERT_TRUE(Focused()) << program.Read(program.Name() + ".log");
    }
    void TearDown() override
    {
        if (run == nullptr || !run->Running())
            return;
        std::string kill = "[app_id=\"";
        kill.append(AppId).append("\"] kill");
        EXPECT_EQ(compositor->Command(kill), 0);
        EXPECT_EQ(run->Wait(listening::HearLimit), std::optional<int>(0)) << program.Read(program.Name() + ".log");
    }

    // Waits until the program's window has the keyboard. The window carries
    // the name of the program's desktop entry, by which the desktop finds its
    // icon.
    bool Focused()
    {
        return Until([&] { return compositor->FocusedAppId() == AppId; });
    }
    static constexpr const char* AppId = "io.github.strumkey.Strumkey";

    // Each run is a keyboard of its own, with the layout in use: its first
    // key makes that keymap the seat's, as a switch of layouts does. A key
    // held in it is released at its end.
    X11Process::Options Typing(const std::vector<std::string>& commands) const
    {
        X11Process::Options options;
        options.args = {WAYLAND_KEYS, "layout", layouts, "group", std::to_string(group)};
        options.args.insert(options.args.end(), commands.begin(), commands.end());
        options.env = compositor->Environment();
        return options;
    }
    int Type(const std::vector<std::string>& commands) override
    {
        return X11Process::Run(Typing(commands), nullptr, listening::HearLimit);
    }
    void UseLayout(const std::string& wanted, unsigned wantedGroup) override
    {
        layouts = wanted;
        group = wantedGroup;
    }
    std::string AudioFile() const override { return program.AudioPath(Audio); }

    static constexpr const char* Audio = "keys.raw";
    static WaylandCompositor* compositor;
    X11Program program{STRUMKEY_EXE};
    std::unique_ptr<X11Process> run;
    std::string layouts = "us";
    unsigned group = 0;
};

WaylandCompositor* WaylandKeyboardTest::compositor = nullptr;

TEST_F(WaylandKeyboardTest, AChordIsStrummedAtTheSetInterval)
{
    AChordIsStrummedAtTheSetInterval(*this);
}

TEST_F(WaylandKeyboardTest, SpaceCutsAnEffect)
{
    SpaceCutsAnEffect(*this);
}

// The toolkit repeats a held key itself, at the compositor's rate.
TEST_F(WaylandKeyboardTest, AHeldKeyStrikesOnceAndATapAgainStrikesAgain)
{
    HeldKeysStrikeOnceAndTapsStrikeAgain(*this);
}

// Each layout comes to the program as a new keymap.
TEST_F(WaylandKeyboardTest, EveryLayoutPlaysTheCKeyAndItsSharpKey)
{
    EveryLayoutPlaysTheCKeyAndItsSharpKey(*this);
}

// Shift and the sharp key go down while another workspace has the keyboard
// and are still held when the window gets it back: the compositor tells the
// window which keys are down, and the next letter plays C sharp minor.
TEST_F(WaylandKeyboardTest, KeysHeldAcrossAFocusChangeCount)
{
    ASSERT_EQ(compositor->Command("workspace 2"), 0);
    ASSERT_TRUE(Until([&] { return compositor->FocusedAppId().empty(); }));
    const std::string held = program.PathOf("held"), back = program.PathOf("back");
    X11Process typing(Typing({"keydown", "shift", "keydown", "equal", "signal", held, "await", back, "key", "c",
                              "keyup", "equal", "keyup", "shift"}));
    ASSERT_TRUE(Until([&] { return program.Exists("held"); }));
    ASSERT_EQ(compositor->Command("workspace 1"), 0);
    ASSERT_TRUE(Focused());
    program.Write("back", "");
    EXPECT_EQ(typing.Wait(listening::HearLimit), std::optional<int>(0));
    EXPECT_EQ(SoundedAfterAll(6), ChordIds(61, Minor));
}

}  // namespace
