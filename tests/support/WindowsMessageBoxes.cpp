// On Windows the program's message boxes go to the system through
// platform::ansi::MessageBoxA, which has no observer of its own: the test
// programs are linked with that call wrapped (--wrap, tests/support), and the
// wrapper shows the box only while no observer is set.

#include "platform/linux/ui/MessageBoxLog.h"

#include <atomic>

namespace {

std::atomic<platform::MessageBoxObserver> observer{nullptr};

}  // namespace

void platform::SetMessageBoxObserver(MessageBoxObserver newObserver)
{
    observer.store(newObserver);
}

int RealMessageBoxA(HWND, LPCSTR, LPCSTR, UINT) asm("__real__ZN8platform4ansi11MessageBoxAEP6HWND__PKcS4_j");
int WrappedMessageBoxA(HWND, LPCSTR, LPCSTR, UINT) asm("__wrap__ZN8platform4ansi11MessageBoxAEP6HWND__PKcS4_j");

int WrappedMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    if (platform::MessageBoxObserver seen = observer.load()) {
        seen(owner, text, caption, type);
        return IDOK;
    }
    return RealMessageBoxA(owner, text, caption, type);
}
