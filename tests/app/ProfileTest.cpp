// Mivo::Profile: the path it takes and the numbers it writes. The read-only
// retry is exercised through the settings (SettingsTest.cpp).

#include "app/Profile.h"
#include "platform/Win32.h"

#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

class ProfileTest : public ::testing::Test {
protected:
    std::string Unix(const std::string& name) const { return folder.Path() + "/" + name; }
    std::string Win(const std::string& name) const { return test_system::WindowsPathOf(Unix(name)); }
    std::string Bytes(const std::string& name) const
    {
        std::ifstream in(Unix(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    TempFolder folder;
};

TEST_F(ProfileTest, RelativeNamesAreTakenFromTheCurrentFolder)
{
    std::filesystem::current_path(folder.Path());
    Mivo::Profile profile;
    ASSERT_TRUE(profile.SetFileName("conf\\a.ini"));
    EXPECT_STREQ(profile.FileName().Text(), Win("conf\\a.ini").c_str());
    ASSERT_TRUE(profile.SetFileName("C:\\x\\a.ini"));
    EXPECT_STREQ(profile.FileName().Text(), "C:\\x\\a.ini");
    ASSERT_TRUE(profile.SetFileName("\\\\server\\share\\a.ini"));
    EXPECT_STREQ(profile.FileName().Text(), "\\\\server\\share\\a.ini");
}

TEST_F(ProfileTest, WritesAndReadsSignedNumbers)
{
    Mivo::Profile profile;
    profile.SetFileName(Win("p.ini").c_str());
    EXPECT_EQ(profile.GetInt("S", "a", -7), -7);
    ASSERT_TRUE(profile.WriteInt("S", "a", -2147483647 - 1));
    ASSERT_TRUE(profile.WriteInt("S", "b", 2147483647));
    EXPECT_EQ(profile.GetInt("S", "a", 0), -2147483647 - 1);
    EXPECT_EQ(profile.GetInt("s", "B", 0), 2147483647);
    EXPECT_EQ(Bytes("p.ini"), "[S]\r\na=-2147483648\r\nb=2147483647\r\n");
}

TEST_F(ProfileTest, OtherWriteFailuresAreReported)
{
    Mivo::Profile profile;
    profile.SetFileName(Win("missing\\p.ini").c_str());
    EXPECT_FALSE(profile.WriteInt("S", "a", 1));
    std::string elsewhere = "C:\\p.ini";  // on Linux only drive Z: exists
#ifdef _WIN32
    // A drive this machine has not.
    const DWORD drives = GetLogicalDrives();
    while (elsewhere[0] < 'Z' && (drives >> (elsewhere[0] - 'A') & 1) != 0)
        ++elsewhere[0];
#endif
    profile.SetFileName(elsewhere.c_str());
    EXPECT_FALSE(profile.WriteInt("S", "a", 1));
}

}  // namespace
