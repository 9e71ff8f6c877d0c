#pragma once
// Helpers of the stroke and key tests: a log of every mixer start and halt
// (the calls are linked through --wrap, so the real mixer still runs), a
// sound bank whose samples tell their identifier by their length, and
// multimedia timers on a virtual clock that the test moves on itself.

#include "platform/Win32.h"
#include "sound/SoundTable.h"

#include "tests/support/ArchiveTestSupport.h"
#include "tests/support/ChordIds.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <set>
#include <vector>

namespace StrokeTest {

// One call of Mix_PlayChannelTimed.
struct Start {
    std::int64_t at;     // virtual time of the call (VirtualTimers::Now)
    std::int64_t due;    // the time it is placed at (QueryPerformanceCounter)
    int id;              // sound identifier of the sample, -1 when unknown
    int channelAsked;    // the channel argument
    int channelPlaying;  // what the mixer returned
};

// Every start and halt since the last Clear; safe from any thread.
class MixerLog {
public:
    static void Clear();
    static std::vector<Start> Starts();
    static std::vector<int> StartedIds();
    static int Halts();
};

// One MIDI message the program sent (midiOutShortMsg is linked through
// --wrap; on Windows its import pointer is defined here): none leaves.
struct MidiMessage {
    std::int64_t at;  // virtual time of the call
    DWORD message;
    bool operator==(const MidiMessage&) const = default;
};
std::ostream& operator<<(std::ostream& out, const MidiMessage& message);

// Every MIDI message since the last Clear; safe from any thread.
class MidiLog {
public:
    static void Clear();
    static std::vector<MidiMessage> Messages();
};

// The multimedia timers of every program that links these helpers
// (timeSetEvent and timeKillEvent are linked through --wrap): a queue on a
// virtual clock in milliseconds. Nothing fires by itself: AdvanceBy and
// RunUntilIdle run the callbacks that come due on the calling thread, one at
// a time, earliest first and equal times in the order they were armed, with
// Now at their deadline. timeSetEvent refuses what the timer thread refuses
// (no callback, a delay outside 1 to 1000000 ms, flags other than one-shot
// with a callback function); timeKillEvent answers as it does.
class VirtualTimers {
public:
    // Drops every pending timer and a pending FireNextOnArm; the clock keeps
    // its time.
    static void Reset();
    static std::int64_t Now();
    // Timers armed and neither fired nor killed.
    static std::size_t Pending();
    // Moves the clock on by ms, firing what comes due on the way, timers
    // armed by those callbacks included.
    static void AdvanceBy(std::int64_t ms);
    // Fires timers until none is pending.
    static void RunUntilIdle();
    // The next timer armed fires inside timeSetEvent, before it returns: a
    // trigger that beats its caller, as a 1 ms timer on a busy machine can.
    static void FireNextOnArm();
};

// A bank with a sample for every identifier 0 to 40 except the missing ones,
// loaded into a SoundTable and installed as TheSoundTable while it lives.
class TestBank {
public:
    explicit TestBank(const std::set<int>& missing = {});
    ~TestBank();
    TestBank(const TestBank&) = delete;
    TestBank& operator=(const TestBank&) = delete;

    SoundTable& Table() { return *table; }

private:
    TempFolder folder;
    std::unique_ptr<SoundTable> table;
    SoundTable* previous;
};

// Every slot of the note ring is idle (no timer armed).
bool RingIdle();

// The channels that play on past any cut: their window on the sample holds
// more than the placement's lead (a sample plays for a second). A cut leaves
// a channel only the lead at most, or halts it at once when its frame has
// already been mixed.
int UncutChannels();

}  // namespace StrokeTest
