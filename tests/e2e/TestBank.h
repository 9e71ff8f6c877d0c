#pragma once
// A sound bank whose samples name themselves in the mixed output: sample id
// is a constant level, distinct for every id, in the device's own format, so
// that the mixer adds it to the output unchanged (at full volume). Guitar
// notes (ids 0 to 30) last 27 ms, so that two strings of a stroke overlap
// only at the shortest intervals; effects (31 to 40) are long enough to be heard
// under a stroke and to be cut off.

#include "stroke/ChordShapes.h"

#include <string>
#include <vector>

namespace TestBank {

constexpr int Rate = 22050;  // frames per second
// The program's buffer when its settings name none.
constexpr int DefaultBufferFrames = 256;
constexpr int NoteFrames = 600;
constexpr int EffectFrames = 44100;
constexpr int FirstId = 0;
constexpr int LastId = 40;

// Levels grow by 20 from 2000: any two sounding at once add up to more than
// any one alone.
constexpr int LevelOf(int id)
{
    return 2000 + 20 * id;
}
constexpr int FramesOf(int id)
{
    return id <= 30 ? NoteFrames : EffectFrames;
}

// The environment of SDL's disk driver writing to file at about the pace of a
// sound card with a buffer of frames. The driver sleeps whole milliseconds
// after each buffer, so at the buffer's length rounded up it runs a little
// slower than a sound card (12 ms for 11.6 at 256 frames), which the
// placement follows.
std::vector<std::string> DiskAudio(const std::string& file, int frames);

// The level of id after the mixer's volume (0 to 128) has scaled it.
constexpr int LevelAt(int id, int volume)
{
    return LevelOf(id) * volume / 128;
}

// Writes se.csv and the folder se with one WAV file per id into folder.
void Write(const std::string& folder);

}  // namespace TestBank
