#include "stroke/MidiNotes.h"

#include <atomic>
#include <bit>
#include <cstdint>

namespace {

constexpr int Channels = 16;
constexpr int Words = 128 / 64;  // per channel, a bit for each note
constexpr BYTE ReleaseVelocity = 64;

std::atomic<HMIDIOUT> Output{nullptr};
std::atomic<std::uint64_t> Sounding[Channels][Words];

DWORD PackNoteOff(unsigned channel, unsigned note)
{
    return (0x80 | channel) | (note << 8) | (static_cast<DWORD>(ReleaseVelocity) << 16);
}

}  // namespace

void SendMidiNotesTo(HMIDIOUT midiOut)
{
    Output.store(midiOut, std::memory_order_relaxed);
}

bool SendsMidiNotes()
{
    return Output.load(std::memory_order_relaxed) != nullptr;
}

BYTE MidiVelocity(BYTE strength)
{
    return static_cast<BYTE>(1 + (strength < 128 ? strength : 128) * 126 / 128);
}

void SendNoteOn(DWORD message)
{
    HMIDIOUT midiOut = Output.load(std::memory_order_relaxed);
    if (midiOut == nullptr)
        return;
    const unsigned channel = message & 0x0F;
    const unsigned note = (message >> 8) & 0x7F;
    const std::uint64_t bit = std::uint64_t{1} << (note % 64);
    if (Sounding[channel][note / 64].fetch_or(bit, std::memory_order_relaxed) & bit)
        midiOutShortMsg(midiOut, PackNoteOff(channel, note));
    midiOutShortMsg(midiOut, message);
}

void SendNoteOffs()
{
    HMIDIOUT midiOut = Output.load(std::memory_order_relaxed);
    for (unsigned channel = 0; channel < Channels; ++channel) {
        for (unsigned word = 0; word < Words; ++word) {
            for (std::uint64_t notes = Sounding[channel][word].exchange(0, std::memory_order_relaxed); notes != 0;
                 notes &= notes - 1) {
                if (midiOut != nullptr)
                    midiOutShortMsg(midiOut, PackNoteOff(channel, word * 64 + std::countr_zero(notes)));
            }
        }
    }
}
