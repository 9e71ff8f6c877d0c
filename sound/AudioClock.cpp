#include "sound/AudioClock.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Mivo {
namespace {

// The loop's coefficients for a bandwidth in Hz: wide while it settles after
// a start, narrow afterwards, where callback jitter is averaged over seconds.
struct LoopGains {
    double b, c;
};

LoopGains GainsFor(double bandwidth, double periodSeconds)
{
    const double omega = 2 * std::numbers::pi * bandwidth * periodSeconds;
    return {std::numbers::sqrt2 * omega, omega * omega};
}

constexpr double SettlingBandwidth = 1.0;
constexpr double SteadyBandwidth = 0.05;
constexpr double SettlingSeconds = 3;
// A callback this many periods off the line (a stall, a suspended machine)
// starts the line again rather than bending it.
constexpr double RestartPeriods = 4;
constexpr double LateGapPeriods = 1.5;
constexpr double LateMargin = 1.5;
constexpr double UsualLatenessSeconds = 30;

// What is left, after one mix of this period, of the lateness learnt.
double ForgettingOver(double periodNs)
{
    return std::exp(-periodNs / (UsualLatenessSeconds * 1e9));
}

}  // namespace

AudioClock::AudioClock(int rate, int bufferFrames)
    : nominalPeriod(1e9 * bufferFrames / rate), bufferFrames(bufferFrames), forgetting(ForgettingOver(nominalPeriod))
{}

void AudioClock::Restart(std::int64_t now)
{
    last = static_cast<double>(now);
    period = nominalPeriod;
    next = last + period;
}

void AudioClock::CountLateMix(std::int64_t now)
{
    ++lateMixes;
    lateInARow = lateInARow > 0 && now - lastLateMix <= RepeatedWithinNs ? lateInARow + 1 : 1;
    lastLateMix = now;
}

void AudioClock::OnMix(std::int64_t now, int frames)
{
    if (frames > 0 && frames != bufferFrames) {
        // The device's own buffer: the line is made for it anew.
        nominalPeriod = nominalPeriod * frames / bufferFrames;
        bufferFrames = frames;
        forgetting = ForgettingOver(nominalPeriod);
        mixes = 0;
    }
    mixed += bufferFrames;
    ++mixes;
    const double sinceLastMix = static_cast<double>(now - lastMix);
    lastMix = now;
    const double error = static_cast<double>(now) - next;
    const bool settling = static_cast<double>(mixes) * nominalPeriod < SettlingSeconds * 1e9;
    // Late: more than a buffer beyond the lateness this device shows anyway
    // (some servers take several buffers at a time, so that their mixes come
    // in bursts), and long after the mix before (the mixes that catch up at
    // once after a late one are not late again). That lateness is learnt from
    // the mixes that are not late, and forgotten slowly.
    const double lateAfter = nominalPeriod + LateMargin * usualLateness;
    usualLateness *= forgetting;
    if (mixes > 1 && error <= lateAfter)
        usualLateness = std::max(usualLateness, error);
    else if (mixes > 1 && !settling && sinceLastMix > LateGapPeriods * nominalPeriod)
        CountLateMix(now);
    if (mixes == 1 || std::fabs(error) > RestartPeriods * nominalPeriod) {
        Restart(now);
        return;
    }
    const LoopGains gains = GainsFor(settling ? SettlingBandwidth : SteadyBandwidth, period * 1e-9);
    last = next;
    next += gains.b * error + period;
    period += gains.c * error;
}

double AudioClock::FrameAt(std::int64_t ns) const
{
    if (mixes == 0)
        return 0;
    // The last mix took the buffer before NextMixFrame() at last on the line,
    // and really at lastMix (from which the nominal pace, that no
    // disturbance has bent, goes on).
    const double lastMixFrame = static_cast<double>(mixed - bufferFrames);
    const double line = lastMixFrame + (static_cast<double>(ns) - last) / (next - last) * bufferFrames;
    const double seen = lastMixFrame + static_cast<double>(ns - lastMix) / nominalPeriod * bufferFrames;
    return std::max(line, seen - bufferFrames / 4.0);
}

}  // namespace Mivo
