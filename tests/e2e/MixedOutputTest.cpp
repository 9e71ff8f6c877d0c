// Reading back an output that a sound server resampled: where strokes rise
// out of silence and where silence breaks into sound, on signals shaped as a
// resampler leaves steps (ringing on both sides of every edge).

#include "tests/e2e/MixedOutput.h"

#include "tests/e2e/Listening.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr int Threshold = 1000, Quiet = 250;
constexpr long QuietFrames = 240;

// One piece of a signal: frames at a level. A step between pieces rings as
// a resampler's does: a decaying wobble before and after it, a tenth of the
// step at its largest, and a sample at half the step on the edge.
struct Piece {
    int level;
    long frames;
};

std::vector<int> Resampled(const std::vector<Piece>& pieces)
{
    std::vector<int> left;
    for (const Piece& piece : pieces)
        left.insert(left.end(), static_cast<std::size_t>(piece.frames), piece.level);
    std::vector<int> rung = left;
    for (std::size_t i = 1; i < left.size(); ++i) {
        const int step = left[i] - left[i - 1];
        if (step == 0)
            continue;
        rung[i - 1] = left[i - 1] + step / 2;
        for (int k = 1; k <= 40; ++k) {
            const double wobble = step * 0.1 * std::exp(-k / 8.0) * (k % 2 == 0 ? 1 : -1);
            if (i - 1 >= static_cast<std::size_t>(k) + 1)
                rung[i - 1 - static_cast<std::size_t>(k)] += static_cast<int>(wobble);
            if (i + static_cast<std::size_t>(k) < left.size())
                rung[i + static_cast<std::size_t>(k)] -= static_cast<int>(wobble);
        }
    }
    return rung;
}

struct Case {
    std::string name;
    std::vector<Piece> pieces;
    std::vector<long> rises;
    std::vector<Span> spans;  // where sound should be
    int silentRuns;
};

std::ostream& operator<<(std::ostream& out, const Case& c)
{
    return out << c.name;
}

class ResampledOutput : public testing::TestWithParam<Case> {};

TEST_P(ResampledOutput, RisesAndSilencesAreFoundWhereTheyAre)
{
    const Case& c = GetParam();
    const MixedOutput output(Resampled(c.pieces));
    EXPECT_EQ(output.Rises(Threshold, Quiet, QuietFrames), c.rises);
    EXPECT_EQ(output.SilentRuns(c.spans, Quiet), c.silentRuns);
}

INSTANTIATE_TEST_SUITE_P(Signals, ResampledOutput,
                         testing::Values(
                             // A stroke's edge rises on the frame of the step, not on the
                             // ringing before it.
                             Case{"OneStroke", {{0, 1000}, {2000, 3000}, {0, 1000}}, {1000}, {{1000, 4000}}, 0},
                             // Strings overlapping inside a stroke are one rise; the level steps
                             // between them ring but never fall silent.
                             Case{"StringsOfAStroke",
                                  {{0, 500}, {2000, 550}, {4160, 50}, {2160, 550}, {4320, 50}, {2160, 500}, {0, 800}},
                                  {500},
                                  {{500, 2200}},
                                  0},
                             // A second stroke after enough quiet is a rise of its own; after
                             // less quiet it is taken for the same stroke.
                             Case{"StrokesApartAndTooClose",
                                  {{0, 300}, {2000, 1000}, {0, 300}, {2000, 1000}, {0, 100}, {2000, 1000}},
                                  {300, 1600},
                                  {{300, 1300}, {1600, 2600}, {2700, 3700}},
                                  0},
                             // A dropout inside a stroke is one silent run however long, and
                             // silence outside the spans does not count; sound after a dropout
                             // shorter than the quiet before a stroke is no new rise.
                             Case{"DropoutsInsideTheStroke",
                                  {{0, 400}, {2000, 1000}, {0, 30}, {2000, 500}, {0, 200}, {2000, 300}, {0, 600}},
                                  {400},
                                  {{400, 2430}},
                                  2},
                             // The output may start in sound: that is a rise too.
                             Case{"StartsLoud", {{2000, 500}, {0, 500}}, {0}, {{0, 500}}, 0}),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

// Dropouts taken out of an output at exact levels: short silences between
// sounds go, the silence before, between and after strokes stays.
TEST(ExactOutput, DropoutsAreTakenOutAndTheSilenceBetweenStrokesStays)
{
    const std::vector<int> left = {0, 0, 5, 5, 0, 7, 0, 0, 0, 0, 0, 9, 0, 0, 8, 0};
    std::vector<MixedOutput::Dropout> removed;
    const MixedOutput kept = MixedOutput(left).WithoutDropouts(2, &removed);
    std::vector<int> levels;
    for (long frame = 0; frame < kept.Frames(); ++frame)
        levels.push_back(kept.Level(frame));
    EXPECT_EQ(levels, (std::vector<int>{0, 0, 5, 5, 7, 0, 0, 0, 0, 0, 9, 8, 0}));
    EXPECT_EQ(removed, (std::vector<MixedOutput::Dropout>{{4, 1}, {11, 2}}));
}

// Strokes of C major read back from a server's output at 25 ms (551.25
// frames) between strings: what counts as a fault of the program, and what
// as the server's dropout.
struct StrokesCase {
    std::string name;
    std::vector<Onset> notes;
    std::vector<MixedOutput::Dropout> removed;
    std::vector<std::string> faults;  // the start of each fault
};

std::ostream& operator<<(std::ostream& out, const StrokesCase& c)
{
    return out << c.name;
}

class HeardStrokes : public testing::TestWithParam<StrokesCase> {};

TEST_P(HeardStrokes, OnlyTheProgramsFaultsAreFaults)
{
    const StrokesCase& c = GetParam();
    const std::vector<std::string> faults = listening::CMajorStrokeFaults(c.notes, c.removed, 2, 551.25);
    ASSERT_EQ(faults.size(), c.faults.size()) << (faults.empty() ? "" : faults.front());
    for (std::size_t i = 0; i < faults.size(); ++i)
        EXPECT_EQ(faults[i].rfind(c.faults[i], 0), 0u) << faults[i];
}

const std::vector<Onset> TwoStrokes = {{4814, 0},    {5365, 8},    {5916, 12},   {6468, 15},
                                       {7019, 20},   {7570, 24},   {159126, 0},  {159677, 8},
                                       {160228, 12}, {160779, 15}, {161331, 20}, {161882, 24}};

// The notes with those from first to last moved by frames, and the one at
// missing (if any) taken out.
std::vector<Onset> Changed(std::size_t first, std::size_t last, long frames, long missing = -1)
{
    std::vector<Onset> notes = TwoStrokes;
    for (std::size_t i = first; i <= last; ++i)
        notes[i].frame += frames;
    if (missing >= 0)
        notes.erase(notes.begin() + missing);
    return notes;
}

INSTANTIATE_TEST_SUITE_P(
    Strokes, HeardStrokes,
    testing::Values(
        StrokesCase{"Whole", TwoStrokes, {}, {}},
        // Heard through PipeWire on a loaded machine: the server lost a cycle
        // just before its first gap, and the rise of the last string at its
        // second; another time, it lost the cycle 76 ms after its gap.
        StrokesCase{"ADropoutSwallowedAStringsRise", Changed(3, 5, -128, 5), {{6400, 128}, {7424, 128}}, {}},
        StrokesCase{"ACycleLostAfterTheDropout", Changed(11, 11, -127), {{160068, 128}}, {}},
        StrokesCase{"ACycleLostFarFromTheDropout", Changed(3, 5, -128), {{20000, 128}}, {"string 15 came 424"}},
        StrokesCase{"AStringMissingWithNoDropout", Changed(0, 0, 0, 8), {}, {"string 8 (12) was not"}},
        StrokesCase{"AStringMissingFarFromTheDropout",
                    Changed(0, 0, 0, 3),
                    {{20000, 50}},
                    {"string 3 (15) was not heard, and no dropout was near"}},
        StrokesCase{
            "AStrokesFirstStringIsNeverExcused", Changed(0, 0, 0, 6), {{159100, 40}}, {"string 6 (0) was not heard"}},
        StrokesCase{"AStringLateByTwoFrames", Changed(2, 2, 2), {}, {"string 12 came 553", "string 15 came 550"}},
        StrokesCase{"AThirdStroke",
                    [] {
                        std::vector<Onset> three = TwoStrokes;
                        three.push_back({300000, 0});
                        return three;
                    }(),
                    {},
                    {"more was heard"}}),
    [](const testing::TestParamInfo<StrokesCase>& info) { return info.param.name; });

}  // namespace
