// Preloaded into the program by app_bench: every call that starts a sample
// on a mixer channel is stamped with the monotonic clock (shared by all
// processes) into the file named by STRUMKEY_BENCH_PROBE, one line of
// nanoseconds per call, and then passed on to the mixer.

#include <dlfcn.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

struct Mix_Chunk;

namespace {

using PlayFunction = int (*)(int, Mix_Chunk*, int, int);

int ProbeFile()
{
    static const int file = [] {
        const char* path = std::getenv("STRUMKEY_BENCH_PROBE");
        return path != nullptr ? open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644) : -1;
    }();
    return file;
}

}  // namespace

extern "C" int Mix_PlayChannelTimed(int channel, Mix_Chunk* chunk, int loops, int ticks)
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    static const auto next = reinterpret_cast<PlayFunction>(dlsym(RTLD_NEXT, "Mix_PlayChannelTimed"));
    // One write per line, so lines from the main and timer threads never mix.
    char line[32];
    const int length =
        std::snprintf(line, sizeof line, "%lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
    if (ProbeFile() >= 0 && length > 0 && write(ProbeFile(), line, static_cast<size_t>(length)) < 0) {
        // A lost stamp only shortens the series.
    }
    return next != nullptr ? next(channel, chunk, loops, ticks) : -1;
}
