#pragma once
// What a player does with a real keyboard, alike on every display server:
// the program runs on the test bank, three mixer buffers between two strings
// (no two strings start in one buffer and add up to a level of neither), and
// a Keyboard types at its window with the server's own tool.

#include "tests/e2e/Listening.h"
#include "tests/e2e/TestBank.h"
#include "tests/support/ChordIds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace keyboard_scenarios {

using Ids = std::vector<int>;

inline Ids operator+(Ids a, const Ids& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class Keyboard {
public:
    virtual ~Keyboard() = default;
    // One run of the typing tool with xdotool's commands (keydown, keyup,
    // key, sleep); its exit code.
    virtual int Type(const std::vector<std::string>& commands) = 0;
    // The layout list (as setxkbmap names it) and its active group from now on.
    virtual void UseLayout(const std::string& layouts, unsigned group) = 0;
    // The file the program's output is written to.
    virtual std::string AudioFile() const = 0;

    // Waits until count samples have been heard and then a second more; all
    // heard since the start.
    std::vector<Onset> HeardAfterAll(std::size_t count) const { return listening::HeardAfterAll(AudioFile(), count); }
    Ids SoundedAfterAll(std::size_t count) const { return IdsOf(HeardAfterAll(count)); }
};

// The interval between two strings that the keyboard tests set.
constexpr int IntervalMilliseconds = 150;

// C major, its strings from the lowest up, one interval apart to the frame.
inline void AChordIsStrummedAtTheSetInterval(Keyboard& keyboard)
{
    ASSERT_EQ(keyboard.Type({"key", "c"}), 0);
    const Ids cMajor = ChordIds(60, Major);
    const std::vector<Onset> onsets = keyboard.HeardAfterAll(cMajor.size());
    ASSERT_EQ(IdsOf(onsets), cMajor);
    constexpr double Interval = IntervalMilliseconds * TestBank::Rate / 1000.0;
    for (std::size_t i = 1; i < onsets.size(); ++i)
        EXPECT_NEAR(onsets[i].frame - onsets[i - 1].frame, Interval, TestBank::Rate / 1000.0) << "string " << i;
}

// An effect sounds until Space cuts it, well before its sample ends.
inline void SpaceCutsAnEffect(Keyboard& keyboard)
{
    ASSERT_EQ(keyboard.Type({"key", "1", "sleep", "0.5", "key", "space"}), 0);
    const std::vector<Onset> onsets = keyboard.HeardAfterAll(1);
    ASSERT_EQ(IdsOf(onsets), Ids{31});
    // Wait for all the effect would have played uncut, and a second more.
    constexpr std::size_t FrameBytes = 4;
    listening::Written(keyboard.AudioFile(), (onsets[0].frame + TestBank::EffectFrames + TestBank::Rate) * FrameBytes);
    const std::vector<Step> steps = MixedOutput(keyboard.AudioFile()).Steps();
    const auto fall = std::find_if(steps.begin(), steps.end(),
                                   [&](const Step& step) { return step.frame > onsets[0].frame && step.delta < 0; });
    ASSERT_NE(fall, steps.end()) << "the effect never ended";
    EXPECT_EQ(fall->delta, -TestBank::LevelOf(31)) << "the effect did not end at once";
    EXPECT_LT(fall->frame - onsets[0].frame, TestBank::EffectFrames) << "Space did not cut the effect";
}

// A held key repeats; only its first press may strike. A key released and
// pressed again strikes again, however quickly.
inline void HeldKeysStrikeOnceAndTapsStrikeAgain(Keyboard& keyboard)
{
    // Well past the repeat delay (660 ms on X, 600 ms on sway), at 25 a second.
    ASSERT_EQ(keyboard.Type({"keydown", "c", "sleep", "1.5", "keyup", "c"}), 0);
    const Ids cMajor = ChordIds(60, Major);
    EXPECT_EQ(keyboard.SoundedAfterAll(6), cMajor);
    ASSERT_EQ(keyboard.Type({"keydown", "1", "sleep", "1.5", "keyup", "1"}), 0);
    EXPECT_EQ(keyboard.SoundedAfterAll(7), cMajor + Ids{31});

    // Two strokes of D, the second one a tenth of a second after the first:
    // it cuts the first (which may have sounded a string) and plays whole.
    ASSERT_EQ(keyboard.Type({"key", "d", "sleep", "0.1", "key", "d"}), 0);
    const Ids dMajor = ChordIds(62, Major);
    const Ids heard = keyboard.SoundedAfterAll(7 + 1 + dMajor.size());
    ASSERT_GE(heard.size(), 7 + 1 + dMajor.size());
    EXPECT_EQ(Ids(heard.end() - static_cast<long>(dMajor.size()), heard.end()), dMajor);
    EXPECT_EQ(std::count(heard.begin() + 7, heard.end(), dMajor.front()), 2) << "two strikes";
}

// Each layout, switched while the program runs: the C key plays C major, and
// with the key that is sharp on that layout held, C sharp major. A letter key
// that carries no Latin letter counts as the letter of its place. A layout
// list counts by its active group.
inline void EveryLayoutPlaysTheCKeyAndItsSharpKey(Keyboard& keyboard)
{
    const struct {
        const char* name;
        const char* cKey;         // the keysym of the key in the C place
        const char* sharp;        // the keysym of the sharp key
        unsigned sharpGroup = 0;  // the group it is sharp in
    } layouts[] = {
        {"us", "c", "equal"},           {"de", "c", "dead_acute"},    {"fr", "c", "equal"},
        {"ru", "Cyrillic_es", "equal"}, {"gr", "Greek_psi", "equal"}, {"jp", "c", "semicolon"},
        {"us,jp", "c", "semicolon", 1}, {"us", "c", "equal"},
    };
    std::size_t before = 0;
    // What the last keys added to what was heard: a chord of six strings.
    const auto heardNext = [&] {
        const Ids heard = keyboard.SoundedAfterAll(before + 6);
        const Ids added(heard.begin() + static_cast<long>(std::min(before, heard.size())), heard.end());
        before = heard.size();
        return added;
    };
    for (const auto& layout : layouts) {
        SCOPED_TRACE(layout.name);
        keyboard.UseLayout(layout.name, 0);
        ASSERT_EQ(keyboard.Type({"key", layout.cKey}), 0);
        EXPECT_EQ(heardNext(), ChordIds(60, Major)) << "the C key";
        keyboard.UseLayout(layout.name, layout.sharpGroup);
        ASSERT_EQ(keyboard.Type({"keydown", layout.sharp, "key", layout.cKey, "keyup", layout.sharp}), 0);
        EXPECT_EQ(heardNext(), ChordIds(61, Major)) << "the C key with " << layout.sharp << " held";
    }
}

}  // namespace keyboard_scenarios
