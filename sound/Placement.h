#pragma once
// Mivo::Placement: where in the output stream a sample starts and where the
// sounds are cut. Left to itself the mixer starts a sample, and halts one, at
// the start of its next buffer; here each lands on a frame of its own, the
// moment it was asked for plus one constant latency on the audio clock:
//  - a start plays the chunk from within the silence that every chunk
//    carries before its sound (LeadFrames), so that the sound begins on its
//    frame inside the buffer;
//  - a cut plays every sound on from where it is up to the cut's frame and
//    no further.
// A cut anchors the starts that follow (a stroke's strings): their frames are
// the anchor's plus their distance in time at the nominal rate, exactly, as
// long as they fit the silence before a sound.
//
// Every function takes the mixer's own lock (SDL_LockAudio), as the mixer's
// calls do, and nothing allocates after Open: they run on the dialog thread,
// on the timer thread (Start) and, for the clock, on the audio thread.

#include <cstdint>

struct Mix_Chunk;

namespace Mivo {

class Placement {
public:
    // Once the device is open: its rate and buffer, the mixer's channels,
    // and the clock's hook after every mix.
    static void Open(int rate, int bufferFrames);
    static void Close();

    // The mixer's buffer, in frames: as the device took it once it has mixed
    // (some sound servers' drivers mix half of what was asked for at a time).
    static int BufferFrames();
    // Frames of silence before the sound of every chunk that Start plays:
    // fixed at Open, from the buffer asked for.
    static int LeadFrames();

    // How long before its time a start may be asked for, in milliseconds:
    // one buffer as asked for, 30 ms at the least. A string's timer that
    // fires this early leaves the timer thread as much more room to come
    // late, unheard.
    static int EarlyStartMilliseconds();

    // Starts the chunk (LeadFrames of silence, then its sound) on channel
    // (-1: the first free one; channel 0 when none is free), its sound to
    // begin on the frame of time due (Placement::Now). Looping
    // chunks start at the next buffer, without their silence. The channel,
    // or -1 when the mixer refused.
    static int Start(Mix_Chunk* chunk, int loops, int channel, std::int64_t due);

    // Cuts every sound on the frame of time due, and anchors later starts there.
    static void CutAll(std::int64_t due);

    // Pauses the channels that play the chunk and ends their play, as the
    // mixer does for the channels of a chunk that it frees.
    static void ReleaseChannelsOf(const Mix_Chunk* chunk);

    // Whether the device has run dry again and again since it opened (the
    // audio clock's RepeatedlyLate, kept once seen), and how many of its
    // mixes came late: from any thread, without the lock.
    static bool HasBrokenUp();
    static long LateMixes();

    // Whether the device rests: nothing has sounded for some seconds, and
    // its driver stops its stream while SDL's device is paused (PulseAudio,
    // WASAPI). The next start or cut wakes it. Any thread.
    static bool IsResting();

    // Now on the clock that due times are given in: the performance
    // counter, in nanoseconds.
    static std::int64_t Now();
};

}  // namespace Mivo
