#include "sound/Chunk.h"

#include "sound/AudioDevice.h"
#include "sound/ResourceStream.h"

#include <SDL_mixer.h>

namespace Mivo {

Chunk::Chunk() : audioOpen(AudioDevice::IsOpen())
{
}

Chunk::~Chunk()
{
    Free();
}

bool Chunk::Load(const char* path)
{
    if (!audioOpen)
        return true;
    Free();
    // The mixer closes the stream itself (the 1), whether it decodes or not,
    // and fails cleanly on a null stream.
    sample = Mix_LoadWAV_RW(OpenResourceStream(path), 1);
    return sample != nullptr;
}

// Runs on the dialog thread and the timer thread: no allocation, no lock of
// ours, only the mixer's own.
int Chunk::Play(int loops, int channel)
{
    if (sample == nullptr)
        return -1;
    int playing = Mix_PlayChannelTimed(channel, sample, loops, -1);
    if (playing == -1)
        playing = Mix_PlayChannelTimed(0, sample, loops, -1);
    return playing;
}

void Chunk::Free()
{
    if (sample == nullptr)
        return;
    const int channels = Mix_AllocateChannels(-1);
    for (int i = 0; i < channels; ++i)
        if (Mix_GetChunk(i) == sample)
            Mix_Pause(i);
    Mix_FreeChunk(sample);
    sample = nullptr;
}

}  // namespace Mivo
