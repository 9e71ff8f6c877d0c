#include "tools/Bank.h"

#include "tools/Effects.h"
#include "tools/Guitar.h"
#include "tools/NoteShaping.h"
#include "tools/SoundFontRenderer.h"
#include "tools/WavWriter.h"

#include <algorithm>
#include <stdexcept>

static_assert(8 * SamplePeak <= 32767, "six strings and two effects together would clip");

std::string NoteFileName(int midiNote)
{
    static const char* const names[12] = {"c", "cs", "d", "ds", "e", "f", "fs", "g", "gs", "a", "as", "b"};
    return std::string("guitar_") + names[midiNote % 12] + std::to_string(midiNote / 12 - 1) + ".wav";
}

std::vector<BankSample> BuildBank(SoundFontRenderer* soundFont)
{
    std::vector<Signal> notes;
    for (int note = LowestNote; note <= HighestNote; ++note) {
        notes.push_back(soundFont != nullptr ? soundFont->Note(note, StrikeVelocity, NoteRenderSeconds)
                                             : PluckedNote(note));
        if (PeakOf(notes.back()) <= 0.0)  // a SoundFont whose samples are damaged or missing
            throw std::runtime_error("note " + std::to_string(note) + " makes no sound");
        StartAtOnset(notes.back());
        RingThenFade(notes.back());
    }
    LevelByLoudness(notes);
    double loudestPeak = 0.0;
    for (const Signal& note : notes)
        loudestPeak = std::max(loudestPeak, PeakOf(note));

    std::vector<BankSample> bank;
    for (int note = LowestNote; note <= HighestNote; ++note)
        bank.push_back({note - LowestNote, NoteFileName(note),
                        EncodeWav(Quantize(notes[note - LowestNote], SamplePeak / loudestPeak), SampleRate)});
    const int firstEffect = HighestNote - LowestNote + 1;
    for (int i = 0; i < EffectCount; ++i)
        bank.push_back({firstEffect + i, EffectName(i) + ".wav",
                        EncodeWav(QuantizeToPeak(MakeEffect(i, soundFont), SamplePeak), SampleRate)});
    return bank;
}

std::string MakeTable(const std::vector<BankSample>& bank, const std::string& source)
{
    // Comment lines must not hold a double quote: the table reader would take
    // it for the start of a quoted field running over the following lines.
    std::string from = source;
    for (char& c : from)
        if (c < 0x20 || c > 0x7E || c == '"')
            c = '_';
    std::string text = "# Strumkey sound bank, made by strumkey_bank: " + from +
                       "\n"
                       "# sound id,sample file (in se.dat, or in the folder se)\n"
                       "# 0 to 30: guitar notes, MIDI note 40 (E2) to 70 (A#4); id = note - 40\n"
                       "# 31 to 40: effects of the digit keys 1 to 9 and 0\n";
    for (const BankSample& sample : bank)
        text += std::to_string(sample.id) + "," + sample.fileName + "\n";
    return text;
}
