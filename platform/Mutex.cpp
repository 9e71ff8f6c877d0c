// kernel32: named mutexes between processes. A mutex is a lock file under the
// user's runtime folder named from a hash of the mutex name; the owner holds
// it with flock, so the lock dies with the owning process. Within the process
// every handle of one name shares one mutex, which knows its owning thread.

#include "platform/Errors.h"
#include "platform/Handles.h"
#include "platform/Win32.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace platform {
namespace {

long ThisThread()
{
    return ::syscall(SYS_gettid);
}

class SharedMutex {
public:
    SharedMutex(std::string name, int fd) : name(std::move(name)), fd(fd) {}
    ~SharedMutex();
    SharedMutex(const SharedMutex&) = delete;
    SharedMutex& operator=(const SharedMutex&) = delete;

    // WAIT_OBJECT_0 when the calling thread now owns the mutex, else
    // WAIT_TIMEOUT once the time is up.
    DWORD Acquire(DWORD timeout);
    bool Release();

private:
    bool TryAcquire();

    std::string name;  // empty for an unnamed mutex
    int fd;            // -1 for an unnamed mutex
    std::mutex lock;
    long owner = 0;
    unsigned count = 0;
};

// Named mutexes open in this process. The entries do not keep them alive:
// the last handle closes the file and so releases the lock.
struct Registry {
    std::mutex lock;
    std::map<std::string, std::weak_ptr<SharedMutex>> named;
};

Registry& Named()
{
    static Registry* registry = new Registry;
    return *registry;
}

SharedMutex::~SharedMutex()
{
    if (fd >= 0)
        ::close(fd);  // also releases the lock of an owner
    if (name.empty())
        return;
    Registry& registry = Named();
    std::lock_guard guard(registry.lock);
    auto it = registry.named.find(name);
    if (it != registry.named.end() && it->second.expired())
        registry.named.erase(it);
}

bool SharedMutex::TryAcquire()
{
    std::lock_guard guard(lock);
    const long me = ThisThread();
    if (owner == me) {
        ++count;
        return true;
    }
    if (owner != 0)
        return false;
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return false;
    owner = me;
    count = 1;
    return true;
}

DWORD SharedMutex::Acquire(DWORD timeout)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout);
    for (;;) {
        if (TryAcquire())
            return WAIT_OBJECT_0;
        if (timeout != INFINITE && Clock::now() >= deadline)
            return WAIT_TIMEOUT;
        // Neither flock nor the owner can wake us: look again shortly.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

bool SharedMutex::Release()
{
    std::lock_guard guard(lock);
    if (owner != ThisThread())
        return false;
    if (--count == 0) {
        owner = 0;
        if (fd >= 0)
            ::flock(fd, LOCK_UN);
    }
    return true;
}

class MutexObject : public KernelObject {
public:
    explicit MutexObject(std::shared_ptr<SharedMutex> mutex) : mutex(std::move(mutex)) {}
    SharedMutex& Mutex() { return *mutex; }

private:
    std::shared_ptr<SharedMutex> mutex;
};

std::string LockFileOf(const std::string& name)
{
    // FNV-1a over the name's bytes: case matters, as in Windows object names.
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (unsigned char c : name)
        hash = (hash ^ c) * 0x100000001B3ull;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder = runtime != nullptr && *runtime != '\0' ? runtime : "/tmp";
    char file[64];
    std::snprintf(file, sizeof file, "/win32-mutex-%u-%016llx.lock", static_cast<unsigned>(::getuid()),
                  static_cast<unsigned long long>(hash));
    return folder + file;
}

std::shared_ptr<SharedMutex> OpenNamed(const std::string& name, bool& existed)
{
    Registry& registry = Named();
    std::lock_guard guard(registry.lock);
    if (auto mutex = registry.named[name].lock()) {
        existed = true;
        return mutex;
    }
    existed = false;
    const int fd = ::open(LockFileOf(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        registry.named.erase(name);
        SetLastError(ErrorFromErrno(errno));
        return nullptr;
    }
    auto mutex = std::make_shared<SharedMutex>(name, fd);
    registry.named[name] = mutex;
    return mutex;
}

}  // namespace
}  // namespace platform

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCSTR name)
{
    using namespace platform;
    bool existed = false;
    std::shared_ptr<SharedMutex> mutex;
    if (name == nullptr || *name == '\0')
        mutex = std::make_shared<SharedMutex>(std::string(), -1);
    else
        mutex = OpenNamed(name, existed);
    if (!mutex)
        return nullptr;
    // Only a new mutex is taken at creation, and only when it is free.
    if (initialOwner && !existed)
        mutex->Acquire(0);
    HANDLE handle = AddHandle(std::make_shared<MutexObject>(std::move(mutex)));
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

BOOL ReleaseMutex(HANDLE handle)
{
    auto mutex = platform::FindHandleOf<platform::MutexObject>(handle);
    if (!mutex) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!mutex->Mutex().Release()) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD timeout)
{
    auto mutex = platform::FindHandleOf<platform::MutexObject>(handle);
    if (!mutex) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    return mutex->Mutex().Acquire(timeout);
}
