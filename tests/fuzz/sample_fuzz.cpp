// Samples through the mixer. The input is a sample file, loaded on the open
// device as the program loads it. Whatever the header says, loading neither
// crashes nor reads past the file; the header check leaves the stream where
// it was, a sample it refuses never loads, and a sample that loads plays.

#include "sound/AudioDevice.h"
#include "sound/Chunk.h"
#include "sound/ResourceStream.h"
#include "sound/SampleCheck.h"
#include "tests/fuzz/FuzzSupport.h"

#include <SDL_mixer.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The program's device, on a driver that plays nothing, opened once.
    static const bool open = (setenv("SDL_AUDIODRIVER", "dummy", 0), Mivo::AudioDevice::IsOpen());
    STRUMKEY_CHECK(open);
    const std::string path = FuzzScratch::Get().Write("sample.wav", data, size);

    SDL_RWops* stream = Mivo::OpenResourceStream(path.c_str());
    STRUMKEY_CHECK(stream != nullptr);
    const int middle = static_cast<int>(size / 2);
    SDL_RWseek(stream, middle, RW_SEEK_SET);
    Mivo::SampleHeaderIsSafe(stream);
    STRUMKEY_CHECK(SDL_RWtell(stream) == middle);
    SDL_RWseek(stream, 0, RW_SEEK_SET);
    const bool safe = Mivo::SampleHeaderIsSafe(stream);
    STRUMKEY_CHECK(SDL_RWtell(stream) == 0);
    SDL_RWclose(stream);

    Mivo::Chunk chunk;
    const bool loaded = chunk.Load(path.c_str());
    STRUMKEY_CHECK(safe || !loaded);
    if (loaded) {
        const int channel = chunk.Play(0, -1);
        STRUMKEY_CHECK(channel >= 0);
        Mix_HaltChannel(channel);
    }
    return 0;
}
