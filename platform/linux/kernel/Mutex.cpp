// kernel32: named mutexes between processes. A mutex is a lock file named
// from a hash of the mutex name, in a folder of the user's own that no other
// user can write to; the owner holds it with flock, so the lock dies with the
// owning process. Within the process every handle of one name shares one
// mutex, which knows its owning thread.
//
// The last owner to close removes the file, and the first mutex a process
// opens removes the files nobody holds, left by killed owners. A file is
// removed only under its lock, and a lock taken counts only while the file
// still has its name: a process that waited on a file since removed opens
// the name again.

#include "platform/linux/kernel/Errors.h"
#include "platform/linux/kernel/FolderEntries.h"
#include "platform/linux/kernel/Handles.h"
#include "platform/Win32.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

// ---- Lock files ----

constexpr const char* LockPrefix = "win32-mutex-";

// A folder that is this user's and nobody else's: not a link, owned by the
// user, writable by no one else.
bool IsPrivateFolder(const std::string& path)
{
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
           (info.st_mode & 077) == 0;
}

// The folder made (or found) private: a folder of the user's own whose mode
// was wider is narrowed; one that is somebody else's, or a link, is not used.
bool MadePrivate(const std::string& path)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    if (IsPrivateFolder(path))
        return true;
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
           ::chmod(path.c_str(), 0700) == 0 && IsPrivateFolder(path);
}

std::string Variable(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The session's runtime folder when it is private, else a private folder
// under /tmp named for the user, else (another user took that name) one in
// the user's cache folder. Empty when there is none.
std::string ChooseLockFolder()
{
    const std::string runtime = Variable("XDG_RUNTIME_DIR");
    if (!runtime.empty() && IsPrivateFolder(runtime))
        return runtime;
    const std::string shared = "/tmp/" + std::string(LockPrefix) + std::to_string(::getuid());
    if (MadePrivate(shared))
        return shared;
    std::string cache = Variable("XDG_CACHE_HOME");
    if (cache.empty() && !Variable("HOME").empty())
        cache = Variable("HOME") + "/.cache";
    if (cache.empty() || (::mkdir(cache.c_str(), 0700) != 0 && errno != EEXIST))
        return {};
    const std::string own = cache + "/" + LockPrefix + "locks";
    return MadePrivate(own) ? own : std::string();
}

// Opens a lock file of the user's own, never through a link.
int OpenOwnFile(const std::string& path, int flags)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC | flags, 0600);
    struct stat info;
    if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::getuid())) {
        ::close(fd);
        errno = EACCES;
        return -1;
    }
    return fd;
}

// The lock file at path, made when create. In the private folder only the
// superuser, or another user while the folder was open to others, can have
// put anything else there (a link, somebody else's file): that is removed
// and the file made anew, never trusted.
int OpenLockFile(const std::string& path, bool create)
{
    const int fd = OpenOwnFile(path, create ? O_CREAT : 0);
    if (fd >= 0 || !create || (errno != EACCES && errno != ELOOP))
        return fd;
    ::unlink(path.c_str());
    return OpenOwnFile(path, O_CREAT);
}

// Whether the locked file fd still has its name at path.
bool StillNamed(int fd, const std::string& path)
{
    struct stat held, named;
    return ::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

// Removes the lock files of the folder that nobody holds.
void RemoveUnheldLocks(const std::string& folder)
{
    for (const std::string& file : FolderEntries(folder)) {
        if (!file.starts_with(LockPrefix) || !file.ends_with(".lock"))
            continue;
        const std::string path = folder + "/" + file;
        const int fd = OpenLockFile(path, false);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && StillNamed(fd, path))
            ::unlink(path.c_str());
        ::close(fd);
    }
}

// The folder, chosen and cleared once a process.
const std::string& LockFolder()
{
    static const std::string folder = [] {
        std::string chosen = ChooseLockFolder();
        if (!chosen.empty())
            RemoveUnheldLocks(chosen);
        return chosen;
    }();
    return folder;
}

// ---- Mutexes ----

class SharedMutex {
public:
    SharedMutex(std::string name, std::string path, int fd) : name(std::move(name)), path(std::move(path)), fd(fd) {}
    ~SharedMutex();
    SharedMutex(const SharedMutex&) = delete;
    SharedMutex& operator=(const SharedMutex&) = delete;

    // WAIT_OBJECT_0 when the calling thread now owns the mutex, else
    // WAIT_TIMEOUT once the time is up.
    DWORD Acquire(DWORD timeout);
    bool Release();

private:
    bool TryAcquire();
    // Takes the lock file's lock for this process; called under lock.
    bool LockFileLocked();

    std::string name;  // empty for an unnamed mutex
    std::string path;  // of its lock file; empty for an unnamed mutex
    int fd;            // -1 for an unnamed mutex, or one whose file is lost
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
    if (fd >= 0) {
        if (owner != 0)
            ::unlink(path.c_str());  // under the lock: nobody else holds it
        ::close(fd);                 // also releases the lock of an owner
    }
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
    if (owner != 0 || !LockFileLocked())
        return false;
    owner = me;
    count = 1;
    return true;
}

bool SharedMutex::LockFileLocked()
{
    if (path.empty())
        return true;  // unnamed: this process's alone
    // A file removed by its last owner while this one waited is opened
    // again by its name: the name's file is now another, or none yet.
    for (int tries = 0; tries < 3 && fd >= 0; ++tries) {
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
            return false;
        if (StillNamed(fd, path))
            return true;
        ::close(fd);
        fd = OpenLockFile(path, true);
    }
    return false;
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
    char file[64];
    std::snprintf(file, sizeof file, "/%s%016llx.lock", LockPrefix, static_cast<unsigned long long>(hash));
    return LockFolder() + file;
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
    if (LockFolder().empty()) {
        registry.named.erase(name);
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    const std::string path = LockFileOf(name);
    const int fd = OpenLockFile(path, true);
    if (fd < 0) {
        registry.named.erase(name);
        SetLastError(ErrorFromErrno(errno));
        return nullptr;
    }
    auto mutex = std::make_shared<SharedMutex>(name, path, fd);
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
        mutex = std::make_shared<SharedMutex>(std::string(), std::string(), -1);
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
