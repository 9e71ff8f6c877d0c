#include "tools/Effects.h"

#include "tools/Biquad.h"
#include "tools/Guitar.h"
#include "tools/NoteShaping.h"
#include "tools/Random.h"
#include "tools/SoundFontRenderer.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <optional>
#include <vector>

namespace {

constexpr double TwoPi = 2.0 * std::numbers::pi;

double Seconds(int n)
{
    return static_cast<double>(n) / SampleRate;
}

// A decaying sine starting at sample start.
void AddDampedSine(Signal& out, int start, double frequency, double level, double decaySeconds)
{
    for (int n = std::max(start, 0); n < static_cast<int>(out.size()); ++n) {
        const double t = Seconds(n - start);
        out[n] += level * std::exp(-t / decaySeconds) * std::sin(TwoPi * frequency * t);
    }
}

// A plucked string whose pitch may move (bends, hammer-ons): harmonic partials
// on one running phase, each decaying faster than the one below it.
void AddString(Signal& out, int start, const std::function<double(double)>& frequencyAt, int partials, double level,
               double decaySeconds)
{
    double phase = 0.0;
    for (int n = std::max(start, 0); n < static_cast<int>(out.size()); ++n) {
        const double t = Seconds(n - start);
        const double f0 = frequencyAt(t);
        double sample = 0.0;
        for (int k = 1; k <= partials && k * f0 < 9000.0; ++k) {
            const double partialDecay = decaySeconds / (1.0 + 0.35 * (k - 1));
            sample += std::sin(k * phase) * std::exp(-t / partialDecay) / k;
        }
        out[n] += level * sample;
        phase = std::fmod(phase + TwoPi * f0 / SampleRate, TwoPi);  // k * phase stays exact mod 2 pi
    }
}

// Body knock: the knuckle on the top, low wooden resonances and a click.
Signal Knock()
{
    Signal out(SamplesFor(0.30), 0.0);
    AddDampedSine(out, 0, 98.0, 1.0, 0.060);
    AddDampedSine(out, 0, 196.0, 0.6, 0.040);
    AddDampedSine(out, 0, 312.0, 0.4, 0.025);
    AddDampedSine(out, 0, 530.0, 0.25, 0.015);
    Random random(31);
    Biquad low;
    low.SetLowPass(1800.0, 0.7, SampleRate);
    for (int n = 0; n < SamplesFor(0.006); ++n)
        out[n] += 0.5 * std::exp(-n / (0.0015 * SampleRate)) * low.Process(random.Next());
    return out;
}

// String slap: the low string hits the frets and buzzes, with a bright crack.
Signal Slap()
{
    Signal out(SamplesFor(0.45), 0.0);
    AddString(
        out, 0, [](double) { return 82.41; }, 40, 1.0, 0.09);
    for (double& x : out)
        x = std::tanh(3.0 * x);  // the fret buzz
    Random random(32);
    Biquad high;
    high.SetHighPass(3000.0, 0.7, SampleRate);
    for (int n = 0; n < SamplesFor(0.010); ++n)
        out[n] += 0.8 * std::exp(-n / (0.002 * SampleRate)) * high.Process(random.Next());
    return out;
}

// Fret slide: a finger glides up a wound string; the windings make a rasp
// whose rate rises with the speed, under a faint gliding tone.
Signal Slide()
{
    Signal out(SamplesFor(0.80), 0.0);
    Random random(33);
    Biquad band;
    double ridgePhase = 0.0;
    for (int n = 0; n < static_cast<int>(out.size()); ++n) {
        const double t = Seconds(n);
        const double progress = t / 0.80;
        band.SetBandPass(600.0 + 1900.0 * progress, 2.0, SampleRate);
        ridgePhase += TwoPi * (60.0 + 140.0 * progress) / SampleRate;
        const double envelope = std::min(1.0, t / 0.05) * (1.0 - 0.6 * progress) * std::min(1.0, (0.80 - t) / 0.12);
        const double ridges = 0.55 + 0.45 * std::sin(ridgePhase);
        out[n] = envelope * ridges * band.Process(random.Next());
    }
    AddString(
        out, 0, [](double t) { return 110.0 * std::pow(1.5, std::min(t / 0.7, 1.0)); }, 6, 0.06, 0.5);
    return out;
}

// Natural harmonic at the twelfth fret: an almost pure, bell-like tone.
Signal Harmonic()
{
    Signal out(SamplesFor(0.95), 0.0);
    AddDampedSine(out, 0, 659.26, 1.0, 0.28);
    AddDampedSine(out, 0, 1318.51, 0.22, 0.20);
    AddDampedSine(out, 0, 1977.77, 0.07, 0.12);
    return out;
}

// Muted chuck: the palm damps all six strings as they are struck.
Signal Chuck()
{
    Signal out(SamplesFor(0.15), 0.0);
    const double strings[] = {82.41, 110.0, 146.83, 196.0, 246.94, 329.63};
    for (int i = 0; i < 6; ++i)
        AddDampedSine(out, SamplesFor(0.006 * i), strings[i], 0.5, 0.015);
    Random random(35);
    Biquad low;
    low.SetLowPass(1200.0, 0.7, SampleRate);
    for (int n = 0; n < static_cast<int>(out.size()); ++n)
        out[n] += 0.9 * std::exp(-n / (0.012 * SampleRate)) * low.Process(random.Next());
    return out;
}

// Pick scrape: the pick edge drawn down a wound string, a whistling rasp that
// falls in pitch.
Signal Scrape()
{
    Signal out(SamplesFor(0.60), 0.0);
    Random random(36);
    Biquad band;
    double ridgePhase = 0.0;
    for (int n = 0; n < static_cast<int>(out.size()); ++n) {
        const double t = Seconds(n);
        const double progress = t / 0.60;
        band.SetBandPass(5000.0 * std::pow(800.0 / 5000.0, progress), 8.0, SampleRate);
        ridgePhase += TwoPi * (180.0 - 90.0 * progress) / SampleRate;
        const double envelope = std::min(1.0, t / 0.02) * std::min(1.0, (0.60 - t) / 0.15);
        out[n] = envelope * (0.4 + 0.6 * std::abs(std::sin(ridgePhase))) * band.Process(random.Next());
    }
    return out;
}

// Hammer-on: A3 plucked, then a finger hammers the string to C4.
Signal Hammer()
{
    Signal out(SamplesFor(0.70), 0.0);
    AddString(
        out, 0, [](double t) { return t < 0.15 ? 220.0 : 261.63; }, 12, 1.0, 0.22);
    // The hammering finger excites the string once more.
    AddString(
        out, SamplesFor(0.15), [](double) { return 261.63; }, 12, 0.4, 0.18);
    return out;
}

// String bend: G3 plucked and pushed up a whole tone to A3.
Signal Bend()
{
    Signal out(SamplesFor(0.90), 0.0);
    AddString(
        out, 0,
        [](double t) {
            const double x = std::clamp((t - 0.15) / 0.30, 0.0, 1.0);
            const double smooth = x * x * (3.0 - 2.0 * x);
            return 196.0 * std::pow(2.0, 2.0 * smooth / 12.0);
        },
        12, 1.0, 0.30);
    return out;
}

// Rake: the pick drags across five muted strings and the top string rings.
Signal Rake()
{
    Signal out(SamplesFor(0.55), 0.0);
    const double muted[] = {82.41, 110.0, 146.83, 196.0, 246.94};
    for (int i = 0; i < 5; ++i) {
        const int start = SamplesFor(0.022 * i);
        AddString(
            out, start, [f = muted[i]](double) { return f; }, 10, 0.6, 0.025);
    }
    AddString(
        out, SamplesFor(0.11), [](double) { return 329.63; }, 10, 1.0, 0.20);
    return out;
}

// Finger squeak: skin sliding on a wound string, a short rising whistle.
Signal Squeak()
{
    Signal out(SamplesFor(0.25), 0.0);
    Random random(40);
    Biquad band;
    double phase = 0.0;
    for (int n = 0; n < static_cast<int>(out.size()); ++n) {
        const double t = Seconds(n);
        const double progress = t / 0.25;
        const double centre = 1500.0 * std::pow(4000.0 / 1500.0, progress);
        band.SetBandPass(centre, 12.0, SampleRate);
        phase += TwoPi * centre / SampleRate;
        const double envelope = std::sin(std::numbers::pi * progress);
        out[n] = envelope * (band.Process(random.Next()) + 0.08 * std::sin(phase));
    }
    return out;
}

// The effects that a General MIDI SoundFont plays better than the synthesizer:
// its own guitar harmonics and fret noise, and its guitar bent and hammered.
using Step = SoundFontRenderer::Step;
using Kind = Step::Kind;
constexpr int OwnProgram = SoundFontRenderer::OwnProgram;

struct SoundFontPhrase {
    int program;  // General MIDI program, or OwnProgram: the bank's guitar
    double seconds;
    std::vector<Step> steps;
};

std::vector<Step> BendSteps()
{
    // G3, pushed up a whole tone to A3 between 0.15 and 0.45 s.
    std::vector<Step> steps{{0.0, Kind::NoteOn, 55, 100}};
    for (double t = 0.15; t <= 0.45; t += 0.01) {
        const double x = (t - 0.15) / 0.30, smooth = x * x * (3.0 - 2.0 * x);
        steps.push_back({t, Kind::Bend, 2.0 * smooth});
    }
    return steps;
}

struct EffectRecipe {
    const char* name;
    Signal (*make)();
    std::optional<SoundFontPhrase> soundFont;
};

const EffectRecipe Recipes[EffectCount] = {
    {"fx_knock", Knock, {}},
    {"fx_slap", Slap, {}},
    {"fx_slide", Slide, {}},
    {"fx_harmonic", Harmonic, SoundFontPhrase{31, 0.95, {{0.0, Kind::NoteOn, 64, 100}}}},
    {"fx_chuck", Chuck, {}},
    {"fx_scrape", Scrape, {}},
    // The hammering finger shortens the ringing string: A3 jumps to B3.
    {"fx_hammer", Hammer, SoundFontPhrase{OwnProgram, 0.70, {{0.0, Kind::NoteOn, 57, 100}, {0.15, Kind::Bend, 2.0}}}},
    {"fx_bend", Bend, SoundFontPhrase{OwnProgram, 0.90, BendSteps()}},
    {"fx_rake", Rake, {}},
    {"fx_squeak", Squeak, SoundFontPhrase{120, 0.40, {{0.0, Kind::NoteOn, 60, 100}}}},
};

}  // namespace

std::string EffectName(int index)
{
    return Recipes[index].name;
}

Signal MakeEffect(int index, SoundFontRenderer* soundFont)
{
    const std::optional<SoundFontPhrase>& phrase = Recipes[index].soundFont;
    if (soundFont == nullptr || !phrase || (phrase->program != OwnProgram && !soundFont->HasProgram(phrase->program))) {
        Signal out = Recipes[index].make();
        ShapeEdges(out, 0.001, 0.05);
        return out;
    }
    // A little longer than kept, so that the silence before the onset can go.
    Signal out = soundFont->Phrase(phrase->program, phrase->steps, phrase->seconds + 0.05);
    StartAtOnset(out);
    out.resize(std::min(out.size(), static_cast<std::size_t>(SamplesFor(phrase->seconds))));
    ShapeEdges(out, 0.0, 0.10);
    return out;
}
