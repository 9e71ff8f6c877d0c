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
            compositor_ = new WaylandCompositor(WAYLAND_KEYS);
    }
    static void TearDownTestSuite()
    {
        delete compositor_;
        compositor_ = nullptr;
    }

    void SetUp() override
    {
        if (!WaylandCompositor::Available())
            GTEST_SKIP() << "sway is not installed: no Wayland compositor to run on";
        ASSERT_TRUE(compositor_->Running()) << compositor_->Problem();
        ASSERT_TRUE(program_.Ready());
        program_.UseTestBank();
        program_.Write("strumkey.ini", "[Setting]\r\nInterval=150\r\n");
        run_ = program_.Start(compositor_->Environment(), Audio);
        ASSERT_TRUE(Focused()) << program_.Read(program_.Name() + ".log");
    }
    void TearDown() override
    {
        if (run_ == nullptr || !run_->Running())
            return;
        std::string kill = "[app_id=\"";
        kill.append(AppId).append("\"] kill");
        EXPECT_EQ(compositor_->Command(kill), 0);
        EXPECT_EQ(run_->Wait(listening::HearLimit), std::optional<int>(0)) << program_.Read(program_.Name() + ".log");
    }

    // Waits until the program's window has the keyboard. The window carries
    // the name of the program's desktop entry, by which the desktop finds its
    // icon.
    bool Focused()
    {
        return Until([&] { return compositor_->FocusedAppId() == AppId; });
    }
    static constexpr const char* AppId = "io.github.strumkey.Strumkey";

    // Each run is a keyboard of its own, with the layout in use: its first
    // key makes that keymap the seat's, as a switch of layouts does. A key
    // held in it is released at its end.
    X11Process::Options Typing(const std::vector<std::string>& commands) const
    {
        X11Process::Options options;
        options.args = {WAYLAND_KEYS, "layout", layouts_, "group", std::to_string(group_)};
        options.args.insert(options.args.end(), commands.begin(), commands.end());
        options.env = compositor_->Environment();
        return options;
    }
    int Type(const std::vector<std::string>& commands) override
    {
        return X11Process::Run(Typing(commands), nullptr, listening::HearLimit);
    }
    void UseLayout(const std::string& layouts, unsigned group) override
    {
        layouts_ = layouts;
        group_ = group;
    }
    Ids SoundedAfterAll(std::size_t count) override
    {
        return listening::SoundedAfterAll(program_.PathOf(Audio), count);
    }

    static constexpr const char* Audio = "keys.raw";
    static WaylandCompositor* compositor_;
    X11Program program_{STRUMKEY_EXE};
    std::unique_ptr<X11Process> run_;
    std::string layouts_ = "us";
    unsigned group_ = 0;
};

WaylandCompositor* WaylandKeyboardTest::compositor_ = nullptr;

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
    ASSERT_EQ(compositor_->Command("workspace 2"), 0);
    ASSERT_TRUE(Until([&] { return compositor_->FocusedAppId().empty(); }));
    const std::string held = program_.PathOf("held"), back = program_.PathOf("back");
    X11Process typing(Typing({"keydown", "shift", "keydown", "equal", "signal", held, "await", back, "key", "c",
                              "keyup", "equal", "keyup", "shift"}));
    ASSERT_TRUE(Until([&] { return program_.Exists("held"); }));
    ASSERT_EQ(compositor_->Command("workspace 1"), 0);
    ASSERT_TRUE(Focused());
    program_.Write("back", "");
    EXPECT_EQ(typing.Wait(listening::HearLimit), std::optional<int>(0));
    EXPECT_EQ(SoundedAfterAll(6), ChordIds(61, Minor));
}

}  // namespace
