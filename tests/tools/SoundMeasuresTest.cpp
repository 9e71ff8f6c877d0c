// The figures the bank maker trims and levels by, on sounds whose answer is
// known, and what the maker does with them.

#include "tools/NoteShaping.h"
#include "tools/Random.h"
#include "tools/SoundMeasures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>

namespace {

Signal Make(double seconds, const std::function<double(double t)>& wave)
{
    Signal s(SamplesFor(seconds));
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = wave(static_cast<double>(i) / SampleRate);
    return s;
}

double Sine(double t, double hz)
{
    return std::sin(2.0 * std::numbers::pi * hz * t);
}

// A plucked-like tone: 440 Hz, amplitude a, decaying by 60 dB every t60
// seconds, after `lead` seconds of silence.
Signal Pluck(double a, double t60, double lead = 0.0, double seconds = 5.0)
{
    return Make(seconds, [=](double t) {
        return t < lead ? 0.0 : a * std::pow(10.0, -3.0 * (t - lead) / t60) * Sine(t - lead, 440.0);
    });
}

struct Case {
    const char* what;
    std::function<double()> measured;
    double expected, tolerance;
};

class Measure : public testing::TestWithParam<Case> {};

TEST_P(Measure, GivesTheKnownAnswer)
{
    EXPECT_NEAR(GetParam().measured(), GetParam().expected, GetParam().tolerance);
}

INSTANTIATE_TEST_SUITE_P(
    KnownSounds, Measure,
    testing::Values(
        // Broadcast meters read a full-scale 1 kHz sine as -3.01 LUFS.
        Case{"loudness of a sine",
             [] { return LoudnessLufs(Make(2.0, [](double t) { return 0.1 * Sine(t, 1000.0); })); }, -23.01, 0.05},
        // The silent blocks after a sound are gated out; of the seven blocks
        // that hold some of it, three hold only part.
        Case{"loudness gated",
             [] { return LoudnessLufs(Make(2.0, [](double t) { return t < 0.7 ? 0.1 * Sine(t, 1000.0) : 0.0; })); },
             -24.06, 0.1},
        Case{"onset after silence", [] { return 1000.0 * OnsetSample(Pluck(0.5, 2.0, 0.020)) / SampleRate; }, 20.0,
             0.1},
        Case{"level at 1 s", [] { return LevelAt(Pluck(0.5, 3.0), 1.0); }, -20.0, 0.5},
        Case{"T60", [] { return LateT60(Pluck(0.5, 3.0)); }, 3.0, 0.05},
        Case{"brightness of a sine",
             [] { return BrightnessAt(Make(1.0, [](double t) { return Sine(t, 1500.0); }), 0.5); }, 1500.0, 60.0},
        Case{"high share of white noise",
             [] {
                 Random noise(7);
                 return AttackHighShare(Make(0.1, [&](double) { return noise.Next(); }), 4000.0);
             },
             (11025.0 - 4000.0) / 11025.0, 0.06},
        Case{"a cut end is heard", [] { return EdgeLevelsOf(Pluck(0.5, 10.0, 0.0, 1.0)).lastTenMilliseconds; }, -6.0,
             0.5}),
    [](const auto& info) {
        std::string name = info.param.what;
        for (char& c : name)
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

TEST(NoteShaping, StartsOnTheOnsetWithoutAClick)
{
    Signal note = Pluck(0.5, 2.0, 0.015);
    StartAtOnset(note);
    EXPECT_LE(1000.0 * OnsetSample(note) / SampleRate, LatestOnsetMilliseconds);
    EXPECT_LE(EdgeLevelsOf(note).firstSample, QuietestEdgeDb);
    EXPECT_NEAR(static_cast<double>(note.size()) / SampleRate, 5.0 - 0.015, 0.001);
}

// Rung out to 45 dB down, never shorter than the least or longer than the
// most, and always faded.
TEST(NoteShaping, RingsUntilItHasDiedAwayAndFades)
{
    const struct {
        double t60, seconds;
    } cases[] = {{4.0, 3.0}, {1.0, MinNoteSeconds}, {20.0, MaxNoteSeconds}};
    for (const auto& c : cases) {
        Signal note = Pluck(0.5, c.t60);
        RingThenFade(note);
        EXPECT_NEAR(static_cast<double>(note.size()) / SampleRate, c.seconds, 0.02) << c.t60;
        EXPECT_LE(EdgeLevelsOf(note).lastTenMilliseconds, QuietestEdgeDb) << c.t60;
    }
}

TEST(NoteShaping, LevelsTheNotesOntoAStraightLine)
{
    // Eight notes getting 0.2 dB softer each, with a 4 dB step in the middle
    // where one recording would hand over to the next.
    std::vector<Signal> notes;
    for (int i = 0; i < 8; ++i)
        notes.push_back(Pluck(0.3 * std::pow(10.0, (-0.2 * i + (i >= 4 ? 4.0 : 0.0)) / 20.0), 3.0, 0.0, 1.0));
    LevelByLoudness(notes);
    const double step = NoteLoudness(notes[1]) - NoteLoudness(notes[0]);
    EXPECT_LT(std::abs(step), 1.0);
    for (int i = 2; i < 8; ++i)
        EXPECT_NEAR(NoteLoudness(notes[i]) - NoteLoudness(notes[i - 1]), step, 0.05) << i;
}

}  // namespace
