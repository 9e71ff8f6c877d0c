#include "tools/SoundFontRenderer.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <numbers>

namespace {

// The synthesizer runs at twice the bank's rate, and a low-pass filter takes
// out what would alias before every other sample is kept: resampling the
// recordings straight to 22050 Hz would fold their highs back down.
constexpr int RenderRate = 2 * SampleRate;
constexpr int Channel = 0;

// Windowed-sinc low-pass with its edge just below the bank's Nyquist
// frequency, applied while keeping every other sample.
Signal Decimate(const std::vector<float>& input)
{
    constexpr int Taps = 95;
    constexpr double Cutoff = 10000.0 / RenderRate;
    static const std::vector<double> kernel = [] {
        std::vector<double> h(Taps);
        double sum = 0.0;
        for (int i = 0; i < Taps; ++i) {
            const double m = i - (Taps - 1) / 2.0;
            const double sinc =
                m == 0.0 ? 2.0 * Cutoff : std::sin(2.0 * std::numbers::pi * Cutoff * m) / (std::numbers::pi * m);
            const double x = 2.0 * std::numbers::pi * i / (Taps - 1);
            h[i] = sinc * (0.42 - 0.5 * std::cos(x) + 0.08 * std::cos(2.0 * x));  // Blackman
            sum += h[i];
        }
        for (double& v : h)
            v /= sum;
        return h;
    }();
    // The filter's delay is taken out, so the note keeps its timing.
    const long delay = (Taps - 1) / 2;
    Signal out(input.size() / 2);
    for (long n = 0; n < static_cast<long>(out.size()); ++n) {
        double sum = 0.0;
        for (int i = 0; i < Taps; ++i) {
            const long at = 2 * n + delay - i;
            if (at >= 0 && at < static_cast<long>(input.size()))
                sum += kernel[i] * input[at];
        }
        out[n] = sum;
    }
    return out;
}

// libfluidsynth reports through a global log; its errors become ours.
std::string lastLibraryError;

void KeepError(int level, const char* message, void*)
{
    if (level <= FLUID_ERR && message != nullptr)
        lastLibraryError = message;
}

}  // namespace

struct SoundFontRenderer::Synth {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    int fontId = FLUID_FAILED;

    ~Synth()
    {
        if (synth != nullptr)
            delete_fluid_synth(synth);
        if (settings != nullptr)
            delete_fluid_settings(settings);
    }

    // Renders the mono sum of both outputs.
    Signal Render(double seconds, const std::function<void(double)>& atTime);
};

Signal SoundFontRenderer::Synth::Render(double seconds, const std::function<void(double)>& atTime)
{
    constexpr int Block = 64;  // the synthesizer's own block; events land on it
    const int length = static_cast<int>(std::lround(seconds * RenderRate)) / Block * Block;
    std::vector<float> left(length), right(length);
    for (int at = 0; at < length; at += Block) {
        atTime(static_cast<double>(at) / RenderRate);
        fluid_synth_write_float(synth, Block, left.data(), at, 1, right.data(), at, 1);
    }
    for (int i = 0; i < length; ++i)
        left[i] = 0.5f * (left[i] + right[i]);
    // The next note starts from silence: the voices are stopped, and played
    // until their last block has gone (a reset here would undo the stop).
    fluid_synth_all_sounds_off(synth, -1);
    std::vector<float> scratch(Block);
    for (int at = 0; at < RenderRate; at += Block) {
        fluid_synth_write_float(synth, Block, scratch.data(), 0, 1, scratch.data(), 0, 1);
        if (std::all_of(scratch.begin(), scratch.end(), [](float v) { return v == 0.0f; }))
            break;
    }
    return Decimate(left);
}

SoundFontRenderer::SoundFontRenderer(const std::string& path, int bank, int program)
    : synth(std::make_unique<Synth>()), bank(bank), program(program)
{
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
        fluid_set_log_function(level, KeepError, nullptr);
    lastLibraryError.clear();

    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error = "cannot read " + path;
        return;
    }
    if (!fluid_is_soundfont(path.c_str())) {
        error = path + " is not a SoundFont";
        return;
    }
    synth->settings = new_fluid_settings();
    if (synth->settings == nullptr) {
        error = "cannot start the synthesizer";
        return;
    }
    fluid_settings_setnum(synth->settings, "synth.sample-rate", RenderRate);
    fluid_settings_setint(synth->settings, "synth.reverb.active", 0);
    fluid_settings_setint(synth->settings, "synth.chorus.active", 0);
    fluid_settings_setnum(synth->settings, "synth.gain", 1.0);
    // Only the samples of the notes played are read from the file.
    fluid_settings_setint(synth->settings, "synth.dynamic-sample-loading", 1);
    synth->synth = new_fluid_synth(synth->settings);
    if (synth->synth == nullptr) {
        error = "cannot start the synthesizer";
        return;
    }
    synth->fontId = fluid_synth_sfload(synth->synth, path.c_str(), 0);
    if (synth->fontId == FLUID_FAILED) {
        error = "cannot load " + path + (lastLibraryError.empty() ? "" : ": " + lastLibraryError);
        return;
    }
    fluid_sfont_t* font = fluid_synth_get_sfont_by_id(synth->synth, synth->fontId);
    if (font == nullptr || fluid_sfont_get_preset(font, bank, program) == nullptr) {
        error = path + " has no program " + std::to_string(program) + " in bank " + std::to_string(bank);
        return;
    }
}

SoundFontRenderer::~SoundFontRenderer() = default;

bool SoundFontRenderer::HasProgram(int otherProgram) const
{
    fluid_sfont_t* font = Usable() ? fluid_synth_get_sfont_by_id(synth->synth, synth->fontId) : nullptr;
    return font != nullptr && fluid_sfont_get_preset(font, 0, otherProgram) != nullptr;
}

Signal SoundFontRenderer::Note(int midiNote, int velocity, double seconds)
{
    return Phrase(OwnProgram, {{0.0, Step::Kind::NoteOn, static_cast<double>(midiNote), velocity}}, seconds);
}

Signal SoundFontRenderer::Phrase(int phraseProgram, const std::vector<Step>& steps, double seconds)
{
    if (!Usable())
        return {};
    if (phraseProgram == OwnProgram)
        fluid_synth_program_select(synth->synth, Channel, synth->fontId, bank, program);
    else
        fluid_synth_program_select(synth->synth, Channel, synth->fontId, 0, phraseProgram);
    constexpr double BendRange = 2.0;  // semitones at full deflection
    fluid_synth_pitch_wheel_sens(synth->synth, Channel, static_cast<int>(BendRange));
    fluid_synth_pitch_bend(synth->synth, Channel, 8192);
    std::size_t next = 0;
    return synth->Render(seconds, [&](double now) {
        for (; next < steps.size() && steps[next].seconds <= now; ++next) {
            const Step& step = steps[next];
            const int note = static_cast<int>(step.value);
            if (step.kind == Step::Kind::NoteOn)
                fluid_synth_noteon(synth->synth, Channel, note, step.velocity);
            else
                fluid_synth_pitch_bend(synth->synth, Channel,
                                       std::clamp(static_cast<int>(8192 + step.value / BendRange * 8191), 0, 16383));
        }
    });
}
