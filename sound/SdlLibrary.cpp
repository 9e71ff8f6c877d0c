#include "sound/SdlLibrary.h"

#include <SDL.h>

namespace Mivo {

bool SdlLibrary::IsInitialised()
{
    // Built on the first question, destroyed at exit after every static built
    // later (the audio device among them).
    static SdlLibrary library;
    return library.initialised;
}

SdlLibrary::SdlLibrary() : initialised(SDL_Init(0) == 0)
{}

SdlLibrary::~SdlLibrary()
{
    if (initialised)
        SDL_Quit();
}

}  // namespace Mivo
