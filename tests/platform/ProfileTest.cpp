// Private-profile (.ini) reads and writes and file attributes, on real files.

#include "platform/linux/profile/IniText.h"
#include "platform/linux/kernel/PathMapping.h"
#include "platform/Win32.h"

#include "tests/support/TempFolder.h"
#include "tests/support/IniLines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <set>
#include <string>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class Profile : public ::testing::Test {
protected:
    // Writes the file (bytes exactly) and returns its Windows path.
    std::string Make(const std::string& name, const std::string& bytes)
    {
        std::ofstream(Unix(name), std::ios::binary) << bytes;
        return Win(name);
    }
    std::string Unix(const std::string& name) const { return folder.Path() + "/" + name; }
    std::string Win(const std::string& name) const { return platform::ToWindowsPath(Unix(name)); }
    std::string Bytes(const std::string& name) const
    {
        std::ifstream in(Unix(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::set<std::string> Names() const
    {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
            names.insert(entry.path().filename().string());
        return names;
    }
    mode_t Mode(const std::string& name) const
    {
        struct stat st;
        return ::stat(Unix(name).c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
    }

    TempFolder folder;
};

UINT Read(const std::string& file, const char* section, const char* key, INT fallback = 99)
{
    return GetPrivateProfileIntA(section, key, fallback, file.c_str());
}

bool Write(const std::string& file, const char* section, const char* key, const char* value)
{
    return WritePrivateProfileStringA(section, key, value, file.c_str()) != FALSE;
}

TEST_F(Profile, IntegersAreReadAsWindowsReadsThem)
{
    struct Case {
        const char* value;
        UINT expected;
    };
    const Case cases[] = {
        {"42", 42},         {"  42  ", 42},     {"+7", 7},
        {"-1", 0xFFFFFFFF}, {"007", 7},         {"4294967295", 0xFFFFFFFF},
        {"4294967297", 1},  {"-4294967296", 0}, {"12abc", 12},
        {"3.9", 3},         {"1 2", 1},         {"0x10", 0},
        {"abc", 0},         {"-", 0},           {"--5", 0},
        {"+-5", 0},         {"- 5", 0},         {"\"42\"", 42},
        {"'7'", 7},         {"\"8", 0},         {"", 99},
        {"\"\"", 99},
    };
    for (const Case& c : cases) {
        std::string file = Make("int.ini", std::string("[s]\nk=") + c.value + "\n");
        EXPECT_EQ(Read(file, "s", "k"), c.expected) << "value [" << c.value << "]";
    }
    // A key line without '=' has an empty value.
    EXPECT_EQ(Read(Make("bare.ini", "[s]\nk\n"), "s", "k"), 99u);
}

TEST_F(Profile, MissingFileSectionOrKeyGivesTheDefault)
{
    std::string file = Make("a.ini", "[s]\nk=5\n");
    EXPECT_EQ(Read(file, "s", "k"), 5u);
    EXPECT_EQ(Read(file, "s", "other", -5), static_cast<UINT>(-5));
    EXPECT_EQ(Read(file, "t", "k"), 99u);
    EXPECT_EQ(Read(Win("missing.ini"), "s", "k"), 99u);
    EXPECT_EQ(Read(Win("no-folder/a.ini"), "s", "k"), 99u);
    EXPECT_EQ(Read(folder.Path(), "s", "k"), 99u);  // a folder
    EXPECT_EQ(Read(file, nullptr, "k"), 99u);
    EXPECT_EQ(Read(file, "s", nullptr), 99u);
}

TEST_F(Profile, NamesCommentsAndFirstMatches)
{
    std::string file = Make("names.ini",
                            "early=1\n"
                            "  [ Setting ]  \n"
                            "; Hidden=2\n"
                            "  Velocity   =   30  \n"
                            "velocity=31\n"
                            "[Other]\n"
                            "Only=4\n"
                            "[SETTING]\n"
                            "Velocity=40\n"
                            "Late=5\n");
    EXPECT_EQ(Read(file, "setting", "VELOCITY"), 30u);
    EXPECT_EQ(Read(file, " Setting ", " Velocity "), 30u);
    EXPECT_EQ(Read(file, "Setting", "Hidden"), 99u);  // a comment
    EXPECT_EQ(Read(file, "Setting", "; Hidden"), 99u);
    EXPECT_EQ(Read(file, "Setting", "Only"), 99u);  // another section's key
    EXPECT_EQ(Read(file, "Setting", "Late"), 99u);  // only the first section counts
    EXPECT_EQ(Read(file, "", "early"), 99u);        // lines before any section
}

TEST_F(Profile, CrLfAndCrlfAllEndLines)
{
    for (const char* eol : {"\n", "\r\n", "\r"}) {
        std::string e = eol;
        std::string file = Make("eol.ini", "[a]" + e + "x=1" + e + "[b]" + e + "y=2" + e + "z=3");
        EXPECT_EQ(Read(file, "a", "x"), 1u);
        EXPECT_EQ(Read(file, "b", "y"), 2u);
        EXPECT_EQ(Read(file, "b", "z"), 3u);
        EXPECT_EQ(Read(file, "a", "y"), 99u);
    }
    EXPECT_EQ(Read(Make("mixed.ini", "[a]\r\nx=1\ry=2\nz=3\r\n"), "a", "z"), 3u);
    EXPECT_EQ(Read(Make("bom.ini", "\xEF\xBB\xBF[a]\nx=1\n"), "a", "x"), 1u);
}

TEST_F(Profile, AWriteChangesOnlyWhatItMust)
{
    const std::string original =
        "; Written by hand\r\n"
        "\r\n"
        "[Window]\r\n"
        "Left = 10\r\n"
        "\r\n"
        "[setting]\r\n"
        "; strength\r\n"
        "   velocity = 300 \r\n"
        "Interval=40\r\n"
        "\r\n"
        "; the end\r\n"
        "[Setting]\r\n"
        "Interval=1\r\n"
        "[Last]\r\n"
        "x=1";
    std::string file = Make("hand.ini", original);
    ASSERT_TRUE(Write(file, "Setting", "Velocity", "44"));
    ASSERT_TRUE(Write(file, "Setting", "Interval", "40"));  // unchanged
    ASSERT_TRUE(Write(file, "window", "left", "10"));       // unchanged, blanks kept
    ASSERT_TRUE(Write(file, "Setting", "MaxInterval", "1000"));
    ASSERT_TRUE(Write(file, "Setting", "Mode", "0"));
    ASSERT_TRUE(Write(file, "Last", "y", "2"));
    ASSERT_TRUE(Write(file, "New", "z", "3"));
    EXPECT_EQ(Bytes("hand.ini"),
              "; Written by hand\r\n"
              "\r\n"
              "[Window]\r\n"
              "Left = 10\r\n"
              "\r\n"
              "[setting]\r\n"
              "; strength\r\n"
              "   velocity=44\r\n"
              "Interval=40\r\n"
              "MaxInterval=1000\r\n"
              "Mode=0\r\n"
              "\r\n"
              "; the end\r\n"
              "[Setting]\r\n"
              "Interval=1\r\n"
              "[Last]\r\n"
              "x=1\r\n"
              "y=2\r\n"
              "[New]\r\n"
              "z=3\r\n");
    EXPECT_EQ(Names(), std::set<std::string>{"hand.ini"});
}

TEST_F(Profile, InsertedLinesFollowTheFileLineEnds)
{
    // A new file is written with CRLF.
    std::string created = Win("new.ini");
    ASSERT_TRUE(Write(created, "s", "a", "1"));
    ASSERT_TRUE(Write(created, "s", "b", "-2"));
    EXPECT_EQ(Bytes("new.ini"), "[s]\r\na=1\r\nb=-2\r\n");

    std::string lf = Make("lf.ini", "[s]\n[t]\nx=1");
    ASSERT_TRUE(Write(lf, "s", "a", "1"));  // right after its section line
    ASSERT_TRUE(Write(lf, "t", "y", "2"));  // after a last line without a line end
    EXPECT_EQ(Bytes("lf.ini"), "[s]\na=1\n[t]\nx=1\ny=2");

    std::string bom = Make("bom.ini", "\xEF\xBB\xBF[s]\rx=1\r");
    ASSERT_TRUE(Write(bom, "s", "x", "2"));
    ASSERT_TRUE(Write(bom, "u", "y", "3"));
    EXPECT_EQ(Bytes("bom.ini"), "\xEF\xBB\xBF[s]\rx=2\r[u]\ry=3\r");
}

TEST_F(Profile, NullValueDeletesAKeyAndNullKeyASection)
{
    std::string file = Make("del.ini", "[a]\nx=1\ny=2\n; note\n[b]\nz=3\n");
    ASSERT_TRUE(Write(file, "a", "x", nullptr));
    EXPECT_EQ(Bytes("del.ini"), "[a]\ny=2\n; note\n[b]\nz=3\n");
    ASSERT_TRUE(Write(file, "A", nullptr, nullptr));
    EXPECT_EQ(Bytes("del.ini"), "[b]\nz=3\n");
    EXPECT_TRUE(Write(file, "gone", "x", nullptr));
    EXPECT_TRUE(Write(file, "gone", nullptr, nullptr));
    EXPECT_EQ(Bytes("del.ini"), "[b]\nz=3\n");
    EXPECT_TRUE(Write(Win("none.ini"), "a", "x", nullptr));
    EXPECT_EQ(Names(), std::set<std::string>{"del.ini"});
}

TEST_F(Profile, WritesThatWouldBreakTheFileAreRefused)
{
    std::string file = Make("bad.ini", "[s]\nk=1\n");
    struct Case {
        const char *section, *key, *value;
    };
    const Case cases[] = {
        {"s", "k", "1\n[t]"}, {"s", "k", "1\r2"}, {"s\n", "k", "1"},   {"s", "k=", "1"},
        {"s", " ;k", "1"},    {"s", "[k]", "1"},  {nullptr, "k", "1"},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_FALSE(Write(file, c.section, c.key, c.value)) << c.key;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << c.key;
    }
    EXPECT_EQ(Bytes("bad.ini"), "[s]\nk=1\n");
}

TEST_F(Profile, AReadOnlyFileIsRefusedAndLeftAlone)
{
    std::string file = Make("ro.ini", "[s]\nk=1\n");
    ASSERT_EQ(::chmod(Unix("ro.ini").c_str(), 0444), 0);
    SetLastError(0);
    EXPECT_FALSE(Write(file, "s", "k", "2"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(Write(file, "s", "k", "1"));  // even when nothing would change
    EXPECT_EQ(Bytes("ro.ini"), "[s]\nk=1\n");
    EXPECT_EQ(Mode("ro.ini"), 0444u);
    EXPECT_EQ(Read(file, "s", "k"), 1u);

    SetLastError(0);
    EXPECT_FALSE(Write(Win(""), "s", "k", "1"));  // the folder itself
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(Write(Win("no-folder/a.ini"), "s", "k", "1"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
}

TEST_F(Profile, AFailedWriteLeavesTheOldFileAndNoTemporaryFile)
{
    const std::string original = "[s]\nk=1\n; some room for the limit below\n";
    std::string file = Make("full.ini", original);
    // Cap the size of files this process may write, as a full disk would.
    struct rlimit saved;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit capped = saved;
    capped.rlim_cur = 16;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &capped), 0);
    SetLastError(0);
    bool written = Write(file, "s", "k", "2");
    DWORD error = GetLastError();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(error, ERROR_DISK_FULL);
    EXPECT_EQ(Bytes("full.ini"), original);
    EXPECT_EQ(Names(), std::set<std::string>{"full.ini"});
}

TEST_F(Profile, AWriteKeepsModeLinksAndTheNameOnDisk)
{
    Make("Settings.INI", "[s]\nk=1\n");
    ASSERT_EQ(::chmod(Unix("Settings.INI").c_str(), 0640), 0);
    ASSERT_TRUE(Write(Win("settings.ini"), "s", "k", "2"));  // names match without case
    EXPECT_EQ(Bytes("Settings.INI"), "[s]\nk=2\n");
    EXPECT_EQ(Mode("Settings.INI"), 0640u);

    std::filesystem::create_symlink("Settings.INI", Unix("link.ini"));
    ASSERT_TRUE(Write(Win("link.ini"), "s", "k", "3"));
    EXPECT_TRUE(std::filesystem::is_symlink(Unix("link.ini")));
    EXPECT_EQ(Bytes("Settings.INI"), "[s]\nk=3\n");
    EXPECT_EQ(Names(), (std::set<std::string>{"Settings.INI", "link.ini"}));
}

TEST_F(Profile, FileAttributesFollowTheWriteBits)
{
    Make("f.ini", "x");
    const std::string file = Win("f.ini");
    ASSERT_EQ(::chmod(Unix("f.ini").c_str(), 0664), 0);
    EXPECT_EQ(GetFileAttributesA(file.c_str()), FILE_ATTRIBUTE_NORMAL);

    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(Mode("f.ini"), 0444u);
    EXPECT_EQ(GetFileAttributesA(file.c_str()), FILE_ATTRIBUTE_READONLY);

    ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(Mode("f.ini"), 0644u);  // the owner's write bit only
    EXPECT_EQ(GetFileAttributesA(file.c_str()), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(SetFileAttributesA(file.c_str(), 0));
    EXPECT_EQ(Mode("f.ini"), 0644u);

    folder.MakeFolder("sub");
    EXPECT_EQ(GetFileAttributesA(Win("sub").c_str()), FILE_ATTRIBUTE_DIRECTORY);

    SetLastError(0);
    EXPECT_EQ(GetFileAttributesA(Win("missing").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetFileAttributesA(Win("missing/x").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(SetFileAttributesA(Win("missing").c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

}  // namespace

// Every line survives any write, whatever mix of CR, LF and CRLF ends the
// lines: the file's lines afterwards are its lines before, with only the
// written line added, changed or taken away.

TEST(ProfileLines, NoLineIsLostOrMergedByAnyWrite)
{
    const char* const Lines[] = {"[s]", "k=1", "", "; c", "[t]", "x=2", "", "[u]"};
    const char* const Ends[] = {"\r", "\n", "\r\n"};
    std::mt19937 random(20261208);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes;
        const int count = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < count; ++i)
            bytes += std::string(Lines[random() % 8]) + (i + 1 < count || random() % 2 ? Ends[random() % 3] : "");
        const std::vector<std::string> before = ini_lines::Split(bytes);
        const std::string section = random() % 2 ? "s" : "t";
        const bool hasSection = std::find(before.begin(), before.end(), "[" + section + "]") != before.end();
        auto after = [&](const std::function<bool(platform::IniText&)>& edit) {
            platform::IniText text(bytes);
            return edit(text) ? std::optional(ini_lines::Split(text.Bytes())) : std::nullopt;
        };
        const std::string where = testing::PrintToString(bytes);
        if (auto added = after([&](platform::IniText& t) { return t.Set(section, "n", "5"); })) {
            std::vector<std::string> expected = before;
            if (!hasSection)
                expected.push_back("[" + section + "]");  // a new section goes at the end
            EXPECT_TRUE(ini_lines::OneLineMore(*added, expected, "n=5")) << "new key in " << where;
        }
        if (auto deleted = after([&](platform::IniText& t) { return t.DeleteKey(section, "k"); })) {
            EXPECT_TRUE(ini_lines::OneLineMore(before, *deleted, "k=1")) << "deleted key in " << where;
        }
        if (auto changed = after([&](platform::IniText& t) { return t.Set(section, "k", "7"); })) {
            std::vector<std::string> expected = before;
            if (!hasSection)
                expected.push_back("[" + section + "]");
            EXPECT_TRUE(ini_lines::OneLineChanged(*changed, before) ||
                        ini_lines::OneLineMore(*changed, expected, "k=7"))
                << "changed key in " << where;
        }
    }
}

// A writer killed at any moment leaves the old file or the new one, whole:
// a child saves a growing number again and again, and is killed at random
// times, 150 times over. The file holds a large comment, so that a write is
// never one small block that lands whole by luck. Of the temporary files the
// killed writers leave, the next save clears every one.
TEST(ProfileCrash, AKilledWriterLeavesTheOldFileOrTheNewOneWholeAndNothingThatStays)
{
    TempFolder folder;
    const std::string unixPath = folder.Path() + "/crash.ini";
    const std::string path = platform::ToWindowsPath(unixPath);
    const std::string comment = "; " + std::string(256 * 1024, 'x') + "\r\n";
    std::ofstream(unixPath, std::ios::binary) << comment << "[s]\r\nk=0\r\n";
    std::mt19937 random(8122026);
    long last = 0;
    for (int kill = 0; kill < 150; ++kill) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (long n = last + 1;; ++n)
                if (!WritePrivateProfileStringA("s", "k", std::to_string(n).c_str(), path.c_str()))
                    std::_Exit(1);
        }
        ::usleep(static_cast<useconds_t>(random() % 20000));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed before it was killed";

        std::ifstream in(unixPath, std::ios::binary);
        const std::string bytes(std::istreambuf_iterator<char>(in), {});
        const std::string head = comment + "[s]\r\nk=";
        ASSERT_EQ(bytes.compare(0, head.size(), head), 0) << "kill " << kill;
        ASSERT_TRUE(bytes.ends_with("\r\n")) << "kill " << kill;
        const std::string number = bytes.substr(head.size(), bytes.size() - head.size() - 2);
        ASSERT_FALSE(number.empty());
        ASSERT_EQ(number.find_first_not_of("0123456789"), std::string::npos) << "kill " << kill;
        const long n = std::stol(number);
        ASSERT_GE(n, last) << "kill " << kill << ": an older file came back";
        last = n;
        // At most the killed writer's own temporary file is left.
        ASSERT_LE(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 2) << "kill " << kill;
    }
    ASSERT_TRUE(WritePrivateProfileStringA("s", "k", "0", path.c_str()));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);
}
