// The floor of heard_timing's soak: a bare SDL client that plays one
// continuous tone through the same driver, format and buffer as the program
// and nothing else. Whatever silence is heard inside its tone is the sound
// server's (and the machine's) own dropouts, with none of the program's work.
// The tone is a constant level, which a server's resampler leaves whole, so
// that any silence in it shows.
//
//   bare_tone <buffer frames> <seconds>
// Prints "playing" once the device runs, and exits after that many seconds.

#include "tests/e2e/TestBank.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

namespace {

void Tone(void* /*user*/, Uint8* stream, int length)
{
    auto* samples = reinterpret_cast<Sint16*>(stream);
    for (int i = 0; i < length / 2; ++i)
        samples[i] = static_cast<Sint16>(TestBank::LevelOf(0));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: bare_tone <buffer frames> <seconds>\n");
        return 2;
    }
    SDL_AudioSpec wanted{};
    wanted.freq = TestBank::Rate;
    wanted.format = AUDIO_S16LSB;
    wanted.channels = 2;
    wanted.samples = static_cast<Uint16>(std::atoi(argv[1]));
    wanted.callback = Tone;
    if (SDL_Init(SDL_INIT_AUDIO) != 0 || SDL_OpenAudio(&wanted, nullptr) != 0) {
        std::fprintf(stderr, "bare_tone: %s\n", SDL_GetError());
        return 1;
    }
    SDL_PauseAudio(0);
    std::printf("playing\n");
    std::fflush(stdout);
    SDL_Delay(static_cast<Uint32>(std::atoi(argv[2]) * 1000));
    SDL_CloseAudio();
    SDL_Quit();
    return 0;
}
