#pragma once
// The objects behind HANDLEs. Every handle the platform hands out is the
// address of a heap object derived from KernelObject and entered in one table,
// so a handle that was never opened or is already closed is recognised and
// refused instead of being used.

#include "platform/Win32.h"

#include <memory>

namespace platform {

class KernelObject {
public:
    // Takes ownership of fd (-1 for none); the destructor closes it.
    explicit KernelObject(int fd = -1) : fd(fd) {}
    virtual ~KernelObject();
    KernelObject(const KernelObject&) = delete;
    KernelObject& operator=(const KernelObject&) = delete;

    int Fd() const { return fd; }
    // False for objects that have a closing call of their own (FindClose).
    virtual bool ClosedByCloseHandle() const { return true; }

private:
    int fd;
};

// Enters the object in the table and returns its handle.
HANDLE AddHandle(std::shared_ptr<KernelObject> object);

// The live object behind a handle; empty for an unknown handle. The result
// keeps the object alive while it is in use, even if the handle is closed.
std::shared_ptr<KernelObject> FindHandle(HANDLE handle);

template <class T>
std::shared_ptr<T> FindHandleOf(HANDLE handle)
{
    return std::dynamic_pointer_cast<T>(FindHandle(handle));
}

// Removes a handle whose object passes the test (any object when test is
// null) and returns the object; it dies with its last user. Empty when the
// handle is unknown or refused.
std::shared_ptr<KernelObject> RemoveHandle(HANDLE handle, bool (*test)(const KernelObject&));

}  // namespace platform
