// kernel32: private-profile (.ini) files. The file is read whole for every
// call (nothing is cached) and every write replaces it whole, through a
// temporary file, so that no reader ever sees it half written.

#include "platform/linux/kernel/Errors.h"
#include "platform/linux/kernel/FileAttributes.h"
#include "platform/linux/kernel/FolderEntries.h"
#include "platform/linux/profile/IniText.h"
#include "platform/linux/kernel/PathMapping.h"
#include "platform/Win32.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Calls of this process on profile files take turns, as on Windows.
std::mutex profileLock;

DWORD WriteError(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return ERROR_DISK_FULL;
    case ENOENT:
        return ERROR_PATH_NOT_FOUND;  // the folder is missing
    default:
        return platform::ErrorFromErrno(error);
    }
}

// Owns a file descriptor.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd(fd) {}
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int Get() const { return fd; }
    // Closes now, reporting the error that close() may bring (delayed write
    // errors on some file systems).
    bool Close()
    {
        int result = ::close(fd);
        fd = -1;
        return result == 0;
    }

private:
    int fd;
};

// A temporary file that is removed unless it was renamed into place.
class TempFile {
public:
    ~TempFile()
    {
        if (!path.empty())
            ::unlink(path.c_str());
    }
    std::string path;
};

// The state of a profile file before a call.
struct FileContents {
    bool exists = false;
    struct stat st = {};
    std::string bytes;
};

bool ReadAll(int fd, std::string& bytes)
{
    char buffer[8192];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

// Reads the whole file. A missing file is not an error (exists stays false);
// a folder or anything else that is not a regular file is refused with
// EACCES. Returns 0 or the errno of the failure.
int ReadProfile(const std::string& unixPath, FileContents& contents)
{
    // O_NONBLOCK: a FIFO given by name must not hang the call; it is refused.
    Descriptor fd(::open(unixPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.Get() < 0)
        return errno == ENOENT ? 0 : errno;
    if (::fstat(fd.Get(), &contents.st) != 0)
        return errno;
    if (!S_ISREG(contents.st.st_mode))
        return EACCES;
    contents.exists = true;
    contents.bytes.reserve(static_cast<std::size_t>(contents.st.st_size));
    return ReadAll(fd.Get(), contents.bytes) ? 0 : errno;
}

bool WriteAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Removes the temporary files of a file's earlier replacements whose writer
// is gone (killed in the middle): ".<name>.<pid>.<n>.tmp" of a process that
// no longer runs.
void RemoveLeftTempFiles(const std::string& folder, const std::string& start)
{
    for (const std::string& file : platform::FolderEntries(folder)) {
        if (file.size() <= start.size() + 4 || !file.starts_with(start) || !file.ends_with(".tmp"))
            continue;
        char* end = nullptr;
        const long pid = std::strtol(file.c_str() + start.size(), &end, 10);
        if (pid > 0 && pid != ::getpid() && *end == '.' && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            ::unlink((folder + "/" + file).c_str());
    }
}

// Replaces the file at unixPath by bytes: writes a temporary file beside it,
// flushes it to disk and renames it over the file. On failure the file is as
// it was and the temporary file is gone; returns 0 or the errno. What a
// killed replacement left beside the file goes first.
int ReplaceFile(const std::string& unixPath, const std::string& bytes, const FileContents& old)
{
    static std::atomic<unsigned> counter{0};
    std::string::size_type slash = unixPath.rfind('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : unixPath.substr(0, slash);
    std::string name = slash == std::string::npos ? unixPath : unixPath.substr(slash + 1);
    const std::string start = "." + name.substr(0, 200) + ".";
    RemoveLeftTempFiles(folder, start);
    std::string prefix = (folder == "/" ? "/" : folder + "/") + start + std::to_string(::getpid()) + ".";

    TempFile temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        std::string path = prefix + std::to_string(counter++) + ".tmp";
        // A new file gets the usual permissions under the umask; a replaced
        // one gets its old permissions below.
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, old.exists ? 0600 : 0666);
        if (fd >= 0)
            temp.path = path;
        else if (errno != EEXIST)
            return errno;
    }
    if (fd < 0)
        return EEXIST;
    Descriptor file(fd);

    if (!WriteAll(file.Get(), bytes))
        return errno;
    if (old.exists) {
        // Best effort: some file systems keep no owners or modes.
        (void)!::fchown(file.Get(), old.st.st_uid, old.st.st_gid);
        (void)!::fchmod(file.Get(), old.st.st_mode & 07777);
    }
    if (::fsync(file.Get()) != 0)
        return errno;
    if (!file.Close())
        return errno;
    if (::rename(temp.path.c_str(), unixPath.c_str()) != 0)
        return errno;
    temp.path.clear();

    // Make the rename itself durable; the file is in place either way.
    Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0)
        ::fsync(dir.Get());
    return 0;
}

// The file a write must replace: the target of a symbolic link, so that the
// link stays a link.
std::string WriteTarget(const std::string& unixPath)
{
    struct stat st;
    if (::lstat(unixPath.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return unixPath;
    char resolved[PATH_MAX];
    if (::realpath(unixPath.c_str(), resolved) == nullptr)
        return unixPath;
    return resolved;
}

bool HasLineBreak(const char* text)
{
    return text != nullptr && std::strpbrk(text, "\r\n") != nullptr;
}

// Names and values that would change the file's structure when written:
// line breaks anywhere, a key that holds '=' or that would read back as a
// comment or a section line.
bool IsWritable(LPCSTR section, LPCSTR key, LPCSTR value)
{
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value))
        return false;
    if (key != nullptr) {
        if (std::strchr(key, '=') != nullptr)
            return false;
        const char* first = key + std::strspn(key, " \t\v\f");
        if (*first == ';' || *first == '[')
            return false;
    }
    return true;
}

// Windows reads the number with leading blanks, one sign and decimal digits,
// wrapping modulo 2^32.
UINT ParseProfileInt(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10u + static_cast<std::uint32_t>(text[i] - '0');
    return negative ? 0u - value : value;
}

}  // namespace

UINT GetPrivateProfileIntA(LPCSTR appName, LPCSTR keyName, INT defaultValue, LPCSTR fileName)
{
    const UINT fallback = static_cast<UINT>(defaultValue);
    if (appName == nullptr || keyName == nullptr || fileName == nullptr)
        return fallback;
    std::string unixPath;
    if (!platform::ToUnixPath(fileName, unixPath))
        return fallback;

    std::lock_guard<std::mutex> lock(profileLock);
    FileContents contents;
    if (ReadProfile(unixPath, contents) != 0 || !contents.exists)
        return fallback;
    std::optional<std::string> value = platform::IniText(std::move(contents.bytes)).Find(appName, keyName);
    if (!value || value->empty())
        return fallback;
    return ParseProfileInt(*value);
}

BOOL WritePrivateProfileStringA(LPCSTR appName, LPCSTR keyName, LPCSTR string, LPCSTR fileName)
{
    if (appName == nullptr) {
        // All three null flushes the cache on Windows, which then returns FALSE.
        SetLastError(keyName == nullptr && string == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (fileName == nullptr || !IsWritable(appName, keyName, string)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::string unixPath;
    if (!platform::ToUnixPath(fileName, unixPath))
        return FALSE;
    unixPath = WriteTarget(unixPath);

    std::lock_guard<std::mutex> lock(profileLock);
    FileContents contents;
    if (int error = ReadProfile(unixPath, contents)) {
        SetLastError(platform::ErrorFromErrno(error));
        return FALSE;
    }
    if (contents.exists && platform::IsReadOnlyMode(contents.st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }

    platform::IniText text(contents.bytes);
    bool changed = keyName == nullptr  ? text.DeleteSection(appName)
                   : string == nullptr ? text.DeleteKey(appName, keyName)
                                       : text.Set(appName, keyName, string);
    if (changed) {
        if (int error = ReplaceFile(unixPath, text.Bytes(), contents)) {
            SetLastError(WriteError(error));
            return FALSE;
        }
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}
