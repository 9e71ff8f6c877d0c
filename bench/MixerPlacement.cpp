// Linked into a second build of the scripted player, for comparison: the
// mixer's own placement, where a sample starts and every sound is cut at the
// start of the mixer's next buffer. The program's placement calls are wrapped
// at link time (-Wl,--wrap): a start plays the chunk's sound without its lead
// of silence, a cut halts every channel at once, and the strings' timers
// fire at the strings' own times.

#include "sound/Placement.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdint>

namespace {

constexpr int Channels = 16;  // as many as the program allocates
constexpr int FrameBytes = 4;

// What each channel plays: the chunk's sound, after its lead.
Mix_Chunk sounds[Channels];

}  // namespace

extern "C" {

int __wrap__ZN4Mivo9Placement5StartEP9Mix_Chunkiil(Mix_Chunk* chunk, int loops, int channel, std::int64_t)
{
    const auto lead = static_cast<Uint32>(Mivo::Placement::LeadFrames() * FrameBytes);
    SDL_LockAudio();
    if (channel == -1) {
        channel = 0;
        for (int i = Channels - 1; i >= 0; --i)
            if (!Mix_Playing(i))
                channel = i;
    }
    int playing = -1;
    if (channel >= 0 && channel < Channels && chunk->alen >= lead) {
        Mix_HaltChannel(channel);
        sounds[channel] = *chunk;
        sounds[channel].allocated = 0;
        sounds[channel].abuf = chunk->abuf + lead;
        sounds[channel].alen = chunk->alen - lead;
        playing = Mix_PlayChannelTimed(channel, &sounds[channel], loops, -1);
    }
    SDL_UnlockAudio();
    return playing;
}

void __wrap__ZN4Mivo9Placement6CutAllEl(std::int64_t)
{
    Mix_HaltChannel(-1);
}

int __wrap__ZN4Mivo9Placement22EarlyStartMillisecondsEv()
{
    return 0;
}

// Before a chunk is freed: nothing may play its sound any more.
void __wrap__ZN4Mivo9Placement17ReleaseChannelsOfEPK9Mix_Chunk(const Mix_Chunk*)
{
    Mix_HaltChannel(-1);
}

}  // extern "C"
