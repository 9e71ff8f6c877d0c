// When a recorded or played frame was heard, and which key each sound
// answers: the clock that heard_timing and wine_timing read their latencies
// by. Times in whole milliseconds, at 1000 frames per second, so that every
// answer can be worked out by hand.

#include "tests/e2e/SoundServer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr long long Ms = 1000000;  // ns

struct Arrival {
    long long ms;
    long frames;  // the output's length by then
};

OutputTimes TimesOf(OutputTimes::Kind kind, const std::vector<Arrival>& arrivals)
{
    OutputTimes times(kind, 1000);
    for (const Arrival& arrival : arrivals)
        times.Add(arrival.ms * Ms, arrival.frames);
    return times;
}

// Every table's cases are named, for gtest's test names and its messages.
template <typename Case>
requires requires(const Case& c)
{
    c.name;
}
std::ostream& operator<<(std::ostream& out, const Case& c)
{
    return out << c.name;
}
const auto ByName = [](const auto& info) { return info.param.name; };

struct FrameCase {
    std::string name;
    OutputTimes::Kind kind;
    std::vector<Arrival> arrivals;
    long frame;
    double heardMs;  // NAN: not heard yet
};

class HeardAtTest : public testing::TestWithParam<FrameCase> {};

TEST_P(HeardAtTest, GivesTheTimeTheFrameWasHeard)
{
    const FrameCase& c = GetParam();
    const double heard = TimesOf(c.kind, c.arrivals).HeardAt(c.frame);
    if (std::isnan(c.heardMs))
        EXPECT_TRUE(std::isnan(heard)) << heard;
    else
        EXPECT_NEAR(heard / static_cast<double>(Ms), c.heardMs, 1e-6);
}

// Fragments of 100 frames arriving every 100 ms, or every 200 ms: an output
// that runs at half its nominal rate, whose frames are timed at its own pace.
const std::vector<Arrival> OnPace = {{1000, 100}, {1100, 200}, {1200, 300}};
const std::vector<Arrival> HalfPace = {{1000, 100}, {1200, 200}, {1400, 300}};

INSTANTIATE_TEST_SUITE_P(Frames, HeardAtTest,
                         testing::Values(
                             // A recording holds what was heard up to its arrival: its last frame
                             // is the newest, the others came before it.
                             FrameCase{"RecordedLastOfAFragmentAtItsArrival", OutputTimes::Recorded, OnPace, 199, 1099},
                             FrameCase{"RecordedFirstOfAFragmentBeforeIt", OutputTimes::Recorded, OnPace, 100, 1000},
                             FrameCase{"RecordedFirstFrameBeforeTheFirstArrival", OutputTimes::Recorded, OnPace, 0,
                                       900},
                             FrameCase{"RecordedAtTheOutputsOwnPace", OutputTimes::Recorded, HalfPace, 150, 1100},
                             // A device plays what it takes from its first frame on.
                             FrameCase{"PlayedFirstOfAFragmentAtItsArrival", OutputTimes::Played, OnPace, 100, 1100},
                             FrameCase{"PlayedAtTheOutputsOwnPace", OutputTimes::Played, HalfPace, 150, 1300},
                             FrameCase{"NotYetTaken", OutputTimes::Recorded, OnPace, 300, NAN}),
                         ByName);

// Keys sent at some times, sounds rising at frames of a recording whose frame
// f was heard at f ms.
struct KeyCase {
    std::string name;
    std::vector<long long> keysMs;
    std::vector<long> rises;
    std::vector<double> latenciesMs;
};

class KeyLatenciesTest : public testing::TestWithParam<KeyCase> {};

TEST_P(KeyLatenciesTest, TimeEachKeyToTheSoundThatAnswersIt)
{
    const KeyCase& c = GetParam();
    // Fragments of 100 frames, each arriving 100 ms after the one before.
    std::vector<Arrival> arrivals;
    for (long frames = 100; frames <= 5000; frames += 100)
        arrivals.push_back({frames, frames});
    std::vector<long long> keys;
    for (const long long ms : c.keysMs)
        keys.push_back(ms * Ms);
    const std::vector<double> latencies = KeyLatencies(keys, c.rises, TimesOf(OutputTimes::Recorded, arrivals));
    ASSERT_EQ(latencies.size(), c.latenciesMs.size());
    for (std::size_t i = 0; i < latencies.size(); ++i)
        EXPECT_NEAR(latencies[i], c.latenciesMs[i], 1e-6) << "key " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyLatenciesTest,
    testing::Values(KeyCase{"EachKeyItsOwnSound", {0, 1000, 2000}, {70, 1080, 2300}, {70, 80, 300}},
                    KeyCase{"ASoundBeforeTheKeyIsAnother", {1000}, {950, 1100}, {100}},
                    KeyCase{"OnlyTheFirstSoundAfterAKey", {0}, {70, 90}, {70}},
                    // A late sound is taken for the next key's, never for both.
                    KeyCase{"AKeyNothingAnsweredIsLeftOut", {0, 500}, {600}, {100}},
                    KeyCase{"ASoundNotYetRecordedIsNotHeard", {0, 1000}, {70, 6000}, {70}}),
    ByName);

// Where a recorder lost frames: it read too late and the server dropped
// them, so the frames after a gap arrive as long after as was lost.
struct LossCase {
    std::string name;
    std::vector<Arrival> arrivals;
    std::vector<std::pair<double, double>> losses;  // seconds to each gap, ms lost
};

class RecorderLossesTest : public testing::TestWithParam<LossCase> {};

TEST_P(RecorderLossesTest, FindsTheFramesARecorderLost)
{
    const LossCase& c = GetParam();
    EXPECT_EQ(TimesOf(OutputTimes::Recorded, c.arrivals).Losses(), c.losses);
    EXPECT_TRUE(TimesOf(OutputTimes::Played, c.arrivals).Losses().empty()) << "a device loses nothing it took";
}

INSTANTIATE_TEST_SUITE_P(
    Losses, RecorderLossesTest,
    testing::Values(
        LossCase{"NoneOnPace", OnPace, {}},
        // Fragments read late, then on time again: nothing lost.
        LossCase{"NoneInLateReads", {{1000, 100}, {1140, 200}, {1200, 300}, {1300, 400}, {1400, 500}}, {}},
        LossCase{"NoneInLateReadsAtTheEnd", {{1000, 100}, {1100, 200}, {1240, 300}, {1340, 400}}, {}},
        LossCase{"AFragmentDropped", {{1000, 100}, {1100, 200}, {1300, 300}, {1400, 400}, {1500, 500}}, {{0.2, 100}}},
        LossCase{"TwoGaps",
                 {{1000, 100}, {1150, 200}, {1250, 300}, {1350, 400}, {1460, 500}, {1560, 600}, {1660, 700}},
                 {{0.1, 50}, {0.4, 10}}},
        LossCase{"LessThanFiveMsIsJitter", {{1000, 100}, {1104, 200}, {1204, 300}, {1304, 400}}, {}}),
    ByName);

}  // namespace
