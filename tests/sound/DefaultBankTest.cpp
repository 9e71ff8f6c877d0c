// The default bank that the build makes, loaded the way the program starts:
// from se.dat, and from a plain se folder.

#include "sound/SoundTable.h"

#include "files/ArchiveList.h"

#include "tests/support/ArchiveTestSupport.h"
#include "tests/support/SoundTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

bool HoldsArchive(const char* name)
{
    for (const auto& reader : Mivo::ArchiveList())
        if (lstrcmpiA(reader->Name().Text(), name) == 0)
            return true;
    return false;
}

void ExpectWholeBank(const TempFolder& temp)
{
    SoundTest::CurrentFolder here(temp.Path());
    SoundTest::MessageBoxes boxes;
    SoundTable table;
    ASSERT_TRUE(table.ReadTable("se.csv"));
    EXPECT_EQ(table.LoadAll(), 41);
    EXPECT_TRUE(boxes.Texts().empty());
    for (int id = 0; id <= 40; ++id) {
        Mivo::Chunk* const* found = table.Find(id);
        ASSERT_NE(found, nullptr) << id;
        EXPECT_NE(*found, nullptr) << id;
    }
}

TEST(DefaultBankTest, LoadsFromTheArchive)
{
    TempFolder temp;
    for (const char* name : {"se.csv", "se.dat"})
        fs::copy_file(fs::path(STRUMKEY_BANK_FOLDER) / name, fs::path(temp.Path()) / name);
    ExpectWholeBank(temp);
    EXPECT_TRUE(HoldsArchive("se.dat"));
}

TEST(DefaultBankTest, LoadsFromAPlainFolder)
{
    // Archives stay open for the process: one opened by an earlier test here
    // would serve these samples instead of the folder.
    if (HoldsArchive("se.dat"))
        GTEST_SKIP() << "se.dat is already open in this process; run each test alone (ctest does)";
    TempFolder temp;
    fs::copy(STRUMKEY_PLAIN_BANK_FOLDER, fs::u8path(temp.Path()), fs::copy_options::recursive);
    ASSERT_FALSE(fs::exists(fs::u8path(temp.Path()) / "se.dat"));
    ExpectWholeBank(temp);
    EXPECT_FALSE(HoldsArchive("se.dat"));
}

}  // namespace
