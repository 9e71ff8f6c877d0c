// Files, mappings, file search and file times, on real files in a temp folder.

#include "platform/Cp932Literal.h"
#include "platform/linux/kernel/PathMapping.h"
#include "platform/Win32.h"

#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

namespace {

std::uint64_t Ticks(const FILETIME& t)
{
    return (std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime;
}

FILETIME FromTicks(std::uint64_t ticks)
{
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

constexpr std::uint64_t TicksPerSecond = 10000000;
constexpr std::int64_t UnixEpochSeconds = 11644473600;

std::uint64_t TicksOfUnixTime(std::int64_t seconds)
{
    return static_cast<std::uint64_t>(seconds + UnixEpochSeconds) * TicksPerSecond;
}

HANDLE OpenRead(const std::string& path, DWORD share = 0)
{
    return CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

class Files : public ::testing::Test {
protected:
    // A file of n bytes, byte i = i * 7 mod 251, under the temp folder.
    std::string MakeFile(const std::string& name, std::size_t n)
    {
        std::string bytes(n, '\0');
        for (std::size_t i = 0; i < n; ++i)
            bytes[i] = static_cast<char>(i * 7 % 251);
        std::ofstream(folder.Path() + "/" + name, std::ios::binary) << bytes;
        return folder.Path() + "/" + name;
    }
    static unsigned char Expected(std::size_t i) { return static_cast<unsigned char>(i * 7 % 251); }

    // The Windows path of a Unix path on drive Z:.
    static std::string Win(const std::string& unixPath) { return platform::ToWindowsPath(unixPath); }

    TempFolder folder;
};

TEST_F(Files, ExclusiveOpenRefusesEverySecondOpenUntilClosed)
{
    const std::string path = Win(MakeFile("held.bin", 10));
    HANDLE first = OpenRead(path);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);

    for (DWORD share : {DWORD{0}, FILE_SHARE_READ, FILE_SHARE_READ | FILE_SHARE_WRITE}) {
        SetLastError(0);
        EXPECT_EQ(OpenRead(path, share), INVALID_HANDLE_VALUE) << share;
        EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION) << share;
    }
    ASSERT_TRUE(CloseHandle(first));
    HANDLE again = OpenRead(path);
    ASSERT_NE(again, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(again));
}

TEST_F(Files, SharingOpensCoexistButKeepExclusiveOpensOut)
{
    const std::string path = Win(MakeFile("shared.bin", 10));
    HANDLE a = OpenRead(path, FILE_SHARE_READ);
    HANDLE b = OpenRead(path, FILE_SHARE_READ);
    ASSERT_NE(a, INVALID_HANDLE_VALUE);
    ASSERT_NE(b, INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenRead(path), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    CloseHandle(a);
    CloseHandle(b);
}

TEST_F(Files, MappingAndViewKeepTheFileHeld)
{
    const std::string path = Win(MakeFile("kept.bin", 100));
    HANDLE file = OpenRead(path);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);
    ASSERT_TRUE(CloseHandle(file));
    EXPECT_EQ(OpenRead(path), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);

    // The mapping outlives its file handle and still maps.
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(CloseHandle(mapping));
    EXPECT_EQ(OpenRead(path), INVALID_HANDLE_VALUE);
    EXPECT_EQ(static_cast<const unsigned char*>(view)[99], Expected(99));

    ASSERT_TRUE(UnmapViewOfFile(view));
    HANDLE again = OpenRead(path);
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
}

TEST_F(Files, OpenFailuresReportTheWindowsError)
{
    const std::string dir = folder.MakeFolder("dir");
    const std::string readOnly = MakeFile("readonly.bin", 3);
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    const std::string fifo = folder.Path() + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    struct Case {
        std::string path;
        DWORD access, disposition, error;
    } cases[] = {
        {Win(folder.Path() + "/missing.bin"), GENERIC_READ, OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {Win(folder.Path() + "/nofolder/missing.bin"), GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {Win(dir), GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {Win(dir), GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {Win(readOnly), GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {Win(fifo), GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED},  // must not hang either
        {"C:\\Windows\\win.ini", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {"\\\\server\\share\\a.txt", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {"", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {Win(readOnly), GENERIC_READ, 2 /* CREATE_ALWAYS */, ERROR_INVALID_PARAMETER},
        {Win(readOnly), GENERIC_WRITE, CREATE_NEW, ERROR_FILE_EXISTS},
        {Win(dir), GENERIC_WRITE, CREATE_NEW, ERROR_FILE_EXISTS},
        {Win(folder.Path() + "/nofolder/new.bin"), GENERIC_WRITE, CREATE_NEW, ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        HANDLE h = CreateFileA(c.path.c_str(), c.access, 0, nullptr, c.disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_EQ(h, INVALID_HANDLE_VALUE) << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path;
    }
    // The read-only file still opens for reading.
    HANDLE h = OpenRead(Win(readOnly));
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
}

TEST_F(Files, CreateNewMakesAnEmptyFileThatDeleteFileRemoves)
{
    const std::string unixName = folder.Path() + u8"/Música ü.tmp";
    const std::string name = Win(unixName);
    HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenRead(name, FILE_SHARE_READ), INVALID_HANDLE_VALUE) << "held like any exclusive open";
    CloseHandle(h);
    EXPECT_EQ(std::filesystem::file_size(unixName), 0u);
    EXPECT_TRUE(DeleteFileA(name.c_str()));
    EXPECT_FALSE(std::filesystem::exists(unixName));

    // What Windows refuses to delete.
    const std::string readOnly = MakeFile("readonly.bin", 1);
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    const std::pair<std::string, DWORD> refused[] = {
        {name, ERROR_FILE_NOT_FOUND},
        {Win(folder.MakeFolder("dir")), ERROR_ACCESS_DENIED},
        {Win(readOnly), ERROR_ACCESS_DENIED},
    };
    for (const auto& [path, error] : refused) {
        EXPECT_FALSE(DeleteFileA(path.c_str())) << path;
        EXPECT_EQ(GetLastError(), error) << path;
    }
    EXPECT_TRUE(std::filesystem::exists(readOnly));
}

TEST_F(Files, PathsMapOntoDriveZAndIgnoreCase)
{
    MakeFile("Mixed.Bin", 5);
    std::string dir = folder.MakeFolder("Sub");
    MakeFile("Sub/Inner.DAT", 6);

    std::string upper = Win(folder.Path()) + "\\MIXED.BIN";
    upper[0] = 'z';
    HANDLE h = OpenRead(upper);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(h, nullptr), 5u);
    CloseHandle(h);

    ASSERT_EQ(::chdir(folder.Path().c_str()), 0);  // TempFolder restores it
    h = OpenRead("sub\\inner.dat");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(h, nullptr), 6u);
    CloseHandle(h);
}

TEST_F(Files, CloseRefusesWhatIsNotAnOpenHandle)
{
    HANDLE file = OpenRead(Win(MakeFile("a.bin", 1)));
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(CloseHandle(file));

    int notAHandle = 0;
    for (HANDLE h : {HANDLE{nullptr}, INVALID_HANDLE_VALUE, HANDLE{&notAHandle}, file}) {
        SetLastError(0);
        EXPECT_FALSE(CloseHandle(h));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    }
    EXPECT_EQ(GetFileSize(file, nullptr), INVALID_FILE_SIZE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
    EXPECT_EQ(MapViewOfFile(file, FILE_MAP_READ, 0, 0, 0), nullptr);
}

TEST_F(Files, FileSizeReportsBothWords)
{
    const std::string path = MakeFile("big.bin", 0);
    ASSERT_EQ(::truncate(path.c_str(), (std::int64_t{1} << 32) + 5), 0);  // sparse
    HANDLE h = OpenRead(Win(path));
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD high = 99;
    EXPECT_EQ(GetFileSize(h, &high), 5u);
    EXPECT_EQ(high, 1u);
    CloseHandle(h);
}

TEST_F(Files, MappingRefusesAnEmptyFileAndWhatItCannotProvide)
{
    HANDLE empty = OpenRead(Win(MakeFile("empty.bin", 0)));
    ASSERT_NE(empty, INVALID_HANDLE_VALUE);
    SetLastError(0);
    EXPECT_EQ(CreateFileMappingA(empty, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILE_INVALID);
    CloseHandle(empty);

    HANDLE file = OpenRead(Win(MakeFile("ten.bin", 10)));
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 11, nullptr), nullptr);  // would grow it
    EXPECT_EQ(CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, "named"), nullptr);
    EXPECT_EQ(CreateFileMappingA(file, nullptr, 0x04 /* PAGE_READWRITE */, 0, 0, nullptr), nullptr);
    HANDLE part = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 4, nullptr);
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(MapViewOfFile(part, FILE_MAP_READ, 0, 0, 5), nullptr);  // beyond the mapping's size
    const void* view = MapViewOfFile(part, FILE_MAP_READ, 0, 0, 0);
    EXPECT_NE(view, nullptr);
    UnmapViewOfFile(view);
    CloseHandle(part);
    CloseHandle(file);
}

TEST_F(Files, ViewsAreAlignedAndStayInsideTheFile)
{
    const std::size_t n = 3 * 65536 + 1000;
    const std::string path = MakeFile("views.bin", n);
    HANDLE file = OpenRead(Win(path));
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);

    struct Case {
        DWORD offset;
        SIZE_T length;
        DWORD error;  // 0: maps
    } cases[] = {
        {0, 0, 0},
        {65536, 0, 0},         // to the end
        {3 * 65536, 1000, 0},  // exactly the last bytes
        {3 * 65536, 1001, ERROR_ACCESS_DENIED},
        {0, n + 1, ERROR_ACCESS_DENIED},
        {4 * 65536, 0, ERROR_ACCESS_DENIED},  // past the end
        {4 * 65536, 1, ERROR_ACCESS_DENIED},
        {1, 10, ERROR_MAPPED_ALIGNMENT},
        {65536 + 4096, 10, ERROR_MAPPED_ALIGNMENT},  // page-aligned is not enough
    };
    for (const Case& c : cases) {
        SetLastError(0);
        const auto* view =
            static_cast<const unsigned char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, c.offset, c.length));
        if (c.error != 0) {
            EXPECT_EQ(view, nullptr) << c.offset << "+" << c.length;
            EXPECT_EQ(GetLastError(), c.error) << c.offset << "+" << c.length;
            continue;
        }
        ASSERT_NE(view, nullptr) << c.offset << "+" << c.length;
        const std::size_t length = c.length ? c.length : n - c.offset;
        EXPECT_EQ(view[0], Expected(c.offset));
        EXPECT_EQ(view[length - 1], Expected(c.offset + length - 1));
        EXPECT_TRUE(UnmapViewOfFile(view));
    }
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 1, 0, 1), nullptr);  // high offset word

    // A file cut short behind the mapping's back is not mapped beyond its end.
    ASSERT_EQ(::truncate(path.c_str(), 65536 + 10), 0);
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 0, 65536, 0), nullptr);
    const auto* head = static_cast<const unsigned char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 65536, 10));
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(head[9], Expected(65536 + 9));
    UnmapViewOfFile(head);

    CloseHandle(mapping);
    CloseHandle(file);
}

TEST_F(Files, UnmapTakesOnlyAddressesOfLiveViews)
{
    HANDLE file = OpenRead(Win(MakeFile("u.bin", 100)));
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);
    const char* view = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(view, nullptr);
    int local = 0;
    EXPECT_FALSE(UnmapViewOfFile(view + 1));
    EXPECT_FALSE(UnmapViewOfFile(&local));
    EXPECT_FALSE(UnmapViewOfFile(nullptr));
    EXPECT_TRUE(UnmapViewOfFile(view));
    EXPECT_FALSE(UnmapViewOfFile(view));
    CloseHandle(mapping);
    CloseHandle(file);
}

// Views are windows into one mapping of the file: two views of the same
// bytes each need their own unmap, and the bytes stay readable until the last
// view of a closed mapping goes.
TEST_F(Files, EveryViewIsUnmappedOnItsOwn)
{
    const std::string path = Win(MakeFile("twice.bin", 70000));
    HANDLE file = OpenRead(path);
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);
    CloseHandle(file);
    const auto* first = static_cast<const unsigned char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 65536, 10));
    const auto* second = static_cast<const unsigned char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 65536, 100));
    const auto* whole = static_cast<const unsigned char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_NE(whole, nullptr);
    ASSERT_TRUE(CloseHandle(mapping));

    EXPECT_TRUE(UnmapViewOfFile(first));
    EXPECT_EQ(second[99], Expected(65536 + 99));
    EXPECT_TRUE(UnmapViewOfFile(second));
    EXPECT_FALSE(UnmapViewOfFile(second));
    EXPECT_EQ(whole[69999], Expected(69999));
    EXPECT_EQ(OpenRead(path), INVALID_HANDLE_VALUE);
    EXPECT_TRUE(UnmapViewOfFile(whole));

    HANDLE again = OpenRead(path);
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
}

TEST_F(Files, FindFirstFileDescribesTheFile)
{
    const std::string path = MakeFile("Found.Bin", 70000);
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);

    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((Win(folder.Path()) + "\\FOUND.bin").c_str(), &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "Found.Bin");  // as on disk
    EXPECT_EQ(data.nFileSizeHigh, 0u);
    EXPECT_EQ(data.nFileSizeLow, 70000u);
    EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(Ticks(data.ftLastWriteTime), TicksOfUnixTime(st.st_mtim.tv_sec) + st.st_mtim.tv_nsec / 100);
    EXPECT_FALSE(CloseHandle(find));  // a find handle has its own closing call
    EXPECT_TRUE(FindClose(find));
    EXPECT_FALSE(FindClose(find));

    const std::string big = MakeFile("big.bin", 0);
    ASSERT_EQ(::truncate(big.c_str(), (std::int64_t{2} << 32) + 7), 0);
    ASSERT_NE(find = FindFirstFileA(Win(big).c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.nFileSizeHigh, 2u);
    EXPECT_EQ(data.nFileSizeLow, 7u);
    FindClose(find);
}

TEST_F(Files, FindFirstFileAttributesNamesAndPatterns)
{
    const std::string readOnly = MakeFile("ro.txt", 1);
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    folder.MakeFolder("folder");
    MakeFile(u8"ﾚﾃﾞｨ.txt", 1);
    MakeFile(u8"表ソ.txt", 1);  // cp932 95 5C 83 5C: trail bytes that look like '\'

    struct Case {
        std::string name;  // under the temp folder
        DWORD attributes;
        std::string found;
    } cases[] = {
        {"ro.txt", FILE_ATTRIBUTE_READONLY, "ro.txt"},
        {"FOLDER", FILE_ATTRIBUTE_DIRECTORY, "folder"},
        {CP932("ﾚﾃﾞｨ.TXT"), FILE_ATTRIBUTE_NORMAL, CP932("ﾚﾃﾞｨ.txt")},
        {"R?.*", FILE_ATTRIBUTE_READONLY, "ro.txt"},
        {CP932("*ﾃﾞ*"), FILE_ATTRIBUTE_NORMAL, CP932("ﾚﾃﾞｨ.txt")},
        {"fold*", FILE_ATTRIBUTE_DIRECTORY, "folder"},
        {CP932("表ソ.TXT"), FILE_ATTRIBUTE_NORMAL, CP932("表ソ.txt")},
        {CP932("表*"), FILE_ATTRIBUTE_NORMAL, CP932("表ソ.txt")},
    };
    for (const Case& c : cases) {
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((Win(folder.Path()) + "\\" + c.name).c_str(), &data);
        ASSERT_NE(find, INVALID_HANDLE_VALUE) << c.name;
        EXPECT_EQ(data.dwFileAttributes, c.attributes) << c.name;
        EXPECT_EQ(std::string(data.cFileName), c.found) << c.name;
        FindClose(find);
    }

    struct Missing {
        std::string path;
        DWORD error;
    } missing[] = {
        {Win(folder.Path()) + "\\nothing.txt", ERROR_FILE_NOT_FOUND},
        {Win(folder.Path()) + "\\*.none", ERROR_FILE_NOT_FOUND},
        {Win(folder.Path()) + "\\nofolder\\a.txt", ERROR_PATH_NOT_FOUND},
        {Win(folder.Path()) + "\\folder\\", ERROR_FILE_NOT_FOUND},
        {"C:\\a.txt", ERROR_PATH_NOT_FOUND},
    };
    for (const Missing& m : missing) {
        WIN32_FIND_DATAA data;
        SetLastError(0);
        EXPECT_EQ(FindFirstFileA(m.path.c_str(), &data), INVALID_HANDLE_VALUE) << m.path;
        EXPECT_EQ(GetLastError(), m.error) << m.path;
    }
}

WORD DosDate(int year, int month, int day)
{
    return static_cast<WORD>(((year - 1980) << 9) | (month << 5) | day);
}

WORD DosTime(int hour, int minute, int second)
{
    return static_cast<WORD>((hour << 11) | (minute << 5) | (second / 2));
}

TEST(FileTimes, DosDateTimeAcceptsOnlyRealDates)
{
    struct Case {
        int year, month, day, hour, minute, second;
        bool valid;
    } cases[] = {
        {1980, 1, 1, 0, 0, 0, true},    {2107, 12, 31, 23, 59, 58, true},
        {2000, 2, 29, 12, 0, 0, true},  // leap year (divisible by 400)
        {2024, 2, 29, 12, 0, 0, true},  {2001, 2, 29, 12, 0, 0, false},
        {2100, 2, 29, 12, 0, 0, false},  // not a leap year
        {2023, 4, 31, 0, 0, 0, false},  {2023, 4, 30, 0, 0, 0, true},
        {2023, 1, 0, 0, 0, 0, false},   {2023, 0, 1, 0, 0, 0, false},
        {2023, 13, 1, 0, 0, 0, false},  {2023, 1, 1, 24, 0, 0, false},
        {2023, 1, 1, 23, 60, 0, false}, {2023, 1, 1, 23, 0, 60, false},  // seconds field 30
    };
    for (const Case& c : cases) {
        FILETIME ft{1, 1};
        SetLastError(0);
        BOOL ok = DosDateTimeToFileTime(DosDate(c.year, c.month, c.day), DosTime(c.hour, c.minute, c.second), &ft);
        ASSERT_EQ(ok != FALSE, c.valid) << c.year << "-" << c.month << "-" << c.day << " " << c.hour << ":" << c.minute;
        if (!c.valid) {
            EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
            continue;
        }
        tm broken{};
        broken.tm_year = c.year - 1900;
        broken.tm_mon = c.month - 1;
        broken.tm_mday = c.day;
        broken.tm_hour = c.hour;
        broken.tm_min = c.minute;
        broken.tm_sec = c.second;
        EXPECT_EQ(Ticks(ft), TicksOfUnixTime(::timegm(&broken))) << c.year << "-" << c.month << "-" << c.day;
    }
    EXPECT_FALSE(DosDateTimeToFileTime(DosDate(2000, 1, 1), 0, nullptr));
}

// Sets TZ for one test and puts the previous value back.
class TimeZone {
public:
    explicit TimeZone(const char* zone)
    {
        if (const char* old = std::getenv("TZ"))
            saved = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~TimeZone()
    {
        if (saved)
            ::setenv("TZ", saved->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> saved;
};

TEST(FileTimes, LocalTimeToUtcFollowsTheZoneOfThatDate)
{
    const std::uint64_t winter = TicksOfUnixTime(1705312800) + 1234567;  // 2024-01-15 10:00:00.1234567
    const std::uint64_t summer = TicksOfUnixTime(1721037600) + 7;        // 2024-07-15 10:00:00
    const std::uint64_t hour = 3600 * TicksPerSecond;
    struct Case {
        const char* zone;
        std::uint64_t local, utc;
    } cases[] = {
        {"UTC0", winter, winter},
        {"UTC0", summer, summer},
        {"JST-9", winter, winter - 9 * hour},
        {"JST-9", summer, summer - 9 * hour},
        {"EST5EDT,M3.2.0,M11.1.0", winter, winter + 5 * hour},
        {"EST5EDT,M3.2.0,M11.1.0", summer, summer + 4 * hour},
    };
    for (const Case& c : cases) {
        TimeZone zone(c.zone);
        FILETIME local = FromTicks(c.local), utc{};
        ASSERT_TRUE(LocalFileTimeToFileTime(&local, &utc)) << c.zone;
        EXPECT_EQ(Ticks(utc), c.utc) << c.zone;
    }

    TimeZone zone("JST-9");
    FILETIME early = FromTicks(hour), utc{};  // 01:00 local on 1 January 1601 is still 1600 in UTC
    EXPECT_FALSE(LocalFileTimeToFileTime(&early, &utc));
    EXPECT_FALSE(LocalFileTimeToFileTime(nullptr, &utc));
}

}  // namespace
