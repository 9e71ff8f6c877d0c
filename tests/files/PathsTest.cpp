// The path functions: pure text cases table by table, then the ones that go
// through the Z: drive to the real file system (module path, current folder,
// folders with cp932 names whose trail byte is a backslash).

#include "files/Paths.h"
#include "platform/Cp932Literal.h"

#include "tests/support/System.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using Mivo::String;

namespace {

TEST(PathsTest, CountComponents)
{
    struct Case {
        const char* path;
        int count;
        // clang-format off
    } cases[] = {
        {"a\\b\\c", 3}, {"a\\b\\", 2}, {"\\a", 2},    {"a", 1},        {"a//b", 3},
        {"", 0},        {CP932("表"), 1},     {CP932("表\\ソ"), 2}, {CP932("C:\\表\\x"), 3}, {"\\", 1},
    };
    // clang-format on
    for (const Case& c : cases)
        EXPECT_EQ(Mivo::CountComponents(c.path), c.count) << c.path;
    EXPECT_EQ(Mivo::CountComponents(nullptr), 0);
}

TEST(PathsTest, RemoveLastComponents)
{
    struct Case {
        const char* path;
        int n;
        const char* expected;
        int result;
        // clang-format off
    } cases[] = {
        {"C:\\dir\\app.exe", 1, "C:\\dir", 1},
        {"C:\\app.exe", 1, "C:\\", 1},
        {"se.csv", 1, "", 1},
        {"se\\x.wav", 1, "se", 1},
        {"a\\b\\c", 2, "a", 2},
        {"a\\b\\c", 5, "", 3},
        {"a\\b\\c", 0, "a\\b\\c", 0},
        {"a\\b\\c", -1, "a\\b\\c", 0},
        {"C:\\a\\b", 2, "C:\\", 2},
        {"a/b\\c", 1, "a/b", 1},
        {"a\\b\\", 1, "a", 1},
        {CP932("表\\x"), 1, CP932("表"), 1},
        {CP932("dir\\表ソ"), 1, "dir", 1},
        {CP932("Z:\\表\\ソ\\x.exe"), 1, CP932("Z:\\表\\ソ"), 1},
        {"", 1, "", 0},
    };
    // clang-format on
    for (const Case& c : cases) {
        String path(c.path);
        EXPECT_EQ(Mivo::RemoveLastComponents(path, c.n), c.result) << c.path;
        EXPECT_STREQ(path.Text(), c.expected) << c.path;
    }
}

TEST(PathsTest, TrimSeparators)
{
    struct Case {
        const char* path;
        const char* expected;
        // clang-format off
    } cases[] = {
        {"\\a\\", "a"},       {"\\\\a", "\\\\a"},     {"\\\\\\\\a", "\\\\a"}, {"\\\\\\a", "\\\\a"},
        {"C:\\", "C:\\"},     {"a\\\\", "a\\"},       {"C:\\x\\", "C:\\x"},   {CP932("表"), CP932("表")},
        {CP932("a\\表\\"), CP932("a\\表")}, {"a/", "a/"},           {"", ""},               {"\\", ""},
    };
    // clang-format on
    for (const Case& c : cases) {
        String path(c.path);
        Mivo::TrimSeparators(path);
        EXPECT_STREQ(path.Text(), c.expected) << c.path;
    }
}

TEST(PathsTest, RemoveExtension)
{
    struct Case {
        const char* path;
        const char* expected;
        // clang-format off
    } cases[] = {
        {".ini", ".ini"},   {"a.b\\c", "a.b\\c"},        {"c.d.e", "c.d"},
        {"a", "a"},         {"C:\\app\\prog.exe", "C:\\app\\prog"},
        {CP932("a.b表"), "a"},     {CP932("表.txt"), CP932("表")},            {CP932("C:\\dir.d\\ソ"), CP932("C:\\dir.d\\ソ")},
    };
    // clang-format on
    for (const Case& c : cases) {
        String path(c.path);
        EXPECT_TRUE(Mivo::RemoveExtension(path));
        EXPECT_STREQ(path.Text(), c.expected) << c.path;
    }
}

TEST(PathsTest, AppendPath)
{
    struct Case {
        const char* path;
        const char* name;
        const char* expected;
        // clang-format off
    } cases[] = {
        {"C:\\dir", "x", "C:\\dir\\x"}, {"C:\\dir\\", "x", "C:\\dir\\x"}, {"", "x", "x"},
        {"a", "", "a"},                 {CP932("C:\\表"), "x", CP932("C:\\表\\x")},     {"a/", "x", "a/\\x"},
    };
    // clang-format on
    for (const Case& c : cases) {
        String path(c.path);
        Mivo::AppendPath(path, c.name);
        EXPECT_STREQ(path.Text(), c.expected) << c.path << " + " << c.name;
    }

    String self("0123456789abcde");
    Mivo::AppendPath(self, self.Text());
    EXPECT_STREQ(self.Text(), "0123456789abcde\\0123456789abcde");
}

TEST(PathsTest, ComparePath)
{
    EXPECT_EQ(Mivo::ComparePath("Se\\A.WAV", "se\\a.wav"), 0);
    EXPECT_EQ(Mivo::ComparePath(CP932("表\\ソ"), CP932("表\\ソ")), 0);
    EXPECT_EQ(Mivo::ComparePath("", ""), 0);
    EXPECT_NE(Mivo::ComparePath("a/b", "a\\b"), 0);
    EXPECT_NE(Mivo::ComparePath("a", "ab"), 0);
    EXPECT_NE(Mivo::ComparePath("ab", "a"), 0);
    EXPECT_NE(Mivo::ComparePath(CP932("表"), CP932("ソ")), 0);
    EXPECT_NE(Mivo::ComparePath(CP932("表"), "\x95"), 0);
    // A separator sorts before any other character.
    EXPECT_EQ(Mivo::ComparePath("a\\b", "a.b"), -1);
    EXPECT_EQ(Mivo::ComparePath("a.b", "a/b"), 1);
    // Swapping the paths swaps the sign, separators against each other too.
    for (const char* a : {"a\\b", "a/b", "a.b", "a", CP932("表")})
        for (const char* b : {"a\\b", "a/b", "a.b", "a", CP932("表")})
            EXPECT_EQ(Mivo::ComparePath(a, b) < 0, Mivo::ComparePath(b, a) > 0) << a << " / " << b;
}

TEST(PathsTest, NormalizePath)
{
    struct Case {
        const char* name;
        const char* expected;
        // clang-format off
    } cases[] = {
        {"dat\\.\\se\\..\\a.wav", "dat\\a.wav"},
        {".\\se.csv", "se.csv"},
        {"a\\b\\...\\c", "c"},
        {"\\\\server\\share\\x\\..\\y", "\\\\server\\share\\y"},
        {"a\\.\\b\\", "a\\b"},
        {"a\\b\\..", "a\\b\\.."},
        {"a/./b", "a/./b"},
        {"a\\\\..\\x", "x"},
        {CP932("表\\.\\ソ\\..\\x"), CP932("表\\x")},
        {CP932("ソ.\\x"), CP932("ソ.\\x")},
        {"a\\..\\b", "b"},
    };
    // clang-format on
    for (const Case& c : cases) {
        String out("old");
        EXPECT_TRUE(Mivo::NormalizePath(c.name, out)) << c.name;
        EXPECT_STREQ(out.Text(), c.expected) << c.name;
    }

    for (const char* climbing : {"..\\x", "a\\..\\..\\x", "a\\....\\x"}) {
        String out("untouched");
        EXPECT_FALSE(Mivo::NormalizePath(climbing, out)) << climbing;
        EXPECT_STREQ(out.Text(), "untouched");
    }

    String same("a\\.\\b");
    EXPECT_TRUE(Mivo::NormalizePath(same.Text(), same));
    EXPECT_STREQ(same.Text(), "a\\b");
}

// ---- Through the Z: drive ----------------------------------------------

// The Windows path of an ASCII path of the system.
std::string WindowsPath(const fs::path& unix)
{
    return test_system::WindowsPathOf(unix.u8string());
}

// Runs each test in a fresh temporary folder and puts the process's current
// folder back afterwards.
class PathsFileSystemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = fs::current_path();
        const std::string made = test_system::MakeTempFolder("strumkey-paths-");
        ASSERT_FALSE(made.empty());
        temp = fs::canonical(fs::u8path(made));
        // Expected Windows paths are built from the Unix ones byte by byte.
        const std::string t = temp.u8string();
        ASSERT_TRUE(std::all_of(t.begin(), t.end(), [](unsigned char c) { return c < 0x80; })) << t;
    }

    void TearDown() override
    {
        fs::current_path(saved);
        std::error_code ignored;
        fs::remove_all(temp, ignored);
    }

    static fs::path Executable() { return fs::canonical(test_system::ThisProgram()); }

    fs::path saved;
    fs::path temp;
};

TEST_F(PathsFileSystemTest, GetModulePathNamesThisExecutable)
{
    String path;
    Mivo::GetModulePath(nullptr, path);
    const std::string text = path.Text();
    const std::string name = "\\" + Executable().filename().string();
#ifndef _WIN32
    EXPECT_EQ(text.rfind("Z:\\", 0), 0u) << text;  // the Unix tree
#endif
    ASSERT_GE(text.size(), name.size());
    EXPECT_EQ(text.substr(text.size() - name.size()), name);
    EXPECT_EQ(text, WindowsPath(Executable()));
}

TEST_F(PathsFileSystemTest, GetCurrentDirFollowsChdir)
{
    fs::current_path(temp);
    String dir("previous text");
    Mivo::GetCurrentDir(dir);
    EXPECT_STREQ(dir.Text(), WindowsPath(temp).c_str());
}

TEST_F(PathsFileSystemTest, GetCurrentDirLongerThanMaxPath)
{
#ifdef _WIN32
    GTEST_SKIP() << "Windows keeps the current folder shorter than MAX_PATH";
#endif
    fs::path deep = temp;
    for (int i = 0; i < 3; ++i)
        deep /= std::string(100, static_cast<char>('a' + i));
    fs::create_directories(deep);
    fs::current_path(deep);
    String dir;
    Mivo::GetCurrentDir(dir);
    EXPECT_GT(dir.Length(), static_cast<int>(MAX_PATH));
    EXPECT_STREQ(dir.Text(), WindowsPath(deep).c_str());
}

TEST_F(PathsFileSystemTest, FolderWithBackslashTrailByte)
{
    // 表 and ソ end in byte 0x5C in cp932.
    const fs::path folder = temp / fs::u8path(u8"表ソ");
    fs::create_directory(folder);
    fs::current_path(folder);

    const std::string expected = WindowsPath(temp) + CP932("\\表ソ");
    String dir;
    Mivo::GetCurrentDir(dir);
    EXPECT_STREQ(dir.Text(), expected.c_str());

    // The trail bytes are not separators.
    EXPECT_EQ(Mivo::CountComponents(dir.Text()), Mivo::CountComponents(WindowsPath(temp).c_str()) + 1);
    String parent(dir);
    Mivo::RemoveLastComponents(parent, 1);
    EXPECT_STREQ(parent.Text(), WindowsPath(temp).c_str());

    String file("se.csv");
    EXPECT_TRUE(Mivo::MakeAbsolute(file));
    EXPECT_STREQ(file.Text(), (expected + "\\se.csv").c_str());

    // And back in through SetCurrentDirectoryA.
    fs::current_path(temp);
    EXPECT_TRUE(Mivo::SetCurrentDirFromModule(expected.c_str()));
    EXPECT_EQ(fs::current_path(), folder);
}

TEST_F(PathsFileSystemTest, MakeAbsolute)
{
    fs::current_path(temp);
    struct Case {
        const char* path;
        std::string expected;
        // clang-format off
    } cases[] = {
        {"se.csv", WindowsPath(temp / "se.csv")},
        {"dat\\a.wav", WindowsPath(temp / "dat" / "a.wav")},
        {"..\\x", WindowsPath(temp) + "\\..\\x"},
        {"", WindowsPath(temp)},
        {"C:\\x", "C:\\x"},
        {"\\\\srv\\x", "\\\\srv\\x"},
    };
    // clang-format on
    for (const Case& c : cases) {
        String path(c.path);
        EXPECT_TRUE(Mivo::MakeAbsolute(path)) << c.path;
        EXPECT_STREQ(path.Text(), c.expected.c_str());
    }
}

TEST_F(PathsFileSystemTest, SetCurrentDirFromModule)
{
    const fs::path folder = Executable().parent_path();
    fs::current_path(temp);
    EXPECT_TRUE(Mivo::SetCurrentDirFromModule(""));
    EXPECT_EQ(fs::current_path(), folder);
    fs::current_path(temp);
    EXPECT_TRUE(Mivo::SetCurrentDirFromModule(nullptr));
    EXPECT_EQ(fs::current_path(), folder);

    // A relative sub-folder of the executable's folder.
    const std::string sub = "paths-test-" + std::to_string(GetCurrentProcessId());
    fs::create_directories(folder / sub / "inner");
    fs::current_path(temp);
    EXPECT_TRUE(Mivo::SetCurrentDirFromModule((sub + "\\inner").c_str()));
    EXPECT_EQ(fs::current_path(), folder / sub / "inner");

    // A missing folder fails and leaves the current folder alone.
    fs::current_path(temp);
    EXPECT_FALSE(Mivo::SetCurrentDirFromModule((sub + "\\missing").c_str()));
    EXPECT_EQ(fs::current_path(), temp);

    // An absolute path is taken as it is.
    EXPECT_TRUE(Mivo::SetCurrentDirFromModule(WindowsPath(folder / sub).c_str()));
    EXPECT_EQ(fs::current_path(), folder / sub);

    fs::current_path(temp);
    fs::remove_all(folder / sub);
}

}  // namespace
