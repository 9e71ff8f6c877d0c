// The whole program, played as a player would: keys arrive at the dialog's
// window, and what the program played is read back from the mixed output.
// Every case runs a fresh copy of the program (the audio device and the
// start-up run once per process) on the test bank, whose samples each sound
// at a level of their own.
//
// Every sound lands on its own frame: the strings of a stroke lie exactly
// one interval apart in the output, to the millisecond. The disk driver runs
// at about the pace of a sound card (see PlayerRun).
// Scripts wait for events, never for a time that a loaded machine might
// overrun: "settle" until the strings have sounded and are written out,
// "hold-timers" to act while strings are still due.

#include "platform/Cp932Literal.h"
#include "stroke/ChordShapes.h"
#include "tests/e2e/BusyCore.h"
#include "tests/e2e/PlayerRun.h"
#include "tests/e2e/TestBank.h"
#include "tests/support/ChordIds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

using Script = std::vector<std::string>;
using Ids = std::vector<int>;

Ids operator+(Ids a, const Ids& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// C major on this guitar: all six strings, notes 40 48 52 55 60 64.
const Ids CMajor = {0, 8, 12, 15, 20, 24};

long FramesOf(int ms)
{
    return static_cast<long>(ms) * TestBank::Rate / 1000;
}
constexpr long OneMillisecond = TestBank::Rate / 1000;

// Only guitar notes (ids 0 to 30).
std::vector<Onset> Notes(const std::vector<Onset>& onsets)
{
    std::vector<Onset> notes;
    for (const Onset& onset : onsets)
        if (onset.id >= 0 && onset.id <= 30)
            notes.push_back(onset);
    return notes;
}

// Onsets first to last lie ms apart, to the millisecond unless told otherwise.
void ExpectSpacing(const std::vector<Onset>& onsets, std::size_t first, std::size_t last, int ms,
                   long tolerance = OneMillisecond)
{
    for (std::size_t i = first + 1; i <= last && i < onsets.size(); ++i)
        EXPECT_NEAR(onsets[i].frame - onsets[i - 1].frame, FramesOf(ms), tolerance) << "onset " << i;
}

// The first frame at or after from whose level is level; -1 when none.
long FirstFrameAt(const MixedOutput& output, long from, int level)
{
    for (long frame = std::max(from, 0L); frame < output.Frames(); ++frame)
        if (output.Level(frame) == level)
            return frame;
    return -1;
}

// Runs the script with these settings; the program must have ended normally.
void Play(PlayerRun& run, const Script& script, const std::vector<std::string>& settings = {})
{
    if (!settings.empty())
        run.WriteSettings(SettingsText(settings));
    ProcessResult result = run.Play(script);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(run.Lines("exit "), (std::vector<std::string>{"0"})) << result.out;
    EXPECT_EQ(run.Lines("error"), std::vector<std::string>{}) << result.out;
}

// ---- Strokes --------------------------------------------------------------

// Twenty thousand keys struck as fast as they come, letters with every
// modifier, sharps and flats, digits and space, in a fixed random order, the
// last of each thousand left to sound whole: the program reports nothing and
// its memory stays flat once warmed up (in the sanitizer build too, whose
// quarantine of freed memory, growing by design, is switched off here).
TEST(Soak, TwentyThousandRandomKeysLeaveNoErrorAndNoGrowth)
{
    const char* const letters[] = {"a", "b", "c", "d", "e", "f", "g"};
    const char* const modifiers[] = {"shift", "ctrl", "alt", "tab", "equal", "minus"};
    const char* const others[] = {"1", "5", "0", "kp5", "space"};
    std::mt19937 random(2026);
    Script script;
    for (int key = 0; key < 20000; ++key) {
        if (key % 1000 == 999)
            script.push_back("settle");  // the last stroke heard whole
        if (key == 2000 || key == 19999)
            script.push_back("memory");
        if (random() % 4 == 0) {
            script.push_back(std::string("tap ") + others[random() % 5]);
            continue;
        }
        std::vector<const char*> held;
        for (const char* modifier : modifiers)
            if (random() % 5 == 0)
                held.push_back(modifier);
        for (const char* modifier : held)
            script.push_back(std::string("press ") + modifier);
        script.push_back(std::string("tap ") + letters[random() % 7]);
        for (const char* modifier : held)
            script.push_back(std::string("release ") + modifier);
    }
    script.insert(script.end(), {"settle", "close"});
    PlayerRun run;
    run.SetEnvironment("ASAN_OPTIONS=detect_leaks=0:quarantine_size_mb=0:thread_local_quarantine_size_kb=0");
    Play(run, script, {"Interval=2"});
    EXPECT_EQ(run.Lines("messagebox"), std::vector<std::string>{});
    const std::vector<std::string> memory = run.Lines("memory ");
    ASSERT_EQ(memory.size(), 2u);
    EXPECT_LE(std::stol(memory[1]) - std::stol(memory[0]), 2048) << "kB grown after warm-up";
    EXPECT_GT(run.Output().Steps().size(), 20u * 6) << "the keys were not heard";
}

TEST(Strum, APlainChordSoundsItsStringsLowestFirstOneIntervalApart)
{
    PlayerRun run;
    Play(run, {"mark before", "tap c", "settle", "close"}, {"Interval=150"});
    const auto onsets = run.Output().Onsets(128);
    ASSERT_EQ(IdsOf(onsets), CMajor);
    EXPECT_GE(onsets[0].frame, run.Mark("before"));
    ExpectSpacing(onsets, 0, 5, 150);
}

// What is heard between the strings is the interval, whatever it is next to
// the mixer's buffer (46 ms by default, or as the settings file sets it), and
// while another program keeps a core busy; at 0 every string starts on the
// same frame.
TEST(Strum, TheStringsSoundExactlyOneIntervalApartAtEverySpeed)
{
    const struct {
        int interval;
        int buffer;
        bool busy = false;
    } cases[] = {{0, 1024},   {1, 1024}, {10, 1024}, {25, 1024}, {40, 1024},       {60, 1024},
                 {150, 1024}, {25, 256}, {10, 128},  {60, 4096}, {10, 1024, true}, {40, 512, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.interval) + " ms, buffer " + std::to_string(c.buffer) +
                     (c.busy ? ", a core busy" : ""));
        PlayerRun run;
        run.PaceDiskFor(c.buffer);
        {
            std::optional<BusyCore> busy;
            if (c.busy)
                busy.emplace();
            Play(run, {"tap c", "settle", "close"},
                 {"Interval=" + std::to_string(c.interval), "AudioBufferFrames=" + std::to_string(c.buffer)});
        }
        EXPECT_EQ(SettingOf(run.Settings(), "AudioBufferFrames"), std::to_string(c.buffer));
        const MixedOutput output = run.Output();
        if (c.interval == 0) {
            int chord = 0;
            for (const int id : CMajor)
                chord += TestBank::LevelOf(id);
            const std::vector<Step> steps = output.Steps();
            ASSERT_FALSE(steps.empty());
            EXPECT_EQ(steps[0].delta, chord) << "the strings did not start on one frame";
            continue;
        }
        const auto onsets = output.Onsets(128);
        ASSERT_EQ(IdsOf(onsets), CMajor);
        ExpectSpacing(onsets, 0, 5, c.interval);
    }
}

// Timers held far past their strings' times (as on a machine that stalls):
// the late strings do not bunch up on one mix, they keep their spacing from
// the first late one on.
TEST(Strum, StringsThatComeLateKeepTheirSpacing)
{
    PlayerRun run;
    Play(run, {"hold-timers", "tap c", "settle 5", "release-timers", "settle", "close"}, {"Interval=25"});
    const auto onsets = run.Output().Onsets(128);
    ASSERT_EQ(IdsOf(onsets), CMajor);
    EXPECT_GT(onsets[1].frame - onsets[0].frame, FramesOf(100)) << "the timers were not held";
    ExpectSpacing(onsets, 1, 5, 25);
}

// Strings further apart than the output's lead, whose timers and mixes were
// held together past their times (a machine that stalls, after which the
// clock starts its line again): each still sounds after the one before it.
TEST(Strum, StringsFurtherApartThanTheLeadKeepTheirOrderAfterAStall)
{
    PlayerRun run;
    Play(run, {"tap c", "wait 520", "hold-timers", "starve 400", "release-timers", "settle", "close"},
         {"Interval=150"});
    const auto onsets = run.Output().Onsets(128);
    ASSERT_EQ(IdsOf(onsets), CMajor);
    for (std::size_t i = 1; i < onsets.size(); ++i)
        EXPECT_GT(onsets[i].frame, onsets[i - 1].frame) << "string " << i;
}

// A stroke cuts what sounds on the very frame where its first string starts:
// neither a gap of silence nor the two together.
TEST(Strum, ANewStrokeCutsTheOldSoundOnItsFirstStringsFrame)
{
    PlayerRun run;
    Play(run, {"tap 1", "settle", "tap c", "settle", "close"}, {"Interval=150"});
    const std::vector<Step> steps = run.Output().Steps();
    ASSERT_GE(steps.size(), 2u);
    EXPECT_EQ(steps[0].delta, TestBank::LevelOf(31));
    EXPECT_EQ(steps[1].delta, TestBank::LevelOf(0) - TestBank::LevelOf(31));
}

TEST(Strum, TheModifiersChooseEveryChordKind)
{
    struct Case {
        Script keys;  // held while D goes down, in this order
        ChordKind kind;
    } cases[] = {
        {{}, Major},
        {{"shift"}, Minor},
        {{"ctrl"}, Seventh},
        {{"ctrl", "alt"}, MajorSeventh},
        {{"shift", "ctrl"}, MinorSeventh},
        {{"rshift", "rctrl", "alt"}, MinorMajorSeventh},
        {{"tab"}, DiminishedSeventh},
        {{"tab", "shift", "ctrl"}, DiminishedSeventh},
        {{"shift", "alt"}, Minor},  // Alt counts only with Ctrl
    };
    Script script;
    Ids expected;
    for (const Case& c : cases) {
        for (const std::string& key : c.keys)
            script.push_back("press " + key);
        script.push_back("tap d");
        for (auto key = c.keys.rbegin(); key != c.keys.rend(); ++key)
            script.push_back("release " + *key);
        script.push_back("settle");
        expected = expected + ChordIds(62, c.kind);
    }
    script.push_back("close");
    PlayerRun run;
    Play(run, script, {"Interval=100"});
    EXPECT_EQ(IdsOf(run.Output().Onsets(128)), expected);
}

TEST(Strum, SharpAndFlatKeysMoveTheRootBySemitones)
{
    const Ids openStrings = {0, 5, 10, 15, 19, 24};  // roots outside the table
    struct Case {
        Script held;
        const char* letter;
        Ids ids;
    } cases[] = {
        {{"equal"}, "c", ChordIds(61, Major)},
        {{"minus"}, "e", ChordIds(63, Major)},
        {{"kpadd"}, "g", ChordIds(68, Major)},
        {{"kpsubtract"}, "a", ChordIds(68, Major)},
        {{"apostrophe"}, "e", ChordIds(65, Major)},  // E sharp is the F chord
        {{"semicolon"}, "f", ChordIds(64, Major)},   // F flat is the E chord
        {{"minus"}, "c", openStrings},               // 59
        {{"equal"}, "b", openStrings},               // 72
        {{"equal", "minus"}, "d", ChordIds(62, Major)},
    };
    Script script = {"tap kpadd", "tap minus", "settle"};  // alone: nothing
    Ids expected;
    for (const Case& c : cases) {
        for (const std::string& key : c.held)
            script.push_back("press " + key);
        script.push_back(std::string("tap ") + c.letter);
        for (const std::string& key : c.held)
            script.push_back("release " + key);
        script.push_back("settle");
        expected = expected + c.ids;
    }
    script.push_back("close");
    PlayerRun run;
    Play(run, script, {"Interval=100"});
    EXPECT_EQ(IdsOf(run.Output().Onsets(128)), expected);
}

TEST(Strum, AnAutoRepeatedLetterPlaysOneStroke)
{
    PlayerRun run;
    Play(run, {"press c", "wait 60", "repeat c", "wait 60", "repeat c", "repeat c", "release c", "settle", "close"},
         {"Interval=120"});
    const auto onsets = run.Output().Onsets(128);
    EXPECT_EQ(IdsOf(onsets), CMajor);
    ExpectSpacing(onsets, 0, 5, 120);
}

// ---- Modifier keys and the dialog ------------------------------------------

TEST(Keys, AltLetterPlaysItsChordAndLeavesNoMenuActive)
{
    PlayerRun run;
    Play(run, {"press alt", "tap a", "release alt", "menu", "settle", "tap 1", "settle", "menu", "close"},
         {"Interval=100"});
    EXPECT_EQ(run.Lines("menu "), (std::vector<std::string>{"0", "0"}));
    // Alt alone leaves the chord major; the next key is not taken by a menu.
    EXPECT_EQ(IdsOf(run.Output().Onsets(128)), ChordIds(69, Major) + Ids{31});
}

TEST(Keys, TabMovesBetweenTheSlidersAndSelectsTheDiminishedSeventh)
{
    PlayerRun run;
    Play(run, {"focus", "press tab", "focus", "tap a", "release tab", "settle", "tap tab", "focus", "close"},
         {"Interval=100"});
    EXPECT_EQ(run.Lines("focus "), (std::vector<std::string>{"strength", "speed", "strength"}));
    EXPECT_EQ(IdsOf(run.Output().Onsets(128)), ChordIds(69, DiminishedSeventh));
}

TEST(Keys, EscapeAndEnterLeaveTheDialogOpen)
{
    PlayerRun run;
    Play(run, {"tap escape", "tap return", "open", "tap 1", "settle", "close"});
    EXPECT_EQ(run.Lines("open "), (std::vector<std::string>{"1"}));
    EXPECT_EQ(IdsOf(run.Output().Onsets(128)), (Ids{31}));
}

// ---- Effects and space --------------------------------------------------------

TEST(Effects, DigitsOfBothKeyboardsPlayTheirEffects)
{
    PlayerRun run;
    Play(run,
         {"tap 1", "settle", "tap 9", "settle", "tap 0", "settle", "tap kp5", "settle", "tap kp0", "settle", "close"});
    EXPECT_EQ(IdsOf(run.Output().Onsets(128)), (Ids{31, 39, 40, 35, 40}));
}

TEST(Effects, ADigitSoundsOverAStrokeAndCancelsNothing)
{
    PlayerRun run;
    // The effect comes while five strings are still due (the first one is
    // written out by then: the interval must be longer than that).
    Play(run, {"hold-timers", "tap c", "settle 5", "tap 5", "release-timers", "settle 0 44100", "close"},
         {"Interval=500"});
    const MixedOutput output = run.Output();
    const auto onsets = output.Onsets(128);
    const auto notes = Notes(onsets);
    EXPECT_EQ(IdsOf(notes), CMajor);
    ExpectSpacing(notes, 0, 5, 500);
    const auto effect = std::find_if(onsets.begin(), onsets.end(), [](const Onset& o) { return o.id == 35; });
    ASSERT_NE(effect, onsets.end());
    EXPECT_EQ(std::count_if(onsets.begin(), onsets.end(), [](const Onset& o) { return o.id == 35; }), 1);
    EXPECT_GT(effect->frame, notes.front().frame);
    // The effect plays to its end: its level leaves exactly its length later.
    const long end = effect->frame + TestBank::EffectFrames;
    ASSERT_LT(end, output.Frames());
    bool endsThere = false;
    for (const Step& step : output.Steps())
        endsThere |= step.frame == end && step.delta == -TestBank::LevelOf(35);
    EXPECT_TRUE(endsThere);
}

TEST(Effects, SpaceDropsThePendingStringsAndCutsEverySound)
{
    PlayerRun run;
    // The space comes while five strings are due; settling would hear them
    // if they still were.
    Play(run,
         {"tap space", "hold-timers", "tap c", "settle 5", "tap 5", "settle 5", "tap space", "release-timers", "settle",
          "close"},
         {"Interval=1000"});
    const MixedOutput output = run.Output();
    const auto onsets = output.Onsets(128);
    ASSERT_EQ(IdsOf(onsets), (Ids{0, 35}));
    // Silence comes before the effect would have ended, and stays.
    const long silent = FirstFrameAt(output, onsets[1].frame, 0);
    ASSERT_GE(silent, 0);
    EXPECT_LT(silent, onsets[1].frame + TestBank::EffectFrames);
    EXPECT_EQ(output.Level(output.Frames() - 1), 0);
}

// ---- Sliders -------------------------------------------------------------------

TEST(Sliders, TheStrengthSliderMovedByKeysChangesTheLevelAtOnce)
{
    PlayerRun run;
    // The strength changes while five strings are due.
    Play(run,
         {"hold-timers", "tap c", "settle 5", "tap 5", "settle 5", "tap pageup", "tap pageup", "sliders",
          "release-timers", "settle", "close"},
         {"Interval=1000"});
    const auto sliders = run.Lines("sliders ");
    ASSERT_EQ(sliders.size(), 1u);
    const int volume = std::stoi(sliders[0]);
    EXPECT_LT(volume, 128);
    EXPECT_GT(volume, 0);
    const MixedOutput output = run.Output();
    // Two rises at full strength, then the strings after the change.
    const std::vector<Step> steps = output.Steps();
    std::vector<Step> rises;
    for (const Step& step : steps)
        if (step.delta > 0)
            rises.push_back(step);
    ASSERT_EQ(rises.size(), 7u);
    EXPECT_EQ(rises[0].delta, TestBank::LevelOf(0));
    EXPECT_EQ(rises[1].delta, TestBank::LevelOf(35));
    const int laterStrings[] = {8, 12, 15, 20, 24};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(rises[i + 2].delta, TestBank::LevelAt(laterStrings[i], volume)) << i;
    // The sounding effect itself turned softer, before its end.
    const long softer = FirstFrameAt(output, rises[1].frame, TestBank::LevelAt(35, volume));
    ASSERT_GE(softer, 0);
    EXPECT_LT(softer, rises[1].frame + TestBank::EffectFrames);
    EXPECT_EQ(SettingOf(run.Settings(), "Velocity"), std::to_string(volume));
}

TEST(Sliders, TheSpeedSliderMovedByKeysSetsTheNextStrokesSpacing)
{
    PlayerRun run;
    Play(run,
         {"tap c", "settle", "tap tab", "mark arrows", "tap end", "tap left", "tap left", "settle", "sliders",
          "mark moved", "tap c", "settle", "close"},
         {"Interval=100", "MaxInterval=750"});
    EXPECT_EQ(run.Lines("sliders "), (std::vector<std::string>{"128 748 128 750"}));
    const auto onsets = run.Output().Onsets(128);
    ASSERT_EQ(IdsOf(onsets), CMajor + CMajor);
    ExpectSpacing(onsets, 0, 5, 100);
    ExpectSpacing(onsets, 6, 7, 748);
    // The arrow keys moved the slider and played nothing.
    EXPECT_LT(onsets[5].frame, run.Mark("arrows"));
    EXPECT_GE(onsets[6].frame, run.Mark("moved"));
    EXPECT_EQ(SettingOf(run.Settings(), "Interval"), "748");
}

// ---- Settings ------------------------------------------------------------------

TEST(Settings, AFirstRunWritesAllNineKeysAtExit)
{
    PlayerRun run;
    Play(run, {"sliders", "tap 2", "settle", "close"});
    EXPECT_EQ(run.Lines("sliders "), (std::vector<std::string>{"128 25 128 750"}));
    EXPECT_EQ(IdsOf(run.Output().Onsets(128)), (Ids{32}));
    const std::string written = run.Settings();
    const std::pair<const char*, const char*> keys[] = {
        {"Velocity", "128"},
        {"Interval", "25"},
        {"ManualAIntervalRate", "1024"},
        {"ManualBIntervalRate", "512"},
        {"TimeoutInterval", "750"},
        {"MaxInterval", "750"},
        {"MaxManualAIntervalRate", "2048"},
        {"MaxManualBIntervalRate", "2048"},
        {"StrokeIntervalMode", "0"},
    };
    EXPECT_EQ(written.rfind("[Setting]", 0), 0u) << written;
    for (const auto& [key, value] : keys)
        EXPECT_EQ(SettingOf(written, key), value) << key;
    EXPECT_EQ(written.find("AudioBufferFrames"), std::string::npos) << "written though it was not in the file";
}

TEST(Settings, AnIntervalAboveTheSliderRangePlaysUntilTheSliderIsTouched)
{
    PlayerRun run;
    // Until the second string has sounded: four are still due.
    Play(run, {"sliders", "stamp", "mark before", "tap c", "settle 4", "stamp", "mark after", "close"},
         {"Interval=5000", "MaxInterval=750"});
    EXPECT_EQ(run.Lines("sliders "), (std::vector<std::string>{"128 750 128 750"}));
    const auto onsets = run.Output().Onsets(128);
    ASSERT_GE(onsets.size(), 2u);
    EXPECT_EQ(onsets[0].id, 0);
    EXPECT_EQ(onsets[1].id, 8);
    // Five seconds apart: on the nominal rate while the anchor holds, else on
    // the disk driver's own pace, which is not a sound card's (whole
    // milliseconds a buffer, and later still on a loaded machine), as the
    // frames it wrote over the run's time show.
    const auto stamps = run.Lines("stamp ");
    ASSERT_EQ(stamps.size(), 2u);
    const double seconds = (std::stod(stamps[1]) - std::stod(stamps[0])) / 1e9;
    const double paced = 5.0 * static_cast<double>(run.Mark("after") - run.Mark("before")) / seconds;
    const double nominal = static_cast<double>(FramesOf(5000));
    const double gap = static_cast<double>(onsets[1].frame - onsets[0].frame);
    EXPECT_GE(gap, std::min(paced, nominal) - FramesOf(50)) << "paced " << paced;
    EXPECT_LE(gap, std::max(paced, nominal) + FramesOf(50)) << "paced " << paced;
    const std::string written = run.Settings();
    EXPECT_EQ(SettingOf(written, "Interval"), "750");
    EXPECT_EQ(SettingOf(written, "MaxInterval"), "750");
}

TEST(Settings, AStrengthAbove128PlaysAtFullVolumeAndIsWrittenAs128)
{
    PlayerRun run;
    Play(run, {"sliders", "tap 3", "settle", "close"}, {"Velocity=200"});
    EXPECT_EQ(run.Lines("sliders "), (std::vector<std::string>{"128 25 128 750"}));
    EXPECT_EQ(IdsOf(run.Output().Onsets(128)), (Ids{33}));
    EXPECT_EQ(SettingOf(run.Settings(), "Velocity"), "128");
}

TEST(Settings, LetterKeysAreSilentWhileStrokeIntervalModeIsSet)
{
    PlayerRun run;
    Play(run, {"tap c", "settle", "tap 4", "settle", "close"}, {"StrokeIntervalMode=1"});
    EXPECT_EQ(IdsOf(run.Output().Onsets(128)), (Ids{34}));
    EXPECT_EQ(SettingOf(run.Settings(), "StrokeIntervalMode"), "0");
}

// ---- Start and end -------------------------------------------------------------

TEST(Lifecycle, ClosingCutsTheSoundsAndDropsThePendingStrings)
{
    PlayerRun run;
    // The second string is due long after the close, however slow the machine;
    // the first string and the effect are written out before it.
    Play(run, {"tap c", "settle 5", "tap 5", "settle 5", "close"}, {"MaxInterval=30000", "Interval=30000"});
    const MixedOutput output = run.Output();
    EXPECT_EQ(IdsOf(output.Onsets(128)), (Ids{0, 35}));
    EXPECT_EQ(output.Level(output.Frames() - 1), 0);
}

// The program's words in a language, as the cp932 bytes it shows them, and
// what asks for it: the locale, or the Language setting over it.
struct Words {
    const char* name;
    const char* locale;
    const char* setting;  // nullptr: none
    std::string ready, refusal, breakingUp;
};

std::ostream& operator<<(std::ostream& out, const Words& words)
{
    return out << words.name;
}

class Spoken : public testing::TestWithParam<Words> {
protected:
    // A run in the language, with these settings besides.
    void SetUp() override
    {
        run.SetEnvironment(GetParam().locale);
        if (GetParam().setting != nullptr)
            settings.push_back(GetParam().setting);
    }
    PlayerRun run;
    std::vector<std::string> settings;
};

// ﾚﾃﾞｨ, 二重起動はできません
const Words Japanese{"Japanese",
                     "LC_ALL=ja_JP.UTF-8",
                     nullptr,
                     "\xDA\xC3\xDE\xA8",
                     "\x93\xF1\x8F\x64\x8B\x4E\x93\xAE\x82\xCD\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1",
                     CP932("音切れ: 設定ファイルの AudioBufferFrames を 2048 に")};
const Words English{
    "English", "LC_ALL=en_US.UTF-8",           nullptr,
    "Ready",   "Strumkey is already running.", "Sound breaks up: set AudioBufferFrames=2048 in settings"};

// The words of one language asked for by the setting on a system of the other.
Words SetOver(Words words, const char* name, const char* locale, const char* setting)
{
    words.name = name;
    words.locale = locale;
    words.setting = setting;
    return words;
}

INSTANTIATE_TEST_SUITE_P(
    Languages, Spoken,
    testing::Values(Japanese, English,
                    SetOver(Japanese, "JapaneseSetOnAnEnglishSystem", "LC_ALL=en_US.UTF-8", "Language=1041"),
                    SetOver(English, "EnglishSetOnAJapaneseSystem", "LC_ALL=ja_JP.UTF-8", "Language=1033")),
    [](const testing::TestParamInfo<Words>& info) { return info.param.name; });

// The audio thread kept from mixing again and again, as on a machine too busy
// to run it: the program sees its mixes come late and, after the next key,
// says once in the status bar what to set; until then it says nothing.
TEST_P(Spoken, SoundThatBreaksOffAgainAndAgainIsNoticedInTheStatusBar)
{
    run.PaceDiskFor(1024);
    Script script = {"wait 3500", "tap c", "status"};  // the clock has settled
    for (int i = 0; i < 3; ++i)
        script.insert(script.end(), {"starve 150", "wait 400"});
    script.insert(script.end(), {"late", "tap c", "status", "tap space", "status", "close"});
    settings.push_back("AudioBufferFrames=1024");
    Play(run, script, settings);
    const Words& words = GetParam();
    EXPECT_EQ(run.Lines("status "), (std::vector<std::string>{words.ready, words.breakingUp, words.breakingUp}));
    ASSERT_EQ(run.Lines("late ").size(), 1u);
    EXPECT_GE(std::stoi(run.Lines("late ")[0]), 3);
}

TEST_P(Spoken, ASecondCopyOfTheSameFileIsRefusedAndTouchesNothing)
{
    settings.push_back("Interval=77");
    const std::string before = SettingsText(settings);
    run.WriteSettings(before);
    ChildProcess* first = run.Start({"mark ready", "status", "hold", "close"}, run.OutputFile());
    ASSERT_EQ(first->ReadLine().rfind("mark ready", 0), 0u);
    EXPECT_EQ(first->ReadLine(), "status " + GetParam().ready);

    const std::string secondOutput = run.Folder() + "/second.raw";
    ChildProcess* second = run.Start({"close"}, secondOutput);
    ProcessResult refused = second->Finish();
    EXPECT_EQ(refused.status, 0);
    EXPECT_EQ(refused.out, "messagebox Strumkey|" + GetParam().refusal + "\nexit 0\n");
    EXPECT_FALSE(std::filesystem::exists(secondOutput));  // no audio device
    EXPECT_EQ(run.Settings(), before);

    // Another file may run beside it.
    std::filesystem::copy_file(run.Executable(), run.Folder() + "/other");
    ChildProcess other({run.Folder() + "/other", run.Folder() + "/script2.txt"},
                       {"QT_QPA_PLATFORM=offscreen", "SDL_AUDIODRIVER=dummy"}, {"DISPLAY", "WAYLAND_DISPLAY"});
    EXPECT_EQ(other.Finish().out, "exit 0\n");

    ProcessResult firstResult = first->Finish();
    EXPECT_EQ(firstResult.status, 0) << firstResult.err;
    EXPECT_NE(run.Settings(), before);
    EXPECT_EQ(SettingOf(run.Settings(), "Interval"), "77");

    // Once the first has ended, the file starts again.
    ProcessResult again = run.Play({"close"});
    EXPECT_EQ(again.out, "exit 0\n");
}

}  // namespace
