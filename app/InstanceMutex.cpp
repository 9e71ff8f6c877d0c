#include "app/InstanceMutex.h"

#include "files/Paths.h"
#include "files/String.h"

InstanceMutex TheInstanceMutex;

bool InstanceMutex::TryLock()
{
    // Mutex names cannot hold '\'; a trail byte equal to it stays as it is.
    Mivo::String name;
    Mivo::GetModulePath(nullptr, name);
    name.ReplaceChar('\\', '*');
    // The old handle closes first, so that a second try does not count the
    // mutex it already holds as its own.
    handle.Reset();
    handle.Reset(CreateMutexA(nullptr, FALSE, name.Text()));
    // A time-out, an abandoned mutex or a failure all count as another copy.
    return WaitForSingleObject(handle.Get(), 0) == WAIT_OBJECT_0;
}
