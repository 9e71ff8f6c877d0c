// Strokes with no audio device (SDL is asked for a driver that does not
// exist): the timers are armed and fire, and the mixer is never called.

#include "stroke/StrokeScheduler.h"

#include "sound/AudioDevice.h"

#include "tests/stroke/StrokeTestSupport.h"

#include <gtest/gtest.h>

using namespace StrokeTest;

namespace {

TEST(StrokeSilentTest, TimersFireButNothingIsHeard)
{
    ASSERT_FALSE(Mivo::AudioDevice::IsOpen());
    TestBank bank;
    ResetNoteSlots();
    MixerLog::Clear();

    StartStroke(60, Major, 128, 20);
    EXPECT_FALSE(RingIdle());  // five strings armed
    EXPECT_EQ(VirtualTimers::Pending(), 5u);
    VirtualTimers::RunUntilIdle();
    EXPECT_TRUE(RingIdle());

    StartStroke(62, Minor, 128, 0);
    CancelPendingNotes();
    StopAllSounds();

    EXPECT_TRUE(MixerLog::Starts().empty());
    EXPECT_EQ(MixerLog::Halts(), 0);  // the halt steps are skipped
}

}  // namespace
