#include "platform/linux/kernel/PathMapping.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/Cp932Literal.h"
#include "platform/Win32.h"
#include "tests/support/TempFolder.h"

using platform::ToUnixPath;
using platform::ToWindowsPath;

namespace {

std::string Unix(const std::string& windowsPath)
{
    std::string out = "(failed)";
    ToUnixPath(windowsPath.c_str(), out);
    return out;
}

TEST(PathMapping, WindowsToUnix)
{
    struct Case {
        const char* windows;
        std::string unixPath;
    } cases[] = {
        {"Z:\\strumkey-none\\b", "/strumkey-none/b"},
        {"z:/strumkey-none/b", "/strumkey-none/b"},
        {"Z:\\", "/"},
        {"\\strumkey-none", "/strumkey-none"},
        {"strumkey-none\\b", "strumkey-none/b"},
        {"Z:strumkey-none", "strumkey-none"},
        {"Z:\\strumkey-none\\\\b\\", "/strumkey-none/b/"},
        {CP932("strumkey表\\ソ/能"), u8"strumkey表/ソ/能"},  // trail bytes 0x5C are no separators
    };
    for (const Case& c : cases)
        EXPECT_EQ(Unix(c.windows), c.unixPath) << c.windows;
}

TEST(PathMapping, OtherDrivesAndNetworkPathsDoNotExist)
{
    for (const char* path : {"C:\\x", "c:\\", "A:x", "\\\\server\\share\\x", "//server/share", "\\/x", ""}) {
        std::string out = "kept";
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(ToUnixPath(path, out)) << path;
        EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND) << path;
        EXPECT_EQ(out, "kept");
    }
    std::string out;
    EXPECT_FALSE(ToUnixPath(nullptr, out));
}

TEST(PathMapping, UnixToWindows)
{
    struct Case {
        std::string unixPath, windows;
    } cases[] = {
        {"/home/x", "Z:\\home\\x"},
        {"/", "Z:\\"},
        {u8"/表/ソ", CP932("Z:\\表\\ソ")},
        {"a/b", "a\\b"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ToWindowsPath(c.unixPath), c.windows) << c.unixPath;
    // What cp932 lacks takes a code that maps back to it, never a separator.
    std::string unixPath;
    const std::string yen = ToWindowsPath(u8"/a¥b");
    EXPECT_EQ(yen.find('\\', 3), std::string::npos);
    ASSERT_TRUE(ToUnixPath(yen.c_str(), unixPath));
    EXPECT_EQ(unixPath, u8"/a¥b");
}

TEST(PathMapping, FolderWithTrailByte5CRoundTrips)
{
    TempFolder temp;
    std::string folder = temp.MakeFolder(u8"表ソ");
    temp.MakeFile(u8"表ソ/f.txt");
    std::string windows = ToWindowsPath(folder);
    EXPECT_EQ(windows, ToWindowsPath(temp.Path()) + CP932("\\表ソ"));
    std::string file = Unix(windows + "\\f.txt");
    EXPECT_EQ(file, folder + "/f.txt");
    EXPECT_TRUE(std::filesystem::exists(file));
}

TEST(PathMapping, NamesMatchWithoutAsciiCase)
{
    TempFolder temp;
    temp.MakeFolder("Mixed/Sub");
    temp.MakeFile("Mixed/Sub/file.TXT");
    temp.MakeFolder("Dup");
    temp.MakeFolder("dUP");
    temp.MakeFolder(u8"Ａb");
    const std::string root = ToWindowsPath(temp.Path());
    const std::string& t = temp.Path();
    struct Case {
        std::string windows, unixPath;
    } cases[] = {
        {"\\MIXED\\sub\\FILE.txt", "/Mixed/Sub/file.TXT"},
        {"\\mixed\\Sub\\New.txt", "/Mixed/Sub/New.txt"},  // new file in an existing folder
        {"\\mixed\\Gone\\X", "/Mixed/Gone/X"},            // the rest stays as given
        {"\\mixed\\.\\sub\\..\\SUB", "/Mixed/./Sub/../Sub"},
        {"\\dup", "/Dup"},           // first in byte order
        {"\\dUP", "/dUP"},           // exact name wins
        {CP932("\\ａB"), u8"/ａB"},  // only ASCII letters match
        {CP932("\\Ａb"), u8"/Ａb"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Unix(root + c.windows), t + c.unixPath) << c.windows;

    ASSERT_EQ(chdir(t.c_str()), 0);
    EXPECT_EQ(Unix("mixed\\SUB"), "Mixed/Sub");
}

}  // namespace
