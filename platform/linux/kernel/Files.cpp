// Files, mappings, file search and file times on Linux.

#include "platform/linux/kernel/Errors.h"
#include "platform/linux/kernel/Handles.h"
#include "platform/linux/kernel/PathMapping.h"
#include "platform/Text.h"
#include "platform/Win32.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr DWORD AllocationGranularity = 65536;
constexpr std::int64_t TicksPerSecond = 10000000;  // FILETIME counts 100 ns
constexpr std::int64_t SecondsFrom1601To1970 = 11644473600;

// ---- Kernel objects --------------------------------------------------------

class FileObject : public platform::KernelObject {
public:
    FileObject(int fd, bool readable) : KernelObject(fd), readable(readable) {}
    const bool readable;
};

// Holds its own duplicate of the file's descriptor: the file (and its lock)
// stays in use while the mapping lives, even when the file handle is closed.
//
// The file is mapped whole, once, on the first view; every view is a window
// into that one mapping, so a view costs no system call of its own. The
// mapping goes when the handle is closed and the last view is unmapped, as a
// Windows section does.
class MappingObject : public platform::KernelObject {
public:
    MappingObject(int fd, std::uint64_t size) : KernelObject(fd), size(size) {}
    ~MappingObject() override
    {
        if (whole)
            ::munmap(whole, size);
    }

    // The whole file's mapping, or null (errno set) when it cannot be made.
    const std::uint8_t* Whole()
    {
        std::lock_guard guard(lock);
        if (!whole) {
            void* address = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, Fd(), 0);
            if (address == MAP_FAILED)
                return nullptr;
            whole = address;
        }
        return static_cast<const std::uint8_t*>(whole);
    }

    const std::uint64_t size;

private:
    std::mutex lock;
    void* whole = nullptr;
};

class FindObject : public platform::KernelObject {
public:
    bool ClosedByCloseHandle() const override { return false; }
};

// ---- Errors ----------------------------------------------------------------

// Windows tells a missing file in an existing folder from a missing folder.
DWORD NotFoundError(const std::string& unixPath)
{
    std::string::size_type slash = unixPath.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : unixPath.substr(0, slash);
    struct stat st;
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

void SetErrorFromErrno(int error, const std::string& unixPath)
{
    SetLastError(error == ENOENT ? NotFoundError(unixPath) : platform::ErrorFromErrno(error));
}

bool HasWriteBit(mode_t mode)
{
    // Checked by hand: as root, open() and access() ignore the bits.
    return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

// ---- Views -------------------------------------------------------------------

// Address -> length of every view, so that UnmapViewOfFile knows how much to
// unmap. Never destroyed, for views released by static objects at exit.
// Views by address. Two views of one mapping at one offset share an address,
// so each address counts its views; each view keeps its mapping alive.
struct ViewTable {
    struct View {
        std::shared_ptr<MappingObject> mapping;
        std::size_t count = 0;
    };
    std::mutex lock;
    std::map<const void*, View> views;
};

ViewTable& Views()
{
    static ViewTable* views = new ViewTable;
    return *views;
}

// ---- File times ----------------------------------------------------------------

FILETIME MakeFileTime(std::uint64_t ticks)
{
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

std::uint64_t TicksOf(const FILETIME& time)
{
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME FileTimeOf(const timespec& time)
{
    std::int64_t seconds = static_cast<std::int64_t>(time.tv_sec) + SecondsFrom1601To1970;
    if (seconds < 0)
        return MakeFileTime(0);
    return MakeFileTime(static_cast<std::uint64_t>(seconds) * TicksPerSecond + time.tv_nsec / 100);
}

bool IsLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// Days from 1 January 1970 to the date (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(std::int64_t year, int month, int day)
{
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// ---- File search ---------------------------------------------------------------

std::size_t CharLength(std::string_view s, std::size_t i)
{
    return platform::IsCp932LeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
}

char FoldAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// '*' matches any run of characters and '?' any one character; ASCII letters
// match without regard to case. Walks whole cp932 characters.
bool MatchesPattern(std::string_view pattern, std::string_view name)
{
    if (pattern == "*.*")
        pattern = "*";
    std::size_t p = 0, n = 0;
    std::size_t starPattern = std::string_view::npos, starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starPattern = ++p;
            starName = n;
            continue;
        }
        if (p < pattern.size()) {
            std::size_t pl = CharLength(pattern, p), nl = CharLength(name, n);
            bool same = (pl == 1 && pattern[p] == '?') ||
                        (pl == nl && (pl == 1 ? FoldAscii(pattern[p]) == FoldAscii(name[n])
                                              : pattern.compare(p, 2, name.substr(n, 2)) == 0));
            if (same) {
                p += pl;
                n += nl;
                continue;
            }
        }
        if (starPattern == std::string_view::npos)
            return false;
        p = starPattern;
        starName += CharLength(name, starName);
        n = starName;
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool HasWildcard(std::string_view name)
{
    for (std::size_t i = 0; i < name.size(); i += CharLength(name, i))
        if (name[i] == '*' || name[i] == '?')
            return true;
    return false;
}

void FillFindData(const struct stat& st, const std::string& cp932Name, WIN32_FIND_DATAA& data)
{
    std::memset(&data, 0, sizeof data);
    DWORD attributes = 0;
    if (S_ISDIR(st.st_mode))
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (!HasWriteBit(st.st_mode))
        attributes |= FILE_ATTRIBUTE_READONLY;
    data.dwFileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
    // Linux keeps no creation time in struct stat; the last write stands in.
    data.ftCreationTime = FileTimeOf(st.st_mtim);
    data.ftLastAccessTime = FileTimeOf(st.st_atim);
    data.ftLastWriteTime = FileTimeOf(st.st_mtim);
    if (!S_ISDIR(st.st_mode)) {
        auto size = static_cast<std::uint64_t>(st.st_size);
        data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
        data.nFileSizeLow = static_cast<DWORD>(size);
    }
    // Cut at a character boundary should a name not fit.
    std::size_t length = 0;
    while (length < cp932Name.size()) {
        std::size_t next = length + CharLength(cp932Name, length);
        if (next > MAX_PATH - 1)
            break;
        length = next;
    }
    std::memcpy(data.cFileName, cp932Name.data(), length);
}

// The byte where the last component of a cp932 Windows path starts.
std::size_t LastComponentStart(std::string_view path)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i < path.size(); i += CharLength(path, i))
        if (path[i] == '\\' || path[i] == '/' || (path[i] == ':' && i == 1))
            start = i + 1;
    return start;
}

HANDLE NewFindHandle()
{
    return platform::AddHandle(std::make_shared<FindObject>());
}

HANDLE FindExact(LPCSTR fileName, WIN32_FIND_DATAA& data)
{
    std::string unixPath;
    if (!platform::ToUnixPath(fileName, unixPath))
        return INVALID_HANDLE_VALUE;
    struct stat st;
    if (::stat(unixPath.c_str(), &st) != 0) {
        SetErrorFromErrno(errno, unixPath);
        return INVALID_HANDLE_VALUE;
    }
    // The name as it is on disk: the lookup may have matched it in another case.
    std::string name = unixPath.substr(unixPath.find_last_of('/') + 1);
    FillFindData(st, platform::Utf8NameToCp932(name), data);
    return NewFindHandle();
}

HANDLE FindPattern(std::string_view fileName, std::size_t nameStart, WIN32_FIND_DATAA& data)
{
    std::string folder = ".";
    if (nameStart > 0 && !platform::ToUnixPath(std::string(fileName.substr(0, nameStart)).c_str(), folder))
        return INVALID_HANDLE_VALUE;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : platform::ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    const std::string_view pattern = fileName.substr(nameStart);
    HANDLE found = INVALID_HANDLE_VALUE;
    while (const dirent* entry = ::readdir(dir)) {
        std::string name = platform::Utf8NameToCp932(entry->d_name);
        struct stat st;
        if (MatchesPattern(pattern, name) && ::fstatat(::dirfd(dir), entry->d_name, &st, 0) == 0) {
            FillFindData(st, name, data);
            found = NewFindHandle();
            break;
        }
    }
    ::closedir(dir);
    if (found == INVALID_HANDLE_VALUE)
        SetLastError(ERROR_FILE_NOT_FOUND);
    return found;
}

}  // namespace

// ---- Files -------------------------------------------------------------------

HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                   DWORD creationDisposition, DWORD, HANDLE)
{
    if (!fileName) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (creationDisposition != OPEN_EXISTING && creationDisposition != CREATE_NEW) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string unixPath;
    if (!platform::ToUnixPath(fileName, unixPath))
        return INVALID_HANDLE_VALUE;

    const bool read = (desiredAccess & GENERIC_READ) != 0;
    const bool write = (desiredAccess & GENERIC_WRITE) != 0;
    // O_NONBLOCK so that a FIFO given by name cannot hang the open; it is
    // refused below, and regular files ignore the flag.
    int flags = (write ? (read ? O_RDWR : O_WRONLY) : O_RDONLY) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    if (creationDisposition == CREATE_NEW)
        flags |= O_CREAT | O_EXCL;
    int fd = ::open(unixPath.c_str(), flags, 0666);
    if (fd < 0) {
        if (errno == EEXIST)
            SetLastError(ERROR_FILE_EXISTS);
        else
            SetErrorFromErrno(errno, unixPath);
        return INVALID_HANDLE_VALUE;
    }
    auto file = std::make_shared<FileObject>(fd, read);

    struct stat st;
    if (::fstat(fd, &st) != 0) {
        SetLastError(platform::ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    if (!S_ISREG(st.st_mode) || (write && !HasWriteBit(st.st_mode))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    // flock belongs to the open file description, so a second open in this
    // process conflicts as well (fcntl locks would not).
    if (::flock(fd, (shareMode == 0 ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        SetLastError(platform::ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(ERROR_SUCCESS);
    return platform::AddHandle(std::move(file));
}

BOOL DeleteFileA(LPCSTR fileName)
{
    std::string unixPath;
    if (!fileName || !platform::ToUnixPath(fileName, unixPath))
        return FALSE;
    struct stat st;
    if (::lstat(unixPath.c_str(), &st) != 0) {
        SetErrorFromErrno(errno, unixPath);
        return FALSE;
    }
    // Windows keeps folders and read-only files.
    if (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && !HasWriteBit(st.st_mode))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (::unlink(unixPath.c_str()) != 0) {
        SetErrorFromErrno(errno, unixPath);
        return FALSE;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh)
{
    auto object = platform::FindHandleOf<FileObject>(file);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    struct stat st;
    if (::fstat(object->Fd(), &st) != 0) {
        SetLastError(platform::ErrorFromErrno(errno));
        return INVALID_FILE_SIZE;
    }
    auto size = static_cast<std::uint64_t>(st.st_size);
    if (sizeHigh)
        *sizeHigh = static_cast<DWORD>(size >> 32);
    DWORD low = static_cast<DWORD>(size);
    if (low == INVALID_FILE_SIZE)
        SetLastError(ERROR_SUCCESS);  // tells this size from a failure
    return low;
}

// ---- Mappings ----------------------------------------------------------------

HANDLE CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCSTR name)
{
    if ((name && *name) || protect != PAGE_READONLY) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto object = platform::FindHandleOf<FileObject>(file);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!object->readable) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    struct stat st;
    if (::fstat(object->Fd(), &st) != 0) {
        SetLastError(platform::ErrorFromErrno(errno));
        return nullptr;
    }
    auto fileSize = static_cast<std::uint64_t>(st.st_size);
    std::uint64_t size = (static_cast<std::uint64_t>(maximumSizeHigh) << 32) | maximumSizeLow;
    if (size == 0) {
        if (fileSize == 0) {
            SetLastError(ERROR_FILE_INVALID);
            return nullptr;
        }
        size = fileSize;
    } else if (size > fileSize) {
        // A read-only mapping cannot grow its file.
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    int fd = ::fcntl(object->Fd(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        SetLastError(platform::ErrorFromErrno(errno));
        return nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    return platform::AddHandle(std::make_shared<MappingObject>(fd, size));
}

LPVOID MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow, SIZE_T length)
{
    auto object = platform::FindHandleOf<MappingObject>(mapping);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (desiredAccess != FILE_MAP_READ) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    const std::uint64_t offset = (static_cast<std::uint64_t>(offsetHigh) << 32) | offsetLow;
    if (offset % AllocationGranularity != 0) {
        SetLastError(ERROR_MAPPED_ALIGNMENT);
        return nullptr;
    }
    if (offset >= object->size || (length != 0 && length > object->size - offset)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    if (length == 0)
        length = object->size - offset;
    // Pages past the end of the file would fault when read, and the file may
    // have shrunk since the mapping was made.
    struct stat st;
    if (::fstat(object->Fd(), &st) != 0 || offset + length > static_cast<std::uint64_t>(st.st_size)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    const std::uint8_t* whole = object->Whole();
    if (!whole) {
        SetLastError(errno == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY : ERROR_ACCESS_DENIED);
        return nullptr;
    }
    const void* address = whole + offset;
    ViewTable& table = Views();
    std::lock_guard guard(table.lock);
    ViewTable::View& view = table.views[address];
    view.mapping = std::move(object);
    ++view.count;
    return const_cast<void*>(address);
}

BOOL UnmapViewOfFile(LPCVOID baseAddress)
{
    std::shared_ptr<MappingObject> released;  // unmapped after the lock is let go
    ViewTable& table = Views();
    std::lock_guard guard(table.lock);
    auto it = table.views.find(baseAddress);
    if (it == table.views.end()) {
        SetLastError(ERROR_INVALID_ADDRESS);
        return FALSE;
    }
    if (--it->second.count == 0) {
        released = std::move(it->second.mapping);
        table.views.erase(it);
    }
    return TRUE;
}

// The figures are taken once: asking the system for the processor count reads
// files under /sys, and every view of a file asks for the granularity.
void GetSystemInfo(LPSYSTEM_INFO info)
{
    if (!info)
        return;
    static const SYSTEM_INFO system = [] {
        SYSTEM_INFO s;
        std::memset(&s, 0, sizeof s);
#if defined(__x86_64__)
        s.wProcessorArchitecture = 9;  // PROCESSOR_ARCHITECTURE_AMD64
        s.dwProcessorType = 8664;      // PROCESSOR_AMD_X8664
#else
        s.wProcessorArchitecture = 0xFFFF;  // unknown
#endif
        long pageSize = ::sysconf(_SC_PAGESIZE);
        long processors = ::sysconf(_SC_NPROCESSORS_ONLN);
        s.dwPageSize = pageSize > 0 ? static_cast<DWORD>(pageSize) : 4096;
        s.dwAllocationGranularity = AllocationGranularity;
        s.lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(std::uintptr_t{AllocationGranularity});
        s.lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(std::uintptr_t{0x7FFFFFFEFFFF});
        s.dwNumberOfProcessors = processors > 0 ? static_cast<DWORD>(processors) : 1;
        int bits = static_cast<int>(s.dwNumberOfProcessors < 64 ? s.dwNumberOfProcessors : 64);
        s.dwActiveProcessorMask = bits == 64 ? ~DWORD_PTR{0} : (DWORD_PTR{1} << bits) - 1;
        return s;
    }();
    *info = system;
}

// ---- File search ---------------------------------------------------------------

HANDLE FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA findData)
{
    if (!fileName || !findData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const std::string_view path(fileName);
    const std::size_t nameStart = LastComponentStart(path);
    if (nameStart == path.size()) {
        // "Z:\folder\" names no file.
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (HasWildcard(path.substr(nameStart)))
        return FindPattern(path, nameStart, *findData);
    return FindExact(fileName, *findData);
}

BOOL FindClose(HANDLE findFile)
{
    auto isFind = [](const platform::KernelObject& o) { return dynamic_cast<const FindObject*>(&o) != nullptr; };
    if (!platform::RemoveHandle(findFile, isFind)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

// ---- File times ----------------------------------------------------------------

BOOL DosDateTimeToFileTime(WORD fatDate, WORD fatTime, LPFILETIME fileTime)
{
    const int day = fatDate & 0x1F;
    const int month = (fatDate >> 5) & 0x0F;
    const int year = 1980 + (fatDate >> 9);
    const int second = (fatTime & 0x1F) * 2;
    const int minute = (fatTime >> 5) & 0x3F;
    const int hour = fatTime >> 11;
    if (!fileTime || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 || minute > 59 ||
        second > 58) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::int64_t days = DaysFromCivil(year, month, day) + SecondsFrom1601To1970 / 86400;
    const std::int64_t seconds = days * 86400 + std::int64_t{hour} * 3600 + std::int64_t{minute} * 60 + second;
    *fileTime = MakeFileTime(static_cast<std::uint64_t>(seconds) * TicksPerSecond);
    return TRUE;
}

// The zone's rules for the date itself apply (so a summer date converts with
// summer time), by mktime on the broken-down local time. Where clocks are
// turned back, a local time occurs twice and mktime picks one of the two
// readings; a local time skipped when clocks go forward is still converted.
BOOL LocalFileTimeToFileTime(const FILETIME* localFileTime, LPFILETIME fileTime)
{
    if (!localFileTime || !fileTime || TicksOf(*localFileTime) > static_cast<std::uint64_t>(INT64_MAX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto ticks = static_cast<std::int64_t>(TicksOf(*localFileTime));
    const std::int64_t fraction = ticks % TicksPerSecond;
    const time_t local = static_cast<time_t>(ticks / TicksPerSecond - SecondsFrom1601To1970);
    tm broken{};
    if (!::gmtime_r(&local, &broken)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    broken.tm_isdst = -1;
    errno = 0;
    const time_t utc = ::mktime(&broken);
    const std::int64_t seconds = static_cast<std::int64_t>(utc) + SecondsFrom1601To1970;
    if ((utc == static_cast<time_t>(-1) && errno != 0) || seconds < 0 ||
        seconds > (INT64_MAX - fraction) / TicksPerSecond) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *fileTime = MakeFileTime(static_cast<std::uint64_t>(seconds * TicksPerSecond + fraction));
    return TRUE;
}
