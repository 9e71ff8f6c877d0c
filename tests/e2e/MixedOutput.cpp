#include "tests/e2e/MixedOutput.h"

#include "tests/e2e/TestBank.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <utility>

MixedOutput::MixedOutput(const std::string& rawFile, int step)
{
    std::ifstream in(rawFile, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t frameBytes = 4 * static_cast<std::size_t>(std::max(step, 1));
    for (std::size_t i = 0; i + 4 <= bytes.size(); i += frameBytes) {
        const auto low = static_cast<std::uint8_t>(bytes[i]);
        const auto high = static_cast<std::uint8_t>(bytes[i + 1]);
        left.push_back(static_cast<std::int16_t>(static_cast<std::uint16_t>(low | (high << 8))));
    }
}

int MixedOutput::Level(long frame) const
{
    return frame >= 0 && frame < Frames() ? left[static_cast<std::size_t>(frame)] : 0;
}

std::vector<Step> MixedOutput::Steps() const
{
    std::vector<Step> steps;
    int previous = 0;
    for (long frame = 0; frame < Frames(); ++frame) {
        const int level = left[static_cast<std::size_t>(frame)];
        if (level != previous)
            steps.push_back({frame, level - previous});
        previous = level;
    }
    return steps;
}

std::vector<Onset> MixedOutput::Onsets(int volume) const
{
    std::vector<Onset> onsets;
    for (const Step& step : Steps()) {
        if (step.delta <= 0)
            continue;
        int id = -1;
        for (int candidate = TestBank::FirstId; candidate <= TestBank::LastId; ++candidate)
            if (TestBank::LevelAt(candidate, volume) == step.delta)
                id = candidate;
        onsets.push_back({step.frame, id});
    }
    return onsets;
}

std::vector<long> MixedOutput::Rises(int threshold, int quiet, long quietFrames) const
{
    std::vector<long> rises;
    long quietSoFar = 0;
    bool afterQuiet = true;  // the output starts in silence; a step rings before it crosses
    for (long frame = 0; frame < Frames(); ++frame) {
        const int level = std::abs(Level(frame));
        quietSoFar = level <= quiet ? quietSoFar + 1 : 0;
        afterQuiet = afterQuiet || quietSoFar >= quietFrames;
        if (afterQuiet && level > threshold) {
            rises.push_back(frame);
            afterQuiet = false;
        }
    }
    return rises;
}

int MixedOutput::SilentRuns(const std::vector<Span>& spans, int quiet) const
{
    std::vector<bool> sounding(left.size(), false);
    for (const Span& span : spans)
        for (long frame = std::max(0L, span.from); frame < std::min(span.to, Frames()); ++frame)
            sounding[static_cast<std::size_t>(frame)] = true;
    int runs = 0;
    bool silent = false;
    for (long frame = 0; frame < Frames(); ++frame) {
        const bool now = sounding[static_cast<std::size_t>(frame)] && std::abs(Level(frame)) <= quiet;
        runs += now && !silent ? 1 : 0;
        silent = now;
    }
    return runs;
}

MixedOutput MixedOutput::WithoutDropouts(long longest, std::vector<Dropout>* removed) const
{
    std::vector<int> kept;
    kept.reserve(left.size());
    std::vector<Dropout> dropouts;
    for (std::size_t frame = 0; frame < left.size();) {
        if (left[frame] != 0) {
            kept.push_back(left[frame++]);
            continue;
        }
        std::size_t end = frame;
        while (end < left.size() && left[end] == 0)
            ++end;
        if (frame > 0 && end < left.size() && static_cast<long>(end - frame) <= longest)
            dropouts.push_back({static_cast<long>(kept.size()), static_cast<long>(end - frame)});
        else
            kept.insert(kept.end(), left.begin() + static_cast<long>(frame), left.begin() + static_cast<long>(end));
        frame = end;
    }
    if (removed != nullptr)
        *removed = std::move(dropouts);
    return MixedOutput(std::move(kept));
}

std::vector<int> IdsOf(const std::vector<Onset>& onsets)
{
    std::vector<int> ids;
    for (const Onset& onset : onsets)
        ids.push_back(onset.id);
    return ids;
}
