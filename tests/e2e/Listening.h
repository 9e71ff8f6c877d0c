#pragma once
// Waiting for what the program under test plays: SDL's disk driver writes its
// output to a file at about real-time pace, a buffer or two behind the mixer.
// Every wait is bounded by a generous limit against hanging, never a check of
// speed: sanitizer builds and loaded machines are slow.

#include "tests/e2e/MixedOutput.h"
#include "tests/e2e/TestBank.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// What is wrong with strokes of C major heard at the bank's exact levels,
// each string on the frame nearest to its time, from a server's output with
// its dropouts taken out (see MixedOutput::WithoutDropouts): nothing, if all
// is well. A server that ran dry and played silence may keep the stream on
// time by dropping as much of what came late, or some of it, near the gap:
// PulseAudio at once, PipeWire up to 80 ms before or after it on a loaded
// machine. Two strings with a dropout that near may be closer by up to its
// length, and one due that near may be missing (the server's resampler rings
// over the edges, and its rise may not read as a string's).
inline std::vector<std::string> CMajorStrokeFaults(const std::vector<Onset>& notes,
                                                   const std::vector<MixedOutput::Dropout>& removed,
                                                   std::size_t strokes, double interval)
{
    const std::vector<int> cMajor = {0, 8, 12, 15, 20, 24};
    constexpr long Near = TestBank::Rate / 4;
    const auto near = [&](const MixedOutput::Dropout& dropout, double from, double to) {
        return static_cast<double>(dropout.at + dropout.frames + Near) >= from &&
               static_cast<double>(dropout.at - Near) <= to;
    };
    const auto positionOf = [&](const Onset& note) {
        return std::find(cMajor.begin(), cMajor.end(), note.id) - cMajor.begin();
    };
    std::vector<std::string> faults;
    std::size_t next = 0;  // the heard note to match against the string due
    for (std::size_t string = 0; string < strokes * cMajor.size(); ++string) {
        const long position = static_cast<long>(string % cMajor.size());
        const std::string name = "string " + std::to_string(string) + " (" + std::to_string(cMajor[position]) + ")";
        if (next < notes.size() && positionOf(notes[next]) == position) {
            ++next;
            continue;
        }
        if (position == 0 || next == 0) {
            faults.push_back(name + " was not heard");
            continue;
        }
        const double due = static_cast<double>(notes[next - 1].frame) +
                           interval * static_cast<double>(position - positionOf(notes[next - 1]));
        const bool inADropout = std::any_of(removed.begin(), removed.end(), [&](const MixedOutput::Dropout& dropout) {
            return near(dropout, due, due);
        });
        if (!inADropout)
            faults.push_back(name + " was not heard, and no dropout was near where it was due");
    }
    if (next != notes.size())
        faults.push_back("more was heard than " + std::to_string(strokes) + " strokes");
    for (std::size_t i = 1; i < notes.size(); ++i) {
        const long apart = positionOf(notes[i]) - positionOf(notes[i - 1]);
        if (apart <= 0)
            continue;  // the next stroke
        long dropped = 0;
        for (const MixedOutput::Dropout& dropout : removed)
            if (near(dropout, static_cast<double>(notes[i - 1].frame), static_cast<double>(notes[i].frame)))
                dropped += dropout.frames;
        const double spacing = static_cast<double>(notes[i].frame - notes[i - 1].frame);
        const double due = interval * static_cast<double>(apart);
        if (spacing < due - static_cast<double>(dropped) - 1.0 || spacing > due + 1.0)
            faults.push_back("string " + std::to_string(notes[i].id) + " came " +
                             std::to_string(notes[i].frame - notes[i - 1].frame) + " frames after string " +
                             std::to_string(notes[i - 1].id) + ", not " + std::to_string(due) +
                             (dropped > 0 ? " (or up to " + std::to_string(dropped) + " less)" : ""));
    }
    return faults;
}

// A server's output read at the bank's exact levels (every step-th frame of
// a recording made at step times the bank's rate) holds the strokes of C
// major that the program wrote; dropouts gets the number of dropouts (a
// silence of up to 100 ms inside a sound) taken out of it.
inline void ExpectCMajorStrokes(const std::string& recording, std::size_t strokes, int intervalMs, int* dropouts,
                                int step = 1)
{
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
    for (const std::string& fault : CMajorStrokeFaults(notes, removed, strokes, TestBank::Rate * intervalMs / 1000.0))
        ADD_FAILURE() << fault << "; heard" << heard;
}

}  // namespace listening
