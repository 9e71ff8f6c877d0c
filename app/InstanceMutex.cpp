#include "app/InstanceMutex.h"

#include "files/Paths.h"
#include "files/String.h"

InstanceMutex TheInstanceMutex;

InstanceMutex::~InstanceMutex() {
    if (handle != nullptr) CloseHandle(handle);
}

bool InstanceMutex::TryLock() {
    // Mutex names cannot hold '\'; a trail byte equal to it stays as it is.
    Mivo::String name;
    Mivo::GetModulePath(nullptr, name);
    name.ReplaceChar('\\', '*');
    if (handle != nullptr) {
        CloseHandle(handle);
        handle = nullptr;
    }
    handle = CreateMutexA(nullptr, FALSE, name.Text());
    // A time-out, an abandoned mutex or a failure all count as another copy.
    return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
}
