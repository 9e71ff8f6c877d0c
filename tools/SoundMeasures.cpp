#include "tools/SoundMeasures.h"

#include "tools/Biquad.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>

namespace {

constexpr double Nothing = -200.0;

double Decibels(double ratio)
{
    return ratio > 0.0 ? 20.0 * std::log10(ratio) : Nothing;
}

double Rms(const Signal& signal, long from, long to)
{
    from = std::max(from, 0L);
    to = std::min(to, static_cast<long>(signal.size()));
    double sum = 0.0;
    for (long i = from; i < to; ++i)
        sum += signal[i] * signal[i];
    return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0.0;
}

// RMS of every 20 ms, 10 ms apart: the level as an ear follows it.
constexpr int EnvelopeWindow = SampleRate / 50;
constexpr int EnvelopeHop = SampleRate / 100;

double LoudestWindow(const Signal& signal)
{
    double loudest = 0.0;
    for (long centre = 0; centre < static_cast<long>(signal.size()); centre += EnvelopeHop)
        loudest = std::max(loudest, Rms(signal, centre - EnvelopeWindow / 2, centre + EnvelopeWindow / 2));
    return loudest;
}

void Fft(std::vector<std::complex<double>>& a)
{
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (std::size_t length = 2; length <= n; length <<= 1) {
        const std::complex<double> step = std::polar(1.0, -2.0 * std::numbers::pi / static_cast<double>(length));
        for (std::size_t i = 0; i < n; i += length) {
            std::complex<double> w = 1.0;
            for (std::size_t k = 0; k < length / 2; ++k) {
                const std::complex<double> u = a[i + k], v = a[i + k + length / 2] * w;
                a[i + k] = u + v;
                a[i + k + length / 2] = u - v;
                w *= step;
            }
        }
    }
}

// Power of each bin from 0 to Nyquist of the samples [from, from + count),
// zero-padded to size (a power of two), with a Hann window if asked.
std::vector<double> PowerSpectrum(const Signal& signal, long from, int count, int size, bool hann)
{
    std::vector<std::complex<double>> bins(size);
    for (int i = 0; i < count; ++i) {
        const long at = from + i;
        const double x = at >= 0 && at < static_cast<long>(signal.size()) ? signal[at] : 0.0;
        const double window = hann ? 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / (count - 1)) : 1.0;
        bins[i] = x * window;
    }
    Fft(bins);
    std::vector<double> power(size / 2 + 1);
    for (std::size_t i = 0; i < power.size(); ++i)
        power[i] = std::norm(bins[i]);
    return power;
}

double BinHz(std::size_t bin, int size)
{
    return static_cast<double>(bin) * SampleRate / size;
}

// The two filters of K-weighting, for any rate: a high shelf of +4 dB for
// the head and a high-pass for the ear's insensitivity to the lowest notes.
class KWeighting {
public:
    KWeighting()
    {
        double k = std::tan(std::numbers::pi * 1681.974450955533 / SampleRate);
        const double q = 0.7071752369554196, vh = std::pow(10.0, 3.999843853973347 / 20.0);
        const double vb = std::pow(vh, 0.4996667741545416);
        double a0 = 1.0 + k / q + k * k;
        shelf.SetCoefficients((vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
                              2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0);
        k = std::tan(std::numbers::pi * 38.13547087602444 / SampleRate);
        const double q2 = 0.5003270373238773;
        a0 = 1.0 + k / q2 + k * k;
        highPass.SetCoefficients(1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q2 + k * k) / a0);
    }

    double Process(double x) { return highPass.Process(shelf.Process(x)); }

private:
    Biquad shelf, highPass;
};

double BlockLoudness(double meanSquare)
{
    return meanSquare > 0.0 ? -0.691 + 10.0 * std::log10(meanSquare) : Nothing;
}

}  // namespace

int OnsetSample(const Signal& signal)
{
    const double threshold = PeakOf(signal) * 0.01;
    for (std::size_t i = 0; i < signal.size(); ++i)
        if (threshold > 0.0 && std::abs(signal[i]) >= threshold)
            return static_cast<int>(i);
    return -1;
}

double LoudnessLufs(const Signal& signal)
{
    Signal weighted(signal.size());
    KWeighting filter;
    for (std::size_t i = 0; i < signal.size(); ++i)
        weighted[i] = filter.Process(signal[i]);

    // Mean squares of 400 ms blocks, 100 ms apart; a shorter sound is one block.
    const long block = SampleRate * 4 / 10, hop = SampleRate / 10;
    std::vector<double> blocks;
    for (long at = 0; at == 0 || at + block <= static_cast<long>(weighted.size()); at += hop) {
        const double rms = Rms(weighted, at, at + block);
        blocks.push_back(rms * rms);
    }
    auto gatedMean = [&blocks](double gate) {
        double sum = 0.0;
        int count = 0;
        for (double z : blocks)
            if (BlockLoudness(z) > gate) {
                sum += z;
                ++count;
            }
        return count > 0 ? sum / count : 0.0;
    };
    const double relativeGate = BlockLoudness(gatedMean(-70.0)) - 10.0;
    return BlockLoudness(gatedMean(std::max(relativeGate, -70.0)));
}

double NoteLoudness(const Signal& note)
{
    const long onset = std::max(OnsetSample(note), 0);
    const long end = std::min(static_cast<long>(note.size()), onset + SampleRate);
    return LoudnessLufs(Signal(note.begin() + onset, note.begin() + end));
}

double LevelAt(const Signal& signal, double seconds)
{
    const long centre = std::lround(seconds * SampleRate);
    return Decibels(Rms(signal, centre - EnvelopeWindow / 2, centre + EnvelopeWindow / 2) / LoudestWindow(signal));
}

std::vector<double> LevelEvery10Ms(const Signal& signal)
{
    std::vector<double> rms;
    double loudest = 0.0;
    for (long centre = 0; centre < static_cast<long>(signal.size()); centre += EnvelopeHop) {
        rms.push_back(Rms(signal, centre - EnvelopeWindow / 2, centre + EnvelopeWindow / 2));
        loudest = std::max(loudest, rms.back());
    }
    for (double& level : rms)
        level = Decibels(level / loudest);
    return rms;
}

double LevelBeforeEnd(const Signal& signal)
{
    const long end = static_cast<long>(signal.size());
    return Decibels(Rms(signal, end - SampleRate / 20, end) / LoudestWindow(signal));
}

double LateT60(const Signal& signal)
{
    // Least-squares slope of the level in dB over time.
    double n = 0.0, st = 0.0, sl = 0.0, stt = 0.0, stl = 0.0;
    const std::vector<double> levels = LevelEvery10Ms(signal);
    for (std::size_t i = 50; i <= 200 && i + 1 < levels.size(); ++i) {
        const double t = static_cast<double>(i) / 100.0, level = levels[i];
        if (level <= Nothing)
            continue;
        n += 1.0;
        st += t;
        sl += level;
        stt += t * t;
        stl += t * level;
    }
    const double slope = n > 2.0 ? (n * stl - st * sl) / (n * stt - st * st) : 0.0;
    return slope < 0.0 ? -60.0 / slope : std::numeric_limits<double>::infinity();
}

double BrightnessAt(const Signal& signal, double seconds)
{
    constexpr int Size = 2048;
    const std::vector<double> power =
        PowerSpectrum(signal, std::lround(seconds * SampleRate) - Size / 2, Size, Size, true);
    double weighted = 0.0, total = 0.0;
    for (std::size_t i = 1; i < power.size(); ++i) {
        const double magnitude = std::sqrt(power[i]);
        weighted += BinHz(i, Size) * magnitude;
        total += magnitude;
    }
    return total > 0.0 ? weighted / total : 0.0;
}

double AttackHighShare(const Signal& signal, double fromHz)
{
    constexpr int Size = 1024;
    const int onset = std::max(OnsetSample(signal), 0);
    const std::vector<double> power = PowerSpectrum(signal, onset, SamplesFor(0.030), Size, false);
    double high = 0.0, total = 0.0;
    for (std::size_t i = 1; i < power.size(); ++i) {
        total += power[i];
        if (BinHz(i, Size) >= fromHz)
            high += power[i];
    }
    return total > 0.0 ? high / total : 0.0;
}

EdgeLevels EdgeLevelsOf(const Signal& signal)
{
    const double peak = PeakOf(signal);
    if (signal.empty() || peak <= 0.0)
        return {Nothing, Nothing, Nothing};
    const long end = static_cast<long>(signal.size());
    const long tail = std::min(end, static_cast<long>(SamplesFor(0.010)));
    double lastPeak = 0.0;
    for (long i = end - tail; i < end; ++i)
        lastPeak = std::max(lastPeak, std::abs(signal[i]));
    const long dcLength = std::min(end, static_cast<long>(SamplesFor(0.100)));
    double sum = 0.0;
    for (long i = end - dcLength; i < end; ++i)
        sum += signal[i];
    return {Decibels(std::abs(signal.front()) / peak), Decibels(lastPeak / peak),
            Decibels(std::abs(sum / static_cast<double>(dcLength)) / peak)};
}
