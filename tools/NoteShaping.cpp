#include "tools/NoteShaping.h"

#include "tools/SoundMeasures.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Raised-cosine gain from 0 to 1 over count samples, the i-th of them.
double RisingGain(int i, int count)
{
    return count > 1 ? 0.5 - 0.5 * std::cos(std::numbers::pi * i / (count - 1)) : 1.0;
}

}  // namespace

void StartAtOnset(Signal& note)
{
    constexpr int PreRoll = 4;  // 0.18 ms
    const int onset = OnsetSample(note);
    if (onset < 0)
        return;
    const int start = std::max(onset - PreRoll, 0);
    note.erase(note.begin(), note.begin() + start);
    // The samples before the onset fade in; the onset itself is left whole.
    const int fadeIn = onset - start;
    for (int i = 0; i < fadeIn; ++i)
        note[i] *= RisingGain(i, fadeIn + 1);
}

void RingThenFade(Signal& note)
{
    const double available = static_cast<double>(note.size()) / SampleRate;
    double end = std::min(MaxNoteSeconds, available);
    // From the loudest moment on, the first where the level is 45 dB down.
    const std::vector<double> levels = LevelEvery10Ms(note);
    const auto loudest = std::max_element(levels.begin(), levels.end());
    const auto quiet = std::find_if(loudest, levels.end(), [](double level) { return level < -45.0; });
    if (quiet != levels.end())
        end = std::min(
            end, std::max(static_cast<double>(quiet - levels.begin()) / 100.0, std::min(MinNoteSeconds, available)));
    note.resize(std::min(note.size(), static_cast<std::size_t>(SamplesFor(end))));
    const int fade = static_cast<int>(0.4 * static_cast<double>(note.size()));
    for (int i = 0; i < fade; ++i)  // i counts back from the last sample
        note[note.size() - 1 - i] *= RisingGain(i, fade);
}

void LevelByLoudness(std::vector<Signal>& notes)
{
    const int count = static_cast<int>(notes.size());
    std::vector<double> loudness(count);
    for (int i = 0; i < count; ++i)
        loudness[i] = NoteLoudness(notes[i]);
    // Least-squares line through the loudness of the notes.
    double sx = 0.0, sy = 0.0, sxx = 0.0, sxy = 0.0;
    for (int i = 0; i < count; ++i) {
        sx += i;
        sy += loudness[i];
        sxx += static_cast<double>(i) * i;
        sxy += i * loudness[i];
    }
    const double denominator = count * sxx - sx * sx;
    const double slope = denominator != 0.0 ? (count * sxy - sx * sy) / denominator : 0.0;
    const double offset = count > 0 ? (sy - slope * sx) / count : 0.0;
    for (int i = 0; i < count; ++i) {
        const double gain = std::pow(10.0, (offset + slope * i - loudness[i]) / 20.0);
        for (double& v : notes[i])
            v *= gain;
    }
}
