#pragma once
// Waiting for what the program under test plays: SDL's disk driver writes its
// output to a file at about real-time pace, a buffer or two behind the mixer.
// Every wait is bounded by a generous limit against hanging, never a check of
// speed: sanitizer builds and loaded machines are slow.

#include "tests/e2e/MixedOutput.h"
#include "tests/e2e/TestBank.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace listening {

inline constexpr std::chrono::seconds HearLimit{60};

// Polls until done() holds; past HearLimit the failure tells how long it waited.
template <class Done>
bool Until(Done done)
{
    const auto start = std::chrono::steady_clock::now();
    while (!done()) {
        const auto waited = std::chrono::steady_clock::now() - start;
        if (waited >= HearLimit) {
            ADD_FAILURE() << "gave up after " << std::chrono::duration_cast<std::chrono::milliseconds>(waited).count()
                          << " ms";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

inline std::size_t FileSize(const std::string& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 0 : static_cast<std::size_t>(size);
}

// Waits until the file holds at least this many bytes.
inline bool Written(const std::string& path, std::size_t bytes)
{
    return Until([&] { return FileSize(path) >= bytes; });
}

// The test bank's samples heard so far, by their levels (see TestBank.h), at
// full strength.
inline std::vector<Onset> Heard(const std::string& path)
{
    return MixedOutput(path).Onsets(128);
}

// Waits until count samples have been heard, then for another second of
// output, in which nothing more may come.
inline std::vector<Onset> HeardAfterAll(const std::string& path, std::size_t count)
{
    Until([&] { return Heard(path).size() >= count; });
    Written(path, FileSize(path) + 22050 * 4);
    return Heard(path);
}

inline std::vector<int> SoundedAfterAll(const std::string& path, std::size_t count)
{
    return IdsOf(HeardAfterAll(path, count));
}

// A server's output read at the bank's exact levels (every step-th frame of
// a recording made at step times the bank's rate): the strokes of C major
// that the program wrote, each string on the frame nearest to its time. A
// server that ran dry put silence into the output (a dropout, a silence of
// up to 100 ms inside a sound), and may then drop as much of what came late,
// or some of it, to keep the stream on time (PulseAudio may): the dropouts
// are taken out, and two strings with one between them may be closer by up
// to its length. dropouts gets their number.
inline void ExpectCMajorStrokes(const std::string& recording, std::size_t strokes, int intervalMs, int* dropouts,
                                int step = 1)
{
    const std::vector<int> cMajor = {0, 8, 12, 15, 20, 24};
    std::vector<MixedOutput::Dropout> removed;
    std::vector<Onset> notes;
    std::string heard;
    for (const Onset& onset : MixedOutput(recording, step).WithoutDropouts(TestBank::Rate / 10, &removed).Onsets(128))
        if (onset.id >= 0 && onset.id <= 30) {
            notes.push_back(onset);
            heard += " " + std::to_string(onset.id) + "@" + std::to_string(onset.frame);
        }
    for (const MixedOutput::Dropout& dropout : removed)
        heard += " dropout@" + std::to_string(dropout.at) + "+" + std::to_string(dropout.frames);
    *dropouts = static_cast<int>(removed.size());
    ASSERT_EQ(notes.size(), strokes * cMajor.size()) << "strokes of six strings; heard" << heard;
    const double interval = TestBank::Rate * intervalMs / 1000.0;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        EXPECT_EQ(notes[i].id, cMajor[i % 6]) << "string " << i << "; heard" << heard;
        if (i % 6 == 0)
            continue;
        long droppedBetween = 0;
        for (const MixedOutput::Dropout& dropout : removed)
            if (dropout.at > notes[i - 1].frame && dropout.at <= notes[i].frame)
                droppedBetween += dropout.frames;
        const long spacing = notes[i].frame - notes[i - 1].frame;
        EXPECT_TRUE(spacing >= interval - droppedBetween - 1.0 && spacing <= interval + 1.0)
            << "string " << i << " came " << spacing << " frames after the one before, not " << interval
            << (droppedBetween > 0 ? " (or up to " + std::to_string(droppedBetween) + " less)" : "") << "; heard"
            << heard;
    }
}

}  // namespace listening
