// The floors of heard_timing: a bare SDL client that plays through the same
// driver, format and buffer as the program and does nothing else.
//   - A continuous tone: whatever silence is heard inside it is the sound
//     server's (and the machine's) own dropouts, with none of the program's
//     work. The tone is a constant level, which a server's resampler leaves
//     whole, so that any silence in it shows.
//   - Clicks: each starts at the first frame of the next mix after its stamp,
//     the shortest way from a moment to a sound that SDL's callback allows,
//     with no placement of the program's. Key to sound through the same path,
//     less the program's own share.
//
//   bare_tone <buffer frames> <seconds> [a click every this many ms]
// Prints "playing" once the device runs, with clicks "stamp <ns>" (on the
// monotonic clock) as each is asked for, and exits after that many seconds.

#include "tests/e2e/TestBank.h"

#include <SDL.h>
#include <time.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr long ClickFrames = TestBank::Rate / 20;  // 50 ms

bool clicking = false;                // set before the device runs
std::atomic<bool> clickAsked{false};  // main thread to audio thread
long clickLeft = 0;                   // audio thread only

void Tone(void* /*user*/, Uint8* stream, int length)
{
    auto* samples = reinterpret_cast<Sint16*>(stream);
    const int frames = length / 4;  // 16-bit stereo
    if (clicking && clickAsked.exchange(false))
        clickLeft = ClickFrames;
    for (int i = 0; i < frames; ++i) {
        const bool sounding = !clicking || clickLeft > 0;
        if (clicking && clickLeft > 0)
            --clickLeft;
        samples[2 * i] = samples[2 * i + 1] = static_cast<Sint16>(sounding ? TestBank::LevelOf(0) : 0);
    }
}

long long Now()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: bare_tone <buffer frames> <seconds> [a click every this many ms]\n");
        return 2;
    }
    const int clickEveryMs = argc == 4 ? std::atoi(argv[3]) : 0;
    clicking = clickEveryMs > 0;
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
    const Uint32 milliseconds = static_cast<Uint32>(std::atoi(argv[2]) * 1000);
    if (clicking) {
        // The first click once the stream has settled, as the program's first key.
        SDL_Delay(1000);
        for (Uint32 at = 1000; at + clickEveryMs <= milliseconds; at += clickEveryMs) {
            std::printf("stamp %lld\n", Now());
            clickAsked = true;
            SDL_Delay(static_cast<Uint32>(clickEveryMs));
        }
        std::fflush(stdout);
    } else {
        SDL_Delay(milliseconds);
    }
    SDL_CloseAudio();
    SDL_Quit();
    return 0;
}
