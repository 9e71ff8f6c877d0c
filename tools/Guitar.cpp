#include "tools/Guitar.h"

#include "tools/Biquad.h"
#include "tools/Random.h"

#include <cmath>
#include <numbers>

namespace {

constexpr double NoteSeconds = 2.0;
constexpr double HighestPartial = 9500.0;  // Hz; keeps every partial well below Nyquist

// Amplitude decay rate in nepers per second of a partial at frequency f:
// string losses grow with frequency, so the low partials ring longest.
double DecayRate(double f)
{
    return 1.9 + 0.0012 * f + 3.0e-7 * f * f;
}

// A gentle body: broad resonances of the air cavity and top plate.
double BodyGain(double f)
{
    auto peak = [f](double centre, double width, double gain) {
        const double d = (f - centre) / width;
        return gain / (1.0 + d * d);
    };
    return 1.0 + peak(100.0, 25.0, 0.8) + peak(205.0, 45.0, 0.5) + peak(420.0, 140.0, 0.3);
}

// The pick rounds off the top of the spectrum.
double PickGain(double f)
{
    return 1.0 / (1.0 + (f / 4200.0) * (f / 4200.0));
}

// Every partial is an exact integer multiple of f0, so the note's period, and
// with it the pitch, is exactly that of f0.
void AddPartials(Signal& out, double f0, double pluckPosition)
{
    const int length = static_cast<int>(out.size());
    for (int k = 1; k * f0 < HighestPartial; ++k) {
        const double f = k * f0;
        const double amplitude =
            std::abs(std::sin(k * std::numbers::pi * pluckPosition)) / k * BodyGain(f) * PickGain(f);
        // Two decays: a bright prompt part and the long aftersound.
        const double slow = std::exp(-DecayRate(f) / SampleRate);
        const double fast = std::exp(-4.0 * DecayRate(f) / SampleRate);
        double slowLevel = 0.65 * amplitude;
        double fastLevel = 0.35 * amplitude;
        // Phasor rotation is much cheaper than a sine per sample and stays exact
        // enough over two seconds in double precision.
        const double w = 2.0 * std::numbers::pi * f / SampleRate;
        const double cw = std::cos(w), sw = std::sin(w);
        double c = 1.0, s = 0.0;
        for (int n = 0; n < length; ++n) {
            out[n] += (slowLevel + fastLevel) * s;
            const double nc = c * cw - s * sw;
            s = s * cw + c * sw;
            c = nc;
            slowLevel *= slow;
            fastLevel *= fast;
            if (slowLevel < 1e-9 * amplitude)
                break;
        }
    }
}

// The pick leaving the string: a few milliseconds of band-limited noise.
void AddPickNoise(Signal& out, int midiNote, double level)
{
    Random random(0x5EED0000u + midiNote);
    Biquad band;
    band.SetBandPass(2600.0, 0.9, SampleRate);
    const int length = SamplesFor(0.015);
    for (int n = 0; n < length && n < static_cast<int>(out.size()); ++n) {
        const double envelope = std::exp(-n / (0.003 * SampleRate));
        out[n] += level * envelope * band.Process(random.Next());
    }
}

}  // namespace

double NoteFrequency(int midiNote)
{
    return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
}

Signal PluckedNote(int midiNote)
{
    Signal out(SamplesFor(NoteSeconds), 0.0);
    // Higher notes are fretted, so the pick sits relatively farther from the
    // bridge on the shorter string.
    const double pluckPosition = 0.13 + 0.06 * (midiNote - 40) / 30.0;
    const double f0 = NoteFrequency(midiNote);
    AddPartials(out, f0, pluckPosition);
    AddPickNoise(out, midiNote, 0.12 * PeakOf(out));
    ShapeEdges(out, 0.002, 0.08);
    return out;
}
