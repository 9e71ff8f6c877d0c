#include "tools/Signal.h"

#include <algorithm>
#include <cmath>
#include <numbers>

void ShapeEdges(Signal& signal, double attackSeconds, double fadeSeconds)
{
    const int size = static_cast<int>(signal.size());
    const int attack = std::min(SamplesFor(attackSeconds), size);
    for (int i = 0; i < attack; ++i)
        signal[i] *= 0.5 - 0.5 * std::cos(std::numbers::pi * i / attack);
    const int fade = std::min(SamplesFor(fadeSeconds), size);
    for (int i = 0; i < fade; ++i) {
        // i counts back from the last sample, which gets gain 0.
        const double gain = fade > 1 ? 0.5 - 0.5 * std::cos(std::numbers::pi * i / (fade - 1)) : 0.0;
        signal[size - 1 - i] *= gain;
    }
}

double PeakOf(const Signal& signal)
{
    double peak = 0.0;
    for (double x : signal)
        peak = std::max(peak, std::abs(x));
    return peak;
}

std::vector<std::int16_t> QuantizeToPeak(const Signal& signal, int peak)
{
    const double largest = PeakOf(signal);
    return Quantize(signal, largest > 0.0 ? peak / largest : 0.0);
}

std::vector<std::int16_t> Quantize(const Signal& signal, double scale)
{
    std::vector<std::int16_t> pcm(signal.size());
    for (std::size_t i = 0; i < signal.size(); ++i) {
        const double v = std::clamp(std::round(signal[i] * scale), -32768.0, 32767.0);
        pcm[i] = static_cast<std::int16_t>(v);
    }
    return pcm;
}
