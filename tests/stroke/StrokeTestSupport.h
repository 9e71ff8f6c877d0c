#pragma once
// Helpers of the stroke and key tests: a log of every mixer start and halt
// (the calls are linked through --wrap, so the real mixer still runs), a
// sound bank whose samples tell their identifier by their length, and waits
// on the real timer thread.

#include "platform/Win32.h"
#include "sound/SoundTable.h"

#include "tests/support/ArchiveTestSupport.h"
#include "tests/support/ChordIds.h"
#include "tests/support/TimerHold.h"

#include <cstdint>
#include <chrono>
#include <memory>
#include <set>
#include <vector>

namespace StrokeTest {

using Clock = std::chrono::steady_clock;

// One call of Mix_PlayChannelTimed.
struct Start {
    Clock::time_point when;
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
    // Waits until count starts are logged; the starts logged by then. A
    // minute without them fails the test with the time it waited.
    static std::vector<Start> WaitForStarts(std::size_t count);
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
    ArchiveTest::TempFolder folder;
    std::unique_ptr<SoundTable> table;
    SoundTable* previous;
};

// Returns once every timer due within ms from now has fired: a timer of its
// own is armed for then, and the one timer thread serves deadlines in order.
void WaitPast(int ms);

// Every slot of the note ring is idle (no timer armed).
bool RingIdle();

// Waits until every armed trigger has fired; false, with the time it waited
// reported as a test failure, when some had not after a minute.
bool WaitForRingIdle();

// The channels that play on past any cut: their window on the sample holds
// more than the placement's lead (a sample plays for a second). A cut leaves
// a channel only the lead at most, or halts it at once when its frame has
// already been mixed.
int UncutChannels();

}  // namespace StrokeTest
