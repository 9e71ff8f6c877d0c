#pragma once
// Mivo::Chunk: one sample decoded into memory, started on a mixer channel on
// demand, its sound placed on the frame of the time asked for (see
// Placement.h). With the audio device closed a chunk is silent: it loads
// nothing, reports success and never plays.

#include <cstdint>

struct Mix_Chunk;

namespace Mivo {

class Chunk {
public:
    Chunk();
    virtual ~Chunk();
    Chunk(const Chunk&) = delete;
    Chunk& operator=(const Chunk&) = delete;

    // Decodes the resource at path (e.g. "se\\clip.wav"), replacing what was
    // loaded before. True when decoded, and always true when silent.
    bool Load(const char* path);

    // Starts the sample on channel (-1: any free one), taking over channel 0
    // when none is free, to sound at time due (Placement::Now) plus
    // the output's latency; without a time, now. The channel that plays, or -1.
    int Play(int loops, int channel);
    int Play(int loops, int channel, std::int64_t due);

    // Pauses the channels still playing the sample, then frees it.
    void Free();

private:
    Mix_Chunk* sample = nullptr;
    bool audioOpen;
};

}  // namespace Mivo
