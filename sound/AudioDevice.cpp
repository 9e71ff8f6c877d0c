#include "sound/AudioDevice.h"

#include "sound/Placement.h"
#include "sound/SdlLibrary.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstring>

namespace Mivo {
namespace {

constexpr int Rate = 22050;
int bufferFrames = 1024;

// PipeWire's graph is heard only after one of its own cycles and the ring
// behind it: at 256 frames even a bare client's click takes 17 to 21 ms
// (p99) through it, at 128 about 18. Through PulseAudio and Windows' engine
// 256 frames are heard within 15 ms and break up less under load.
int DefaultBufferFramesOf(const char* driver)
{
    return std::strcmp(driver, "pipewire") == 0 ? 128 : 256;
}

}  // namespace

void AudioDevice::UseBufferFrames(int frames)
{
    bufferFrames = frames;
}

int AudioDevice::BufferFrames()
{
    return bufferFrames;
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
    if (bufferFrames == DriverDefault) {
        char driver[32] = "";
        bufferFrames = DefaultBufferFramesOf(SDL_AudioDriverName(driver, sizeof driver) ? driver : "");
    }
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
