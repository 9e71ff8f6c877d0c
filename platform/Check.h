#pragma once
// STRUMKEY_CHECK(condition): a rule of the code, checked in every build, the
// release build included, as the rules it guards hold in every build. A
// broken rule prints where it broke on standard error and stops the program
// at once, before it can do harm (a trigger left pending over freed memory,
// settings changed under another thread).

namespace platform {

[[noreturn]] void CheckFailed(const char* condition, const char* file, int line);

// True on the process's main thread: the one that runs main, and in a child
// made by fork its only thread.
bool OnMainThread();

}  // namespace platform

#define STRUMKEY_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : ::platform::CheckFailed(#condition, __FILE__, __LINE__))
