#pragma once
// Waiting for what the program under test plays: SDL's disk driver writes its
// output to a file at about real-time pace, a buffer or two behind the mixer.
// Every wait is bounded by a generous limit against hanging, never a check of
// speed: sanitizer builds and loaded machines are slow.

#include "tests/e2e/MixedOutput.h"

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

}  // namespace listening
