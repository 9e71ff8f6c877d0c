#include "sound/Chunk.h"

#include "sound/AudioDevice.h"
#include "sound/Placement.h"
#include "sound/ResourceStream.h"
#include "sound/SampleCheck.h"

#include <SDL_mixer.h>

#include <cstdint>
#include <cstring>

namespace Mivo {

Chunk::Chunk() : audioOpen(AudioDevice::IsOpen())
{}

Chunk::~Chunk()
{
    Free();
}

bool Chunk::Load(const char* path)
{
    if (!audioOpen)
        return true;
    Free();
    SDL_RWops* stream = OpenResourceStream(path);
    if (stream == nullptr)
        return false;
    // Some damaged samples crash the audio libraries: those never reach them.
    // The stream stays ours (the 0): some loaders leave it open when they
    // fail, which would keep the file open.
    Mix_Chunk* decoded = SampleHeaderIsSafe(stream) ? Mix_LoadWAV_RW(stream, 0) : nullptr;
    SDL_RWclose(stream);
    if (decoded == nullptr)
        return false;
    // The silence that lets a start land inside a buffer, before the sound,
    // in a block that the mixer frees as its own; the sum must fit its
    // 32-bit length.
    const Uint32 lead = static_cast<Uint32>(Placement::LeadFrames()) * 4;
    if (decoded->alen > UINT32_MAX - lead) {
        Mix_FreeChunk(decoded);
        return false;
    }
    auto* padded = static_cast<Uint8*>(SDL_malloc(lead + decoded->alen));
    if (padded == nullptr) {
        Mix_FreeChunk(decoded);
        return false;
    }
    std::memset(padded, 0, lead);
    std::memcpy(padded + lead, decoded->abuf, decoded->alen);
    if (decoded->allocated)
        SDL_free(decoded->abuf);
    decoded->abuf = padded;
    decoded->alen += lead;
    decoded->allocated = 1;
    sample = decoded;
    return true;
}

int Chunk::Play(int loops, int channel)
{
    return Play(loops, channel, Placement::Now());
}

// Runs on the dialog thread and the timer thread: no allocation, no lock of
// ours, only the mixer's own.
int Chunk::Play(int loops, int channel, std::int64_t due)
{
    if (sample == nullptr)
        return -1;
    int playing = Placement::Start(sample, loops, channel, due);
    if (playing == -1)
        playing = Placement::Start(sample, loops, 0, due);
    return playing;
}

void Chunk::Free()
{
    if (sample == nullptr)
        return;
    Placement::ReleaseChannelsOf(sample);
    Mix_FreeChunk(sample);
    sample = nullptr;
}

}  // namespace Mivo
