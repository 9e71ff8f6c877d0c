#pragma once

#include "tools/Signal.h"

#include <memory>
#include <string>
#include <vector>

// Plays notes of one instrument of a SoundFont through libfluidsynth and
// gives back what was heard, dry (no reverb, no chorus), at the bank's rate.
class SoundFontRenderer {
public:
    // Loads the SoundFont file and selects bank and program (0-based, as in
    // MIDI: 25 is the General MIDI steel-string guitar). On failure the
    // renderer is unusable and Error() says why.
    SoundFontRenderer(const std::string& path, int bank, int program);
    ~SoundFontRenderer();
    SoundFontRenderer(const SoundFontRenderer&) = delete;
    SoundFontRenderer& operator=(const SoundFontRenderer&) = delete;

    bool Usable() const { return error.empty(); }
    const std::string& Error() const { return error; }

    // Whether the same SoundFont holds another program of bank 0.
    bool HasProgram(int program) const;

    // One struck note held for the whole length, as recorded.
    Signal Note(int midiNote, int velocity, double seconds);

    // A short phrase on one program of bank 0, or on the renderer's own with
    // OwnProgram: each step, in time order, starts a note or moves the pitch
    // bend (in semitones, up to 2 either way).
    struct Step {
        double seconds;
        enum class Kind { NoteOn, Bend } kind;
        double value;  // note, or semitones of bend
        int velocity = 0;
    };
    static constexpr int OwnProgram = -1;
    Signal Phrase(int program, const std::vector<Step>& steps, double seconds);

private:
    struct Synth;
    std::unique_ptr<Synth> synth;
    std::string error;
    int bank = 0, program = 0;
};
