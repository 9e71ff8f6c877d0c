#pragma once
// One copy of the program per executable file: a named mutex derived from the
// executable's path, owned until its handle closes at process end.

#include "platform/Win32.h"

class InstanceMutex {
public:
    InstanceMutex() = default;
    // Closes the handle: ownership ends with the process.
    ~InstanceMutex();
    InstanceMutex(const InstanceMutex&) = delete;
    InstanceMutex& operator=(const InstanceMutex&) = delete;

    // True when this process now owns the mutex of its executable; false when
    // another copy does or the mutex cannot be had.
    bool TryLock();

private:
    HANDLE handle = nullptr;
};

// The process-wide holder, empty until WinMain tries it.
extern InstanceMutex TheInstanceMutex;
