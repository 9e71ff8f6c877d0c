#include "sound/AudioDevice.h"

#include "sound/Placement.h"
#include "sound/SdlLibrary.h"

#include <SDL.h>
#include <SDL_mixer.h>

namespace Mivo {
namespace {

constexpr int Rate = 22050;
int bufferFrames = 1024;

}  // namespace

void AudioDevice::UseBufferFrames(int frames)
{
    bufferFrames = frames;
}

bool AudioDevice::IsOpen()
{
    // Its construction asks for the SDL core first, so the core outlives it.
    static AudioDevice device;
    return device.opened;
}

AudioDevice::AudioDevice()
{
    if (!SdlLibrary::IsInitialised())
        return;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) < 0)
        return;
    opened = Mix_OpenAudio(Rate, AUDIO_S16LSB, 2, bufferFrames) == 0;
    if (opened)
        Placement::Open(Rate, bufferFrames);
}

AudioDevice::~AudioDevice()
{
    if (!opened)
        return;
    Placement::Close();
    // The mixer counts its opens; close it as often as it says it is open.
    int frequency = 0;
    Uint16 format = 0;
    int channels = 0;
    const int opens = Mix_QuerySpec(&frequency, &format, &channels);
    for (int i = 0; i < opens; ++i)
        Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace Mivo
