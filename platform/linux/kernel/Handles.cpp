#include "platform/linux/kernel/Handles.h"

#include <mutex>
#include <unordered_map>
#include <unistd.h>

namespace platform {

namespace {

struct HandleTable {
    std::mutex lock;
    std::unordered_map<HANDLE, std::shared_ptr<KernelObject>> objects;
};

// Never destroyed: static objects of the program close their handles in their
// own destructors at exit, possibly after this table would have gone.
HandleTable& Table()
{
    static HandleTable* table = new HandleTable;
    return *table;
}

}  // namespace

KernelObject::~KernelObject()
{
    if (fd >= 0)
        ::close(fd);
}

HANDLE AddHandle(std::shared_ptr<KernelObject> object)
{
    HANDLE handle = object.get();
    HandleTable& table = Table();
    std::lock_guard guard(table.lock);
    table.objects.emplace(handle, std::move(object));
    return handle;
}

std::shared_ptr<KernelObject> FindHandle(HANDLE handle)
{
    HandleTable& table = Table();
    std::lock_guard guard(table.lock);
    auto it = table.objects.find(handle);
    return it == table.objects.end() ? nullptr : it->second;
}

std::shared_ptr<KernelObject> RemoveHandle(HANDLE handle, bool (*test)(const KernelObject&))
{
    std::shared_ptr<KernelObject> object;
    HandleTable& table = Table();
    {
        std::lock_guard guard(table.lock);
        auto it = table.objects.find(handle);
        if (it == table.objects.end() || (test && !test(*it->second)))
            return nullptr;
        object = std::move(it->second);
        table.objects.erase(it);
    }
    return object;
}

}  // namespace platform

BOOL CloseHandle(HANDLE object)
{
    // The object is destroyed here, outside the table's lock, unless a call in
    // another thread is still using it.
    auto removed =
        platform::RemoveHandle(object, [](const platform::KernelObject& o) { return o.ClosedByCloseHandle(); });
    if (!removed) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
