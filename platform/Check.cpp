#include "platform/Check.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace platform {

void CheckFailed(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}

// The main thread's id is the process id, after a fork too.
bool OnMainThread()
{
    return ::gettid() == ::getpid();
}

}  // namespace platform
