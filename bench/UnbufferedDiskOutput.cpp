// Preloaded into the player by heard_timing: the file that SDL's disk driver
// writes (SDL_DISKAUDIOFILE) is opened without stdio's buffer, so that each
// mixed buffer reaches the file the moment it is played and the file's growth
// is the driver's own clock. Every other file is opened as usual.

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using OpenFunction = FILE* (*)(const char*, const char*);

FILE* Unbuffered(FILE* file, const char* path)
{
    const char* output = std::getenv("SDL_DISKAUDIOFILE");
    if (file != nullptr && output != nullptr && std::strcmp(path, output) == 0)
        std::setvbuf(file, nullptr, _IONBF, 0);
    return file;
}

}  // namespace

extern "C" FILE* fopen(const char* path, const char* mode)
{
    static const auto next = reinterpret_cast<OpenFunction>(dlsym(RTLD_NEXT, "fopen"));
    return Unbuffered(next(path, mode), path);
}

extern "C" FILE* fopen64(const char* path, const char* mode)
{
    static const auto next = reinterpret_cast<OpenFunction>(dlsym(RTLD_NEXT, "fopen64"));
    return Unbuffered(next(path, mode), path);
}
