// The audio clock on made-up callbacks: a device whose buffers are due at a
// steady pace (its own, a little off the nominal one) and whose callbacks
// come late by a random amount each time.

#include "sound/AudioClock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int Rate = 22050;

struct Device {
    int bufferFrames;
    double paceRatio;  // real period / nominal period
    double jitterMs;   // each callback up to this much late
};

// Test names show the fields, not the object's bytes.
void PrintTo(const Device& device, std::ostream* out)
{
    *out << device.bufferFrames << " frames, pace " << device.paceRatio << ", jitter " << device.jitterMs << " ms";
}

class AudioClockTest : public ::testing::TestWithParam<Device> {};

// Two times 150 ms apart map to frames 150 ms of the device's frames apart,
// to within half a millisecond; and a time maps to the frame the device
// takes then, give or take the lateness of a callback.
TEST_P(AudioClockTest, FollowsTheDeviceAndIgnoresJitter)
{
    const Device device = GetParam();
    const double period = 1e9 * device.bufferFrames / Rate * device.paceRatio;  // ns per buffer
    const double framesPerNs = device.bufferFrames / period;
    Mivo::AudioClock clock(Rate, device.bufferFrames);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> late(0, device.jitterMs * 1e6);

    const auto start = static_cast<std::int64_t>(1e12);
    long mix = 0;
    const auto mixUntil = [&](double ns) {
        for (; start + mix * period <= ns; ++mix)
            clock.OnMix(start + static_cast<std::int64_t>(mix * period + late(random)));
    };
    mixUntil(start + 20e9);  // settled

    double worstGap = 0, worstPosition = 0;
    for (int stroke = 0; stroke < 100; ++stroke) {
        const double t = start + 20e9 + stroke * 0.397e9;
        mixUntil(t);
        const double first = clock.FrameAt(static_cast<std::int64_t>(t));
        mixUntil(t + 150e6);
        const double second = clock.FrameAt(static_cast<std::int64_t>(t + 150e6));
        worstGap = std::max(worstGap, std::fabs(second - first - 150e6 * framesPerNs));
        // The device takes frame n * buffer at start + n * period.
        worstPosition = std::max(worstPosition, std::fabs(first - (t - start) * framesPerNs));
    }
    EXPECT_LT(worstGap, 0.5 * Rate / 1000) << "frames";
    EXPECT_LT(worstPosition, (device.jitterMs + 1) * Rate / 1000) << "frames";
    EXPECT_EQ(clock.NextMixFrame(), mix * device.bufferFrames);
    EXPECT_EQ(clock.LateMixes(), 0);
}

INSTANTIATE_TEST_SUITE_P(Devices, AudioClockTest,
                         ::testing::Values(Device{1024, 1.0, 0.0}, Device{1024, 1.0, 8.0}, Device{256, 1.0, 3.0},
                                           Device{512, 1.0003, 5.0}, Device{1024, 0.99, 2.0},
                                           Device{4096, 1.02, 10.0}));

// A stall (a machine that slept) starts the line again instead of bending it
// for seconds.
TEST(AudioClock, AStallStartsTheLineAgain)
{
    const double period = 1e9 * 1024 / Rate;
    Mivo::AudioClock clock(Rate, 1024);
    std::int64_t now = 0;
    for (int i = 0; i < 200; ++i)
        clock.OnMix(now += static_cast<std::int64_t>(period));
    now += static_cast<std::int64_t>(3e9);  // three seconds without a callback
    clock.OnMix(now);
    const double resumed = clock.FrameAt(now);
    EXPECT_NEAR(resumed, static_cast<double>(clock.NextMixFrame() - 1024), 1.0);
    clock.OnMix(now += static_cast<std::int64_t>(period));
    EXPECT_NEAR(clock.FrameAt(now), resumed + 1024, 1.0);
}

// A device that from some buffer on comes half a buffer early for good (a
// stream started again) is followed at once, to within a quarter buffer;
// the line alone would stay behind for seconds, and every start would land
// at the next buffer instead of its own frame.
TEST(AudioClock, FollowsADeviceThatHasMovedForGood)
{
    const double period = 1e9 * 1024 / Rate;
    Mivo::AudioClock clock(Rate, 1024);
    double now = 0;
    for (int i = 0; i < 200; ++i)
        clock.OnMix(static_cast<std::int64_t>(now += period));
    now -= period / 2;
    for (int i = 0; i < 20; ++i) {
        clock.OnMix(static_cast<std::int64_t>(now += period));
        const double frameTaken = static_cast<double>(clock.NextMixFrame() - 1024);
        EXPECT_GE(clock.FrameAt(static_cast<std::int64_t>(now)), frameTaken - 256 - 1) << "buffer " << i;
    }
}

// The audio thread kept from mixing (starved) from each of these times for so
// long: every mix due meanwhile comes when it runs again.
struct Starving {
    const char* name;
    std::vector<std::pair<double, double>> starved;  // from (s), for (ms)
    long lateMixes;
    bool repeatedlyLate;
};

void PrintTo(const Starving& starving, std::ostream* out)
{
    *out << starving.name;
}

class AudioClockStarvedTest : public ::testing::TestWithParam<Starving> {};

TEST_P(AudioClockStarvedTest, CountsTheMixesThatCameLate)
{
    const Starving& starving = GetParam();
    const double period = 1e9 * 256 / Rate;
    Mivo::AudioClock clock(Rate, 256);
    for (long mix = 0; mix * period < 60e9; ++mix) {
        double now = mix * period;
        for (const auto& [from, ms] : starving.starved)
            if (now >= from * 1e9 && now < from * 1e9 + ms * 1e6)
                now = from * 1e9 + ms * 1e6;
        clock.OnMix(static_cast<std::int64_t>(now));
    }
    EXPECT_EQ(clock.LateMixes(), starving.lateMixes);
    EXPECT_EQ(clock.RepeatedlyLate(), starving.repeatedlyLate);
}

INSTANTIATE_TEST_SUITE_P(Starvings, AudioClockStarvedTest,
                         ::testing::Values(Starving{"ShorterThanABuffer", {{20, 11}, {21, 11}, {22, 11}}, 0, false},
                                           Starving{"OnceForSeconds", {{20, 3000}}, 1, false},
                                           Starving{
                                               "ThreeTimesWithinTenSeconds", {{20, 30}, {26, 30}, {35, 30}}, 3, true},
                                           Starving{"ThreeTimesFarApart", {{20, 30}, {31, 30}, {42, 30}}, 3, false},
                                           Starving{"WhileTheLineSettles", {{0.5, 30}, {1, 30}, {1.5, 30}}, 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
