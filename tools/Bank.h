#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The default sound bank: one sample per sound identifier, ready to write.
struct BankSample {
    int id;
    std::string fileName;  // plain lower-case name, e.g. "guitar_e2.wav"
    std::vector<std::uint8_t> wav;
};

// Guitar notes sit at MIDI notes 40 to 70 as identifiers 0 to 30; the effects
// of the digit keys follow as identifiers 31 to 40.
constexpr int LowestNote = 40;
constexpr int HighestNote = 70;

// Peak of the loudest note and of every effect in 16-bit units (about
// -18 dBFS). The program mixes up to eight channels by adding them (six
// strings and two effects), so eight peaks together must stay within 32767.
constexpr int SamplePeak = 4000;

// How hard the SoundFont's strings are struck (MIDI velocity).
constexpr int StrikeVelocity = 100;

class SoundFontRenderer;

// The notes and effects, played on the SoundFont's instrument, or synthesized
// when soundFont is null. Every note starts on its first sample, is levelled
// by loudness and rings out with a fade.
std::vector<BankSample> BuildBank(SoundFontRenderer* soundFont);

// The sound table text: comment lines (the first says where the sounds come
// from), then "id,fileName" per sample.
std::string MakeTable(const std::vector<BankSample>& bank, const std::string& source);

// "guitar_e2.wav", "guitar_fs2.wav", ...
std::string NoteFileName(int midiNote);
