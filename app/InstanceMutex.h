#pragma once
// One copy of the program per executable file: a named mutex derived from the
// executable's path, owned until its handle closes at process end.

#include "platform/UniqueHandle.h"

class InstanceMutex {
public:
    // True when this process now owns the mutex of its executable; false when
    // another copy does or the mutex cannot be had.
    bool TryLock();

private:
    platform::UniqueHandle handle;  // closed at process end, when ownership ends
};

// The process-wide holder, empty until WinMain tries it.
extern InstanceMutex TheInstanceMutex;
