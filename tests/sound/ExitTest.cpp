// Process exit: the audio device closes the mixer as often as it is open,
// then the audio subsystem, and only then the SDL core. The program's calls
// to SDL go through the wrappers below (linked with --wrap), which log them.

#include "sound/AudioDevice.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Filled while static objects are destroyed: a plain array, itself never
// destroyed.
char calls[256];

void Log(const char* name)
{
    std::strncat(calls, name, sizeof calls - std::strlen(calls) - 1);
}

// Runs after every static object built later than its registration.
void CheckAtExit()
{
    int frequency = 0;
    Uint16 format = 0;
    int channels = 0;
    const bool closed = Mix_QuerySpec(&frequency, &format, &channels) == 0;
    const bool ok = closed && std::strcmp(calls, "close close quit-audio quit ") == 0;
    if (!ok)
        std::fprintf(stderr, "at exit: %s (mixer %s)\n", calls, closed ? "closed" : "still open");
    std::_Exit(ok ? 0 : 1);
}

}  // namespace

extern "C" {
void __real_Mix_CloseAudio();
void __real_SDL_QuitSubSystem(Uint32 flags);
void __real_SDL_Quit();

// With SDL linked in, the wrappers also see SDL's calls to itself: the last
// Mix_CloseAudio() quits the audio subsystem on its own. Only the program's
// calls are logged.
static bool insideMixer = false;

void __wrap_Mix_CloseAudio()
{
    Log("close ");
    insideMixer = true;
    __real_Mix_CloseAudio();
    insideMixer = false;
}

void __wrap_SDL_QuitSubSystem(Uint32 flags)
{
    if (!insideMixer)
        Log(flags == SDL_INIT_AUDIO ? "quit-audio " : "quit-other ");
    __real_SDL_QuitSubSystem(flags);
}

void __wrap_SDL_Quit()
{
    Log("quit ");
    __real_SDL_Quit();
}
}

namespace {

TEST(ExitTest, MixerClosesAsOftenAsOpenBeforeSdlQuits)
{
    // In a process of its own (gtest's death test), which ends by exit.
    EXPECT_EXIT(
        {
            std::atexit(CheckAtExit);
            if (!Mivo::AudioDevice::IsOpen())
                std::_Exit(2);
            // Someone else opened the mixer once more: both opens are closed.
            if (Mix_OpenAudio(22050, AUDIO_S16LSB, 2, 1024) != 0)
                std::_Exit(3);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "")
        << "2: device not open, 3: second open failed, 1: wrong order at exit";
}

}  // namespace
