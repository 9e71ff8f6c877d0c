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

}  // namespace

AudioClock::AudioClock(int rate, int bufferFrames)
    : nominalPeriod_(1e9 * bufferFrames / rate), bufferFrames_(bufferFrames)
{}

void AudioClock::Restart(std::int64_t now)
{
    last_ = static_cast<double>(now);
    period_ = nominalPeriod_;
    next_ = last_ + period_;
}

void AudioClock::OnMix(std::int64_t now, int frames)
{
    if (frames > 0 && frames != bufferFrames_) {
        // The device's own buffer: the line is made for it anew.
        nominalPeriod_ = nominalPeriod_ * frames / bufferFrames_;
        bufferFrames_ = frames;
        mixes_ = 0;
    }
    mixed_ += bufferFrames_;
    ++mixes_;
    lastMix_ = now;
    const double error = static_cast<double>(now) - next_;
    if (mixes_ == 1 || std::fabs(error) > RestartPeriods * nominalPeriod_) {
        Restart(now);
        return;
    }
    const bool settling = static_cast<double>(mixes_) * nominalPeriod_ < SettlingSeconds * 1e9;
    const LoopGains gains = GainsFor(settling ? SettlingBandwidth : SteadyBandwidth, period_ * 1e-9);
    last_ = next_;
    next_ += gains.b * error + period_;
    period_ += gains.c * error;
}

double AudioClock::FrameAt(std::int64_t ns) const
{
    if (mixes_ == 0)
        return 0;
    // The last mix took the buffer before NextMixFrame() at last_ on the line,
    // and really at lastMix_ (from which the nominal pace, that no
    // disturbance has bent, goes on).
    const double lastMixFrame = static_cast<double>(mixed_ - bufferFrames_);
    const double line = lastMixFrame + (static_cast<double>(ns) - last_) / (next_ - last_) * bufferFrames_;
    const double seen = lastMixFrame + static_cast<double>(ns - lastMix_) / nominalPeriod_ * bufferFrames_;
    return std::max(line, seen - bufferFrames_ / 4.0);
}

}  // namespace Mivo
