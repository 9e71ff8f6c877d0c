// The stroke scheduler on the real mixer (SDL's dummy driver) and timers on a
// virtual clock: which notes a stroke starts, in what order, at what time,
// and how strokes, cancels and the ring of slots interact.

#include "stroke/StrokeScheduler.h"

#include "stroke/MidiNotes.h"

#include "sound/AudioDevice.h"
#include "sound/Placement.h"

#include "tests/stroke/StrokeTestSupport.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <algorithm>

using namespace StrokeTest;

namespace {

class StrokeSchedulerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Mivo::AudioDevice::IsOpen()) << SDL_GetError();
        Mix_Resume(-1);
        // A pause stamped with tick 0 reads back as "not paused".
        while (SDL_GetTicks() == 0)
            SDL_Delay(1);
        ResetNoteSlots();
        VirtualTimers::Reset();
        MixerLog::Clear();
    }
    void TearDown() override
    {
        CancelPendingNotes();
        // A timer that the ring lost track of would fire into a reused slot.
        EXPECT_EQ(VirtualTimers::Pending(), 0u);
        Mix_HaltChannel(-1);
        Mix_Resume(-1);
    }

    // Starts the stroke and returns the virtual time it began at.
    static std::int64_t Strum(int root, ChordKind kind, int interval)
    {
        const std::int64_t before = VirtualTimers::Now();
        StartStroke(root, kind, 100, interval);
        return before;
    }

    // When the trigger of a string due ms after its stroke fires: one buffer
    // ahead, so that a late timer thread is not heard, but never at once.
    static std::int64_t TriggerTime(int ms) { return std::max(ms - Mivo::Placement::EarlyStartMilliseconds(), 1); }

    static TestBank* bank;
    static void SetUpTestSuite() { bank = new TestBank(); }
    static void TearDownTestSuite()
    {
        delete bank;
        bank = nullptr;
    }
};

TestBank* StrokeSchedulerTest::bank = nullptr;

TEST_F(StrokeSchedulerTest, StrumsLowestStringFirstEachAtItsTime)
{
    struct Case {
        int root;
        ChordKind kind;
        std::vector<int> notes;  // MIDI notes, in the order they must start
    } cases[] = {
        // D major: string 6 muted, the fifth string sounds open.
        {62, Major, {45, 50, 57, 62, 66}},
        // C major sounds the open low E under the chord.
        {60, Major, {40, 48, 52, 55, 60, 64}},
        // Outside the table: six open strings.
        {59, Major, {40, 45, 50, 55, 59, 64}},
        {72, Minor, {40, 45, 50, 55, 59, 64}},
        // A diminished seventh plays strings 1 to 5 only.
        {69, DiminishedSeventh, {45, 51, 57, 60, 66}},
        // Strings 5 and 6 muted: the stroke starts on string 4.
        {60, DiminishedSeventh, {51, 57, 60, 66}},
    };
    constexpr int interval = 20;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.root);
        MixerLog::Clear();
        const std::int64_t before = Strum(c.root, c.kind, interval);
        // The lowest string is played inside the call, without a timer.
        ASSERT_EQ(MixerLog::Starts().size(), 1u);
        EXPECT_EQ(VirtualTimers::Pending(), c.notes.size() - 1);
        VirtualTimers::RunUntilIdle();
        const std::vector<Start> starts = MixerLog::Starts();
        ASSERT_EQ(starts.size(), c.notes.size());
        for (std::size_t k = 0; k < starts.size(); ++k) {
            EXPECT_EQ(starts[k].id, c.notes[k] - 40) << "string " << k;
            EXPECT_EQ(starts[k].channelAsked, -1);
            EXPECT_GE(starts[k].channelPlaying, 0);
            // A muted string takes no time: the k-th sounding string is due
            // exactly k intervals after the first, and its trigger fires
            // one buffer before.
            const int ms = interval * static_cast<int>(k);
            EXPECT_EQ(starts[k].due - starts[0].due, std::int64_t{ms} * 1000000) << "string " << k;
            EXPECT_EQ(starts[k].at - before, k == 0 ? 0 : TriggerTime(ms)) << "string " << k;
        }
        EXPECT_TRUE(RingIdle());
    }
}

TEST_F(StrokeSchedulerTest, IntervalZeroPlaysEveryStringAtOnceWithoutTimers)
{
    Strum(60, Seventh, 0);
    EXPECT_EQ(MixerLog::StartedIds(), ChordIds(60, Seventh));
    EXPECT_TRUE(RingIdle());
    EXPECT_EQ(VirtualTimers::Pending(), 0u);
    EXPECT_EQ(Mix_Playing(-1), 6);
}

TEST_F(StrokeSchedulerTest, SecondStrokeCancelsTheFirstsPendingStringsAndHaltsItsSound)
{
    // The second stroke, D major, with its five strings at once or strummed
    // from timers of its own.
    for (int second : {0, 25}) {
        SCOPED_TRACE(second);
        Mix_HaltChannel(-1);
        MixerLog::Clear();
        Strum(64, Major, 30);  // E major: first string now, five more up to 150 ms
        ASSERT_EQ(MixerLog::Starts().size(), 1u);
        ASSERT_EQ(VirtualTimers::Pending(), 5u);
        EXPECT_EQ(Mix_Playing(-1), 1);

        Strum(62, Major, second);
        EXPECT_EQ(VirtualTimers::Pending(), second == 0 ? 0u : 4u);
        EXPECT_EQ(RingIdle(), second == 0);
        // The first stroke's string is cut where the new chord starts, not
        // left under it.
        EXPECT_EQ(UncutChannels(), second == 0 ? 5 : 1);

        VirtualTimers::RunUntilIdle();  // past every deadline of both strokes
        std::vector<int> expected = {40 - 40};
        for (int id : ChordIds(62, Major))
            expected.push_back(id);
        EXPECT_EQ(MixerLog::StartedIds(), expected);
        EXPECT_TRUE(RingIdle());
    }
}

TEST_F(StrokeSchedulerTest, CancelWithNothingPendingChangesNothing)
{
    TheNoteSlots.next = 7;
    CancelPendingNotes();
    EXPECT_EQ(TheNoteSlots.next, 7);
    EXPECT_TRUE(RingIdle());

    // Cancelled halfway: the strings played stay played, the rest never come.
    Strum(65, Major, 50);
    VirtualTimers::AdvanceBy(TriggerTime(50));
    ASSERT_EQ(MixerLog::Starts().size(), 2u);
    ASSERT_EQ(VirtualTimers::Pending(), 4u);
    const int next = TheNoteSlots.next;
    CancelPendingNotes();
    EXPECT_TRUE(RingIdle());
    EXPECT_EQ(VirtualTimers::Pending(), 0u);
    EXPECT_EQ(TheNoteSlots.next, next);  // the index stays
    VirtualTimers::AdvanceBy(400);
    EXPECT_EQ(MixerLog::Starts().size(), 2u);
}

TEST_F(StrokeSchedulerTest, RingWrapsAfterThirtyTwoNotes)
{
    // Six strokes of six open strings: 36 notes, so the index wraps to 4
    // and slots 0 to 3 hold the last four notes of the last stroke.
    for (int stroke = 0; stroke < 6; ++stroke)
        Strum(59, Major, 0);
    EXPECT_EQ(TheNoteSlots.next, 4);
    const int lastFour[] = {50, 55, 59, 64};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ((TheNoteSlots.slots[i].message >> 8) & 0xFF, static_cast<DWORD>(lastFour[i])) << i;

    // A timed stroke across the wrap: slots 30, 31, 0, 1, 2, 3.
    TheNoteSlots.next = 30;
    MixerLog::Clear();
    Strum(59, Major, 10);
    EXPECT_EQ(TheNoteSlots.next, 4);
    EXPECT_EQ(VirtualTimers::Pending(), 5u);
    VirtualTimers::RunUntilIdle();
    EXPECT_EQ(MixerLog::StartedIds(), ChordIds(59, Major));
}

TEST_F(StrokeSchedulerTest, ScheduleNotePacksTheMessageAndReportsItsTimer)
{
    EXPECT_EQ(ScheduleNote(0, 50, 128, 0), 0u);  // the strongest stroke: velocity 127
    EXPECT_EQ(TheNoteSlots.slots[0].message, 0x007F3290u);
    EXPECT_EQ(TheNoteSlots.slots[0].timerId.load(), 0u);

    const std::int64_t before = VirtualTimers::Now();
    const std::int64_t from = Mivo::Placement::Now();
    const UINT id = ScheduleNote(0, 52, 1, 40);
    const std::int64_t to = Mivo::Placement::Now();
    EXPECT_NE(id, 0u);
    EXPECT_EQ(TheNoteSlots.slots[1].message, 0x00013490u);
    EXPECT_EQ(TheNoteSlots.slots[1].timerId.load(), id);  // what a cancel kills
    VirtualTimers::RunUntilIdle();
    EXPECT_EQ(MixerLog::StartedIds(), (std::vector<int>{10, 12}));
    // Due 40 ms after the call's own now, its trigger one buffer before.
    const Start timed = MixerLog::Starts().at(1);
    EXPECT_GE(timed.due, from + std::int64_t{40} * 1000000);
    EXPECT_LE(timed.due, to + std::int64_t{40} * 1000000);
    EXPECT_EQ(timed.at - before, TriggerTime(40));
    EXPECT_TRUE(RingIdle());

    // A delay the timer refuses leaves the slot idle and the string silent.
    EXPECT_EQ(ScheduleNote(0, 55, 1, -5), 0u);
    EXPECT_TRUE(RingIdle());
    EXPECT_EQ(TheNoteSlots.next, 3);
}

// MIDI notes as a player meets them: note-ons on the strings' very times
// (not a buffer early, as the samples' triggers), and note-offs for exactly
// what sounds, before anything new starts.
TEST_F(StrokeSchedulerTest, MidiNotesFollowTheStringsAndEveryCutEndsThem)
{
    const auto on = [](int at, DWORD note, DWORD velocity = 127) {
        return MidiMessage{at, 0x90 | note << 8 | velocity << 16};
    };
    const auto off = [](int at, DWORD note) { return MidiMessage{at, 0x80 | note << 8 | 0x40 << 16}; };
    struct Case {
        const char* name;
        bool midiNotes;
        BYTE strength;
        int interval;
        int cutAfter;  // ms after the stroke; the cut is another stroke (D major at once) or else space
        bool cutByStroke;
        std::vector<MidiMessage> expected;  // times from the stroke
    } cases[] = {
        {"off", false, 128, 20, 200, true, {}},
        {"C major, then D major",
         true,
         128,
         20,
         200,
         true,
         {on(0, 40), on(20, 48), on(40, 52), on(60, 55), on(80, 60), on(100, 64), off(200, 40), off(200, 48),
          off(200, 52), off(200, 55), off(200, 60), off(200, 64), on(200, 45), on(200, 50), on(200, 57), on(200, 62),
          on(200, 66)}},
        {"space halfway", true, 0, 50, 60, false, {on(0, 40, 1), on(50, 48, 1), off(60, 40), off(60, 48)}},
        {"softer",
         true,
         64,
         0,
         10,
         false,
         {on(0, 40, 64), on(0, 48, 64), on(0, 52, 64), on(0, 55, 64), on(0, 60, 64), on(0, 64, 64), off(10, 40),
          off(10, 48), off(10, 52), off(10, 55), off(10, 60), off(10, 64)}},
    };
    int device = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SendMidiNotesTo(c.midiNotes ? reinterpret_cast<HMIDIOUT>(&device) : nullptr);
        MidiLog::Clear();
        const std::int64_t from = VirtualTimers::Now();
        StartStroke(60, Major, c.strength, c.interval);
        // The samples' triggers and, with MIDI notes, one more per timed string.
        EXPECT_EQ(VirtualTimers::Pending(), (c.interval == 0 ? 0u : 5u) * (c.midiNotes ? 2 : 1));
        VirtualTimers::AdvanceBy(c.cutAfter);
        CancelPendingNotes();
        if (c.cutByStroke)
            StartStroke(62, Major, c.strength, 0);
        else
            StopAllSounds();
        VirtualTimers::RunUntilIdle();
        std::vector<MidiMessage> sent = MidiLog::Messages();
        for (MidiMessage& message : sent)
            message.at -= from;
        EXPECT_EQ(sent, c.expected);
        StopAllSounds();
    }
    SendMidiNotesTo(nullptr);

    EXPECT_EQ(MidiVelocity(0), 1);
    EXPECT_EQ(MidiVelocity(127), 126);
    EXPECT_EQ(MidiVelocity(200), 127) << "a strength above the slider's range is the strongest";
}

TEST_F(StrokeSchedulerTest, TriggerThatRunsBeforeItsIdIsStoredLeavesTheSlotIdle)
{
    TheNoteSlots.next = 5;
    VirtualTimers::FireNextOnArm();
    const UINT id = ScheduleNote(0, 52, 100, 1);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(MixerLog::StartedIds(), std::vector<int>{52 - 40});
    EXPECT_EQ(TheNoteSlots.slots[5].timerId.load(), 0u) << "the slot kept its spent timer's id";
    EXPECT_TRUE(RingIdle());
}

TEST_F(StrokeSchedulerTest, HugeOrNegativeIntervalsNeverCrash)
{
    // Only the first string sounds; the others' delays are out of range.
    for (int interval : {-25, 0x7FFFFFFF}) {
        MixerLog::Clear();
        Strum(62, Major, interval);
        EXPECT_EQ(MixerLog::StartedIds(), std::vector<int>{45 - 40}) << interval;
        EXPECT_TRUE(RingIdle()) << interval;
    }
    // The running delay wraps like a 32-bit register: every other string of
    // this one comes round to 0 and plays at once, the rest are refused.
    MixerLog::Clear();
    Strum(62, Major, -0x7FFFFFFF - 1);
    EXPECT_EQ(MixerLog::StartedIds(), (std::vector<int>{45 - 40, 57 - 40, 66 - 40}));
    EXPECT_TRUE(RingIdle());
}

TEST_F(StrokeSchedulerTest, MissingIdentifierIsSkippedOtherStringsSound)
{
    TestBank lacking({50 - 40, 57 - 40});  // D major's strings 4 (50) and 3 (57)
    Strum(62, Major, 5);
    VirtualTimers::RunUntilIdle();
    EXPECT_EQ(MixerLog::StartedIds(), (std::vector<int>{45 - 40, 62 - 40, 66 - 40}));

    // An entry whose sample is not loaded is just as silent.
    MixerLog::Clear();
    lacking.Table().Unload(45 - 40);
    Strum(62, Major, 0);
    EXPECT_EQ(MixerLog::StartedIds(), (std::vector<int>{62 - 40, 66 - 40}));
}

TEST_F(StrokeSchedulerTest, TriggerTakesChannelZeroWhenEveryChannelIsBusy)
{
    // Fill every channel with effects and freeze them, then let a trigger
    // come.
    const int channels = Mix_AllocateChannels(-1);
    for (int i = 0; i < channels; ++i)
        ASSERT_GE((*bank->Table().Find(31 + i % 10))->Play(0, -1), 0);
    Mix_Pause(-1);
    ASSERT_EQ(Mix_Playing(-1), channels);
    ASSERT_NE(ScheduleNote(0, 47, 100, 5), 0u);

    const std::size_t first = static_cast<std::size_t>(channels);
    VirtualTimers::RunUntilIdle();
    const std::vector<Start> starts = MixerLog::Starts();
    ASSERT_EQ(starts.size(), first + 2);
    // The trigger asked for any channel, found none, and took channel 0.
    EXPECT_EQ(starts[first].id, 47 - 40);
    EXPECT_EQ(starts[first].channelAsked, -1);
    EXPECT_EQ(starts[first].channelPlaying, -1);
    EXPECT_EQ(starts[first + 1].id, 47 - 40);
    EXPECT_EQ(starts[first + 1].channelAsked, 0);
    EXPECT_EQ(starts[first + 1].channelPlaying, 0);
    // Channel 0 plays the note: its sample and some of the silence before it.
    ASSERT_NE(Mix_GetChunk(0), nullptr);
    EXPECT_GE(Mix_GetChunk(0)->alen, (22050u + 47 - 40) * 4);
    EXPECT_LE(Mix_GetChunk(0)->alen, (22050u + 47 - 40 + Mivo::Placement::LeadFrames()) * 4);
}

TEST_F(StrokeSchedulerTest, NoSoundTableMeansSilentTriggers)
{
    SoundTable* saved = TheSoundTable;
    TheSoundTable = nullptr;
    Strum(64, Major, 5);
    EXPECT_FALSE(RingIdle());
    VirtualTimers::RunUntilIdle();
    EXPECT_TRUE(RingIdle());
    TheSoundTable = saved;
    EXPECT_TRUE(MixerLog::Starts().empty());
}

TEST_F(StrokeSchedulerTest, StopAllSoundsHaltsEveryChannel)
{
    Strum(60, Major, 0);
    ASSERT_EQ(Mix_Playing(-1), 6);
    MixerLog::Clear();
    StopAllSounds();
    EXPECT_EQ(UncutChannels(), 0);
    EXPECT_EQ(MixerLog::Halts(), 1);
}

}  // namespace
