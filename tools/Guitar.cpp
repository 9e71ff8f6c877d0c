#include "tools/Guitar.h"

#include "tools/Biquad.h"
#include "tools/NoteShaping.h"
#include "tools/Random.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numbers>

namespace {

constexpr double HighestPartial = 10000.0;  // Hz; keeps every partial below Nyquist
constexpr double AttackSeconds = 0.0015;

// Amplitude decay rate in nepers per second of a partial at frequency f of the
// given note: string losses grow with frequency, and the thick low strings
// lose less of their energy per second, so they ring longest.
double DecayRate(double f, int midiNote)
{
    return 0.55 + 0.015 * (midiNote - 40) + 0.0006 * f + 5.0e-8 * f * f;
}

// Stiffness stretches the upper partials slightly, the thin strings more.
double Inharmonicity(int midiNote)
{
    return 1.5e-5 + 3.0e-6 * (midiNote - 40);
}

// The body: broad low resonances of the air cavity and top plate, and a top
// that radiates the upper partials more readily than the low ones.
double BodyGain(double f)
{
    auto peak = [f](double centre, double width, double gain) {
        const double d = (f - centre) / width;
        return gain / (1.0 + d * d);
    };
    return 1.0 + f / 1300.0 + peak(100.0, 25.0, 0.8) + peak(205.0, 45.0, 0.5) + peak(420.0, 140.0, 0.3);
}

// The width of the pick rounds off only the very top of the spectrum.
double PickGain(double f)
{
    return 1.0 / (1.0 + std::pow(f / 9000.0, 4.0));
}

// One exponentially decaying sine starting at phase 0. Phasor rotation is much
// cheaper than a sine per sample and stays exact enough in double precision.
void AddDecayingSine(Signal& out, double f, double amplitude, double rate)
{
    const double w = 2.0 * std::numbers::pi * f / SampleRate;
    const double decay = std::exp(-rate / SampleRate);
    const double cw = std::cos(w) * decay, sw = std::sin(w) * decay;
    double c = amplitude, s = 0.0;
    for (double& x : out) {
        x += s;
        const double nc = c * cw - s * sw;
        s = s * cw + c * sw;
        c = nc;
        if (std::abs(c) + std::abs(s) < 1e-7)
            break;
    }
}

// Each partial rings in the string's two polarisations: parallel to the top
// it decays slowly; at right angles to it the string drives the bridge harder
// and dies sooner. The two are a few cents apart, so the level beats slowly.
void AddString(Signal& out, int midiNote)
{
    // The same pattern of splits on every string keeps neighbouring notes
    // equally loud.
    Random splits(0x5EED);
    const double f0 = NoteFrequency(midiNote);
    // Higher notes are fretted, so the pick sits relatively farther from the
    // bridge on the shorter string.
    const double pluckPosition = 0.13 + 0.06 * (midiNote - 40) / 30.0;
    const double b = Inharmonicity(midiNote);
    for (int k = 1;; ++k) {
        // Stretched so that the fundamental itself stays exactly at f0.
        const double f = k * f0 * std::sqrt((1.0 + b * k * k) / (1.0 + b));
        if (f >= HighestPartial)
            break;
        const double amplitude =
            std::abs(std::sin(k * std::numbers::pi * pluckPosition)) / k * BodyGain(f) * PickGain(f);
        // 0.8 to 3.2 cents; the fundamental's pair is narrow and centred on it
        // to hold the pitch.
        const double spread = splits.Next();
        const double cents = k == 1 ? 0.6 : 2.0 + 1.2 * spread;
        const double split = std::exp2(cents / 2400.0);
        const double rate = DecayRate(f, midiNote);
        AddDecayingSine(out, f * split, 0.5 * amplitude, rate);
        AddDecayingSine(out, f / split, 0.5 * amplitude, 2.0 * rate);
    }
}

// The pick scraping off the string: a burst of broadband noise with a short
// rustle after it, heard directly and through the resonances of the body,
// which fill the spectrum between the partials.
void AddPickAndBody(Signal& out, int midiNote)
{
    struct Mode {
        double hz, q, gain;
    };
    constexpr Mode modes[] = {{100.0, 9.0, 1.0}, {205.0, 10.0, 0.8}, {390.0, 8.0, 0.6},
                              {720.0, 7.0, 0.5}, {1300.0, 6.0, 0.4}, {2500.0, 5.0, 0.35}};
    Biquad resonators[std::size(modes)];
    for (std::size_t i = 0; i < std::size(modes); ++i)
        resonators[i].SetBandPass(modes[i].hz, modes[i].q, SampleRate);
    Random random(0x5EED0000u + midiNote);
    const int length = std::min(SamplesFor(0.6), static_cast<int>(out.size()));
    for (int n = 0; n < length; ++n) {
        const double t = static_cast<double>(n) / SampleRate;
        const double noise = random.Next() * (std::exp(-t / 0.0015) + 0.15 * std::exp(-t / 0.04));
        double body = 0.0;
        for (std::size_t i = 0; i < std::size(modes); ++i)
            body += modes[i].gain * resonators[i].Process(noise);
        out[n] += 3.0 * (0.6 * noise + body);
    }
}

}  // namespace

double NoteFrequency(int midiNote)
{
    return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
}

Signal PluckedNote(int midiNote)
{
    Signal out(SamplesFor(NoteRenderSeconds), 0.0);
    AddString(out, midiNote);
    AddPickAndBody(out, midiNote);
    // Only the start is shaped: the bank maker trims and fades the end itself.
    ShapeEdges(out, AttackSeconds, 0.0);
    return out;
}
