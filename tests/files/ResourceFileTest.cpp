// ResourceFile and the archive list: the lookup order through folder archives
// on a real folder tree, and the read interface of disk files and members.

#include "files/ArchiveList.h"
#include "files/Paths.h"
#include "files/ResourceFile.h"

#include "tests/support/ArchiveTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ArchiveTest;
using Mivo::ResourceFile;

namespace {

std::string ReadAll(ResourceFile& file)
{
    std::string out;
    char chunk[7];
    while (int n = file.Read(chunk, sizeof chunk)) {
        if (n < 0)
            break;
        out.append(chunk, n);
    }
    return out;
}

HandArchive Archive(std::vector<std::pair<std::string, std::string>> members)
{
    HandArchive hand;
    for (auto& [name, data] : members)
        hand.members.push_back({.name = name, .data = data});
    return hand;
}

// Makes the current folder the test's folder for relative paths, and puts the
// old one back.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::string& folder)
    {
        char buffer[MAX_PATH];
        if (GetCurrentDirectoryA(MAX_PATH, buffer))
            old = buffer;
        ok = SetCurrentDirectoryA(folder.c_str());
    }
    ~CurrentFolder() { SetCurrentDirectoryA(old.c_str()); }
    bool ok;

private:
    std::string old;
};

class ResourceFileTest : public ::testing::Test {
protected:
    // The tree of the lookup tests: archives at two levels, plain files that
    // some members hide.
    void MakeTree(const std::string& top = "se")
    {
        temp.Write(top + "/guitar.dat", Archive({{"e2.wav", "inner e2"}}).Build());
        temp.Write(top + ".dat", Archive({{"guitar/e2.wav", "outer e2"},
                                          {"guitar/a2.wav", "outer a2"},
                                          {"clip.wav", "member clip"},
                                          {"sub/x.wav", "member x"},
                                          {"se.csv", "member table"}})
                                     .Build());
        for (const char* name : {"se/guitar/e2.wav", "se/guitar/a2.wav", "se/guitar/b2.wav", "se/clip.wav",
                                 "se/other.wav", "se/sub/x.wav", "se.csv"})
            temp.Write(top + std::string(name).substr(2), std::string("plain ") + name);
    }

    // The request as given, after the folder's Windows path.
    std::string Path(const std::string& name) const { return temp.Windows() + "\\" + name; }

    TempFolder temp;
};

TEST_F(ResourceFileTest, LooksInFolderArchivesInnermostFirstThenOnDisk)
{
    MakeTree();
    struct Case {
        const char* request;
        int kind;
        const char* content;
        const char* opened;  // the normalised path, relative to the folder
    } cases[] = {
        {"se\\guitar\\e2.wav", ResourceFile::ArchiveMember, "inner e2", "se\\guitar\\e2.wav"},
        {"se\\guitar\\a2.wav", ResourceFile::ArchiveMember, "outer a2", "se\\guitar\\a2.wav"},
        {"se\\guitar\\b2.wav", ResourceFile::DiskFile, "plain se/guitar/b2.wav", "se\\guitar\\b2.wav"},
        {"se\\clip.wav", ResourceFile::ArchiveMember, "member clip", "se\\clip.wav"},
        {"SE\\CLIP.WAV", ResourceFile::ArchiveMember, "member clip", "SE\\CLIP.WAV"},
        {"se\\other.wav", ResourceFile::DiskFile, "plain se/other.wav", "se\\other.wav"},
        {"se\\guitar\\.\\e2.wav", ResourceFile::ArchiveMember, "inner e2", "se\\guitar\\e2.wav"},
        {"se\\x\\..\\clip.wav", ResourceFile::ArchiveMember, "member clip", "se\\clip.wav"},
        {"se\\sub\\x.wav", ResourceFile::ArchiveMember, "member x", "se\\sub\\x.wav"},
        // se/sub.dat, then member sub/x.wav of se.dat, which is indexed as sub\x.wav.
        {"se/sub/x.wav", ResourceFile::DiskFile, "plain se/sub/x.wav", "se/sub/x.wav"},
    };
    for (const Case& c : cases) {
        ResourceFile file;
        ASSERT_TRUE(file.Open(Path(c.request).c_str())) << c.request;
        EXPECT_EQ(file.Kind(), c.kind) << c.request;
        EXPECT_EQ(file.Size(), static_cast<int>(std::string(c.content).size())) << c.request;
        EXPECT_EQ(ReadAll(file), c.content) << c.request;
        EXPECT_EQ(file.Path().Text(), Path(c.opened)) << c.request;
    }
    ResourceFile file;
    EXPECT_FALSE(file.Open(Path("se\\missing.wav").c_str()));
    EXPECT_EQ(file.Kind(), ResourceFile::Closed);
}

TEST_F(ResourceFileTest, SingleComponentAndClimbingPathsAskNoArchive)
{
    MakeTree();
    CurrentFolder here(temp.Windows());
    ASSERT_TRUE(here.ok);
    const std::size_t listed = Mivo::ArchiveList().size();

    ResourceFile file;
    ASSERT_TRUE(file.Open("se.csv"));
    EXPECT_EQ(file.Kind(), ResourceFile::DiskFile);
    EXPECT_EQ(ReadAll(file), "plain se.csv");
    ASSERT_TRUE(file.Open(".\\se.csv"));
    EXPECT_EQ(ReadAll(file), "plain se.csv");
    EXPECT_STREQ(file.Path().Text(), "se.csv");
    EXPECT_FALSE(file.Open("missing.csv"));
    for (const char* climbing : {"..\\se.csv", "se\\..\\..\\se.csv", "se\\x\\..\\..\\..\\se\\clip.wav"})
        EXPECT_FALSE(file.Open(climbing)) << climbing;
    EXPECT_EQ(Mivo::ArchiveList().size(), listed);
}

TEST_F(ResourceFileTest, BrokenArchiveIsPassedOverAndTriedAgainLater)
{
    MakeTree();
    const std::string valid = Archive({{"e2.wav", "inner e2"}}).Build();
    temp.Write("se/guitar.dat", valid.substr(0, valid.size() - 1));
    ResourceFile file;
    ASSERT_TRUE(file.Open(Path("se\\guitar\\e2.wav").c_str()));
    EXPECT_EQ(ReadAll(file), "outer e2");
    EXPECT_EQ(Mivo::FindArchive(Path("se\\guitar.dat").c_str()), nullptr);

    temp.Write("se/guitar.dat", valid);
    ASSERT_TRUE(file.Open(Path("se\\guitar\\e2.wav").c_str()));
    EXPECT_EQ(ReadAll(file), "inner e2");
    Mivo::ZipReader* reader = Mivo::FindArchive(Path("SE\\GUITAR.DAT").c_str());
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader, Mivo::FindArchive(Path("se\\guitar.dat").c_str()));
    EXPECT_EQ(Mivo::ArchiveList().back().get(), reader);
}

// The archive list is keyed by the path as built, whatever the current folder:
// relative names here are used by no other test.
TEST_F(ResourceFileTest, SameArchiveThroughAnotherPathCannotBeOpenedAgain)
{
    MakeTree("excl");
    CurrentFolder here(temp.Windows());
    ASSERT_TRUE(here.ok);

    ResourceFile absolute;
    ASSERT_TRUE(absolute.Open(Path("excl\\clip.wav").c_str()));
    EXPECT_EQ(absolute.Kind(), ResourceFile::ArchiveMember);
    absolute.Close();  // the archive stays held by the list, not by the file

    // excl.dat is a new key: opening it again fails, so the plain files serve.
    ResourceFile relative;
    ASSERT_TRUE(relative.Open("excl\\clip.wav"));
    EXPECT_EQ(relative.Kind(), ResourceFile::DiskFile);
    EXPECT_EQ(ReadAll(relative), "plain se/clip.wav");
    ASSERT_TRUE(relative.Open("excl\\guitar\\a2.wav"));
    EXPECT_EQ(ReadAll(relative), "plain se/guitar/a2.wav");
    EXPECT_FALSE(relative.Open("excl\\se.csv"));  // only a member of excl.dat
    EXPECT_TRUE(absolute.Open(Path("excl\\se.csv").c_str()));

    EXPECT_EQ(Mivo::FindArchive("excl.dat"), nullptr);
    int held = 0;
    for (const auto& reader : Mivo::ArchiveList())
        held += Mivo::ComparePath(reader->Name().Text(), Path("excl.dat").c_str()) == 0;
    EXPECT_EQ(held, 1);
}

TEST_F(ResourceFileTest, DiskFilesMayStandOnePastTheEndMembersNot)
{
    const std::string content = "0123456789";
    temp.Write("d/disk.bin", content);
    temp.Write("m.dat", Archive({{"member.bin", content}}).Build());

    struct Step {
        int offset;
        int origin;
        int diskTell;
        int memberTell;
    } steps[] = {
        {0, 2, 9, 9},    // one byte left
        {10, 0, 10, 9},  // Size(): the disk file stands past its end
        {11, 0, 9, 9},   // beyond that: the last byte
        {-5, 2, 4, 4},  {-3, 1, 7, 7}, {-100, 1, 0, 0}, {-1, 0, 0, 0}, {100, 2, 9, 9}, {1, 2, 10, 9},
    };
    for (const char* name : {"d\\disk.bin", "m\\member.bin"}) {
        ResourceFile file;
        ASSERT_TRUE(file.Open(Path(name).c_str()));
        const bool disk = file.Kind() == ResourceFile::DiskFile;
        EXPECT_EQ(disk, name[0] == 'd');
        EXPECT_EQ(file.Size(), 10);
        EXPECT_EQ(file.Tell(), 0);
        for (const Step& s : steps) {
            ASSERT_TRUE(file.Seek(s.offset, s.origin)) << name << " " << s.offset << "/" << s.origin;
            const int tell = disk ? s.diskTell : s.memberTell;
            EXPECT_EQ(file.Tell(), tell) << name << " " << s.offset << "/" << s.origin;
            EXPECT_EQ(ReadAll(file), content.substr(tell)) << name << " " << s.offset << "/" << s.origin;
            EXPECT_EQ(file.Tell(), 10);
        }
        EXPECT_TRUE(file.Seek(4, 0));
        EXPECT_FALSE(file.Seek(0, 3));
        EXPECT_EQ(file.Tell(), 4);
        char buffer[4];
        EXPECT_EQ(file.Read(buffer, -1), 0);
        EXPECT_EQ(file.Tell(), 4);

        file.Close();
        EXPECT_EQ(file.Kind(), ResourceFile::Closed);
        EXPECT_TRUE(file.Path().IsEmpty());
        EXPECT_EQ(file.Size(), -1);
        EXPECT_EQ(file.Tell(), -1);
        EXPECT_EQ(file.Read(buffer, 4), -1);
        EXPECT_FALSE(file.Seek(0, 0));
    }
}

TEST_F(ResourceFileTest, EmptyFilesAndMembersOutsideTheArchive)
{
    temp.Write("empty.bin", "");
    HandArchive hand = Archive({{"empty.wav", ""}, {"lost.wav", "lost"}, {"huge.csv", "huge"}, {"big.csv", "big"}});
    hand.members[1].localOffset = 0x100000;
    hand.members[2].size = 0x7FFFFF00;
    hand.members[3].size = 0x80000000;
    temp.Write("a.dat", hand.Build());
    // The directory's numbers are checked first: members whose data is not
    // in the archive are not there, and nothing can report a size the file
    // cannot give.
    temp.Write("two-gigabytes.bin", "");
    std::filesystem::resize_file(temp.Path() + "/two-gigabytes.bin", 0x80000000u);  // sparse
    for (const char* name : {"a\\lost.wav", "a\\huge.csv", "a\\big.csv", "two-gigabytes.bin"}) {
        ResourceFile file;
        EXPECT_FALSE(file.Open(Path(name).c_str())) << name;
        EXPECT_EQ(file.Size(), -1) << name;
    }
    struct Case {
        const char* name;
        int kind;
        int size;
        bool seeks;
    } cases[] = {
        {"empty.bin", ResourceFile::DiskFile, 0, true},
        {"a\\empty.wav", ResourceFile::ArchiveMember, 0, true},
    };
    for (const Case& c : cases) {
        ResourceFile file;
        ASSERT_TRUE(file.Open(Path(c.name).c_str())) << c.name;
        EXPECT_EQ(file.Kind(), c.kind) << c.name;
        EXPECT_EQ(file.Size(), c.size) << c.name;
        for (int origin : {0, 1, 2}) {
            EXPECT_EQ(file.Seek(3, origin), c.seeks) << c.name << " " << origin;
            EXPECT_EQ(file.Tell(), 0) << c.name << " " << origin;
            char buffer[4];
            EXPECT_EQ(file.Read(buffer, 4), 0) << c.name << " " << origin;
        }
    }
}

TEST_F(ResourceFileTest, OpeningAgainClosesTheFirstFileEvenWhenTheLookupFails)
{
    temp.Write("held.bin", "held");
    ResourceFile first;
    ResourceFile second;
    ASSERT_TRUE(first.Open(Path("held.bin").c_str()));
    EXPECT_FALSE(second.Open(Path("held.bin").c_str()));  // held exclusively
    EXPECT_EQ(second.Kind(), ResourceFile::Closed);

    EXPECT_FALSE(first.Open(Path("missing.bin").c_str()));
    EXPECT_EQ(first.Kind(), ResourceFile::Closed);
    EXPECT_EQ(first.Size(), -1);
    ASSERT_TRUE(second.Open(Path("held.bin").c_str()));
    EXPECT_EQ(ReadAll(second), "held");

    EXPECT_FALSE(second.Open("..\\held.bin"));  // fails before any lookup
    ASSERT_TRUE(first.Open(Path("held.bin").c_str()));
}

TEST_F(ResourceFileTest, ArchiveMadeByDebianZip)
{
    if (!HaveZip())
        GTEST_SKIP() << ZipCannotRun;
    temp.Write("pack/se/Kick.WAV", "kick drum");
    temp.Write("pack/se/loops/Loop1.wav", std::string(70000, 'L'));
    ASSERT_TRUE(RunZip(temp.Path() + "/pack/se", "-0 -X -r ../../se.dat ."));
    ResourceFile file;
    ASSERT_TRUE(file.Open(Path("se\\kick.wav").c_str()));
    EXPECT_EQ(file.Kind(), ResourceFile::ArchiveMember);
    EXPECT_EQ(ReadAll(file), "kick drum");
    ASSERT_TRUE(file.Open(Path("se\\LOOPS\\loop1.wav").c_str()));
    EXPECT_EQ(file.Kind(), ResourceFile::ArchiveMember);
    EXPECT_EQ(ReadAll(file), std::string(70000, 'L'));
}

}  // namespace
