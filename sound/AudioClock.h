#pragma once
// Mivo::AudioClock: where the mixer's output stream stands in time. The mix
// of every buffer is timed on the monotonic clock, and a delay-locked loop
// smooths those times into a line from time to output frame: a callback that
// comes late, or a little early, moves no placement, and a device whose rate
// differs a little from the nominal one is followed.
//
// Not thread-safe by itself: its owner calls it under the audio lock.

#include <cstdint>

namespace Mivo {

class AudioClock {
public:
    AudioClock(int rate, int bufferFrames);

    // The buffer that starts at frame NextMixFrame() has just been mixed, at
    // time now (nanoseconds of the monotonic clock); frames, when given, is
    // its length if the device took another than it was asked for.
    void OnMix(std::int64_t now, int frames = 0);

    // The device stopped mixing for a rest and goes on now: the line starts
    // again at the next mix (until then a start goes to the next mix), and
    // the gap is no underrun.
    void Resume() { mixes = 0; }

    // The first frame of the next mix.
    std::int64_t NextMixFrame() const { return mixed; }
    // The frames of one mix: as asked for, or as the device took them.
    int BufferFrames() const { return bufferFrames; }

    // The output frame that the device takes at time ns, on the smoothed line
    // (a frame is taken when its buffer is mixed), but never more than a
    // quarter buffer behind what the last mix shows: after a disturbance (the
    // program's own start-up, a device that stalled and does not make it up)
    // the line may lag for seconds, and every start would then land at the
    // next buffer. Before the first mix the stream starts at the time asked.
    double FrameAt(std::int64_t ns) const;

    // Mixes that came, once the line had settled, more than a buffer later
    // than this device's mixes usually come, and half a buffer later than one
    // after the mix before: each time the device had run dry, and a sound
    // that was playing broke off.
    long LateMixes() const { return lateMixes; }
    // Whether that has happened again and again: RepeatedLateMixes late
    // mixes, each within RepeatedWithinNs of the one before. One alone (a
    // machine that slept, a moment of heavy load) is not a pattern.
    bool RepeatedlyLate() const { return lateInARow >= RepeatedLateMixes; }
    static constexpr int RepeatedLateMixes = 3;
    static constexpr std::int64_t RepeatedWithinNs = 10'000'000'000;

private:
    void Restart(std::int64_t now);
    void CountLateMix(std::int64_t now);

    double nominalPeriod;  // one buffer at the nominal rate, in ns
    int bufferFrames;
    std::int64_t mixed = 0;  // frames mixed so far
    long mixes = 0;
    std::int64_t lastMix = 0;  // when the last mix really came
    long lateMixes = 0;
    double usualLateness = 0;  // ns after the line, learnt
    double forgetting;         // of usualLateness, at each mix
    int lateInARow = 0;        // late mixes, each soon after the one before
    std::int64_t lastLateMix = 0;
    // The loop: the smoothed time of the last mix, the predicted time of the
    // next one, and the period it has learnt.
    double last = 0, next = 0, period = 0;
};

}  // namespace Mivo
