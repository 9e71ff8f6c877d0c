// Preloaded into the program by app_bench: every time the program takes the
// audio lock, as each start and cut of a sound does, is stamped with the
// monotonic clock (shared by all processes) into the file named by
// STRUMKEY_BENCH_PROBE, one line of nanoseconds per call, and the call then
// passed on to SDL. The program takes it on no other path. Only where SDL is
// a shared library: the SDL that this project builds is linked into the
// program, out of a probe's reach, and then no call is stamped.

#include <dlfcn.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

using LockFunction = void (*)();

int ProbeFile()
{
    static const int file = [] {
        const char* path = std::getenv("STRUMKEY_BENCH_PROBE");
        return path != nullptr ? open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644) : -1;
    }();
    return file;
}

}  // namespace

extern "C" void SDL_LockAudio()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    static const auto next = reinterpret_cast<LockFunction>(dlsym(RTLD_NEXT, "SDL_LockAudio"));
    // One write per line, so lines from the main and timer threads never mix.
    char line[32];
    const int length =
        std::snprintf(line, sizeof line, "%lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
    if (ProbeFile() >= 0 && length > 0 && write(ProbeFile(), line, static_cast<size_t>(length)) < 0) {
        // A lost stamp only shortens the series.
    }
    if (next != nullptr)
        next();
}
