#pragma once

#include <cstdint>
#include <vector>

// Audio while it is being made: mono samples at the bank's rate, in any scale
// until Quantize brings them to 16-bit PCM.
using Signal = std::vector<double>;

constexpr int SampleRate = 22050;

inline int SamplesFor(double seconds)
{
    return static_cast<int>(seconds * SampleRate + 0.5);
}

// Raised-cosine fade-in over the first attackSeconds and fade-out over the last
// fadeSeconds; the last sample becomes exactly zero, so a sample never ends
// in a click.
void ShapeEdges(Signal& signal, double attackSeconds, double fadeSeconds);

double PeakOf(const Signal& signal);

// Scales the signal and rounds it to 16-bit PCM.
std::vector<std::int16_t> Quantize(const Signal& signal, double scale);

// Scales the signal so that its largest magnitude becomes peak (in 16-bit
// units) and rounds it to PCM.
std::vector<std::int16_t> QuantizeToPeak(const Signal& signal, int peak);
