#pragma once
// Mivo::SdlLibrary: the SDL core, initialised the first time anybody asks and
// shut down at process exit.

namespace Mivo {

class SdlLibrary {
public:
    // SDL_Init(0) on the first call; its outcome from then on.
    static bool IsInitialised();

    SdlLibrary(const SdlLibrary&) = delete;
    SdlLibrary& operator=(const SdlLibrary&) = delete;

private:
    SdlLibrary();
    ~SdlLibrary();

    bool initialised = false;
};

}  // namespace Mivo
