#include "platform/Check.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>

namespace platform {

void CheckFailed(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}

#ifdef _WIN32
namespace {
// Static objects are made on the main thread, before main.
const DWORD MainThreadId = GetCurrentThreadId();
}  // namespace

bool OnMainThread()
{
    return GetCurrentThreadId() == MainThreadId;
}
#else
// The main thread's id is the process id, after a fork too.
bool OnMainThread()
{
    return ::gettid() == ::getpid();
}
#endif

}  // namespace platform
