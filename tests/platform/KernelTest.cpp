#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/Cp932Literal.h"
#include "platform/linux/kernel/PathMapping.h"
#include "platform/Text.h"
#include "platform/Win32.h"
#include "tests/support/TempFolder.h"

namespace {

TEST(Kernel, LastErrorIsPerThread)
{
    SetLastError(ERROR_ACCESS_DENIED);
    DWORD seen = 0;
    std::thread([&] {
        seen = GetLastError();
        SetLastError(ERROR_FILE_NOT_FOUND);
    }).join();
    EXPECT_EQ(seen, ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST(Kernel, ModuleFileNameNamesTheExecutable)
{
    char buffer[4096];
    DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    ASSERT_GT(length, 0u);
    std::string path(buffer);
    EXPECT_EQ(path.size(), length);
    EXPECT_EQ(path, platform::ToWindowsPath(std::filesystem::read_symlink("/proc/self/exe").string()));
    EXPECT_TRUE(path.starts_with("Z:\\") && path.ends_with("\\strumkey_platform_tests")) << path;

    char other[4096];
    EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(buffer), other, sizeof other), length);
    EXPECT_EQ(path, other);

    // Exactly enough room, then one byte short: truncated, terminated, size returned.
    EXPECT_EQ(GetModuleFileNameA(nullptr, other, length + 1), length);
    std::memset(other, 'x', sizeof other);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(GetModuleFileNameA(nullptr, other, length), length);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::string(other), path.substr(0, length - 1));
    EXPECT_EQ(other[length], 'x');
    EXPECT_EQ(GetModuleFileNameA(nullptr, other, 0), 0u);
}

std::string CurrentDirectory()
{
    char buffer[4096];
    DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
    EXPECT_EQ(length, std::strlen(buffer));
    return buffer;
}

TEST(Kernel, CurrentDirectoryRoundTripsThroughRealFolders)
{
    TempFolder temp;
    const std::string japanese = temp.MakeFolder(u8"表ソ");
    const std::string mixed = temp.MakeFolder("Mixed");
    const std::string root = platform::ToWindowsPath(temp.Path());

    ASSERT_TRUE(SetCurrentDirectoryA((root + CP932("\\表ソ")).c_str()));
    EXPECT_EQ(std::filesystem::current_path(), japanese);
    EXPECT_EQ(CurrentDirectory(), root + CP932("\\表ソ"));

    ASSERT_TRUE(SetCurrentDirectoryA("..\\MIXED"));
    EXPECT_EQ(std::filesystem::current_path(), mixed);
    EXPECT_EQ(CurrentDirectory(), root + "\\Mixed");

    ASSERT_TRUE(SetCurrentDirectoryA(root.c_str()));
    EXPECT_EQ(CurrentDirectory(), root);
}

TEST(Kernel, CurrentDirectoryReportsTheSizeItNeeds)
{
    TempFolder temp;
    ASSERT_TRUE(SetCurrentDirectoryA(platform::ToWindowsPath(temp.Path()).c_str()));
    const std::string path = CurrentDirectory();
    const DWORD length = static_cast<DWORD>(path.size());
    EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), length + 1);
    std::vector<char> buffer(length + 8, 'x');
    EXPECT_EQ(GetCurrentDirectoryA(length, buffer.data()), length + 1);
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 'x'), static_cast<long>(buffer.size()));  // untouched
    EXPECT_EQ(GetCurrentDirectoryA(length + 1, buffer.data()), length);
    EXPECT_EQ(std::string(buffer.data()), path);
}

TEST(Kernel, SetCurrentDirectoryFailures)
{
    TempFolder temp;
    temp.MakeFile("file");
    const std::string root = platform::ToWindowsPath(temp.Path());
    ASSERT_TRUE(SetCurrentDirectoryA(root.c_str()));
    struct Case {
        std::string path;
        DWORD error;
    } cases[] = {
        {root + "\\nope", ERROR_FILE_NOT_FOUND},     {root + "\\nope\\deeper", ERROR_PATH_NOT_FOUND},
        {root + "\\FILE", ERROR_DIRECTORY},          {"C:\\", ERROR_PATH_NOT_FOUND},
        {"\\\\server\\share", ERROR_PATH_NOT_FOUND}, {"", ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(SetCurrentDirectoryA(c.path.c_str())) << c.path;
        EXPECT_EQ(GetLastError(), c.error) << c.path;
    }
    EXPECT_FALSE(SetCurrentDirectoryA(nullptr));
    EXPECT_EQ(CurrentDirectory(), root);
}

TEST(Kernel, CompareEqualityClasses)
{
    struct Case {
        const char* a;
        const char* b;
        bool equal;        // lstrcmpA
        bool equalNoCase;  // lstrcmpiA
    } cases[] = {
        {"abc", "abc", true, true},
        {"abc", "aBC", false, true},
        {CP932("Ａｂ"), CP932("ａＢ"), false, true},
        {"A", CP932("Ａ"), false, false},  // widths differ
        {CP932("ｱ"), CP932("ア"), false, false},
        {CP932("ア"), CP932("ャ"), false, false},  // 0x83 0x41 and 0x83 0x61: trail bytes are not
                                                   // folded
        {CP932("ΑΣΩ"), CP932("ασω"), false, true},
        {CP932("АЁНОПЯ"), CP932("аёнопя"), false, true},  // around the gap at 0x847F
        {CP932("Н"), CP932("о"), false, false},
        {"a\x81", "A\x81", false, true},  // lead byte right before the end
        {"a\x81", "a", false, false},
        {"", nullptr, true, true},
        {nullptr, nullptr, true, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(lstrcmpA(c.a, c.b) == 0, c.equal) << (c.a ? c.a : "null") << " / " << (c.b ? c.b : "null");
        EXPECT_EQ(lstrcmpiA(c.a, c.b) == 0, c.equalNoCase) << (c.a ? c.a : "null") << " / " << (c.b ? c.b : "null");
    }
    EXPECT_EQ(lstrcmpA("ab", "abc"), -1);
    EXPECT_EQ(lstrcmpA("abc", "ab"), 1);
    EXPECT_EQ(lstrcmpiA("B", "a"), 1);
}

// The letters that lstrcmpiA folds, found through Unicode: ASCII, full-width
// Latin, Greek and Cyrillic capitals and their small letters.
char32_t UnicodeLower(char32_t c)
{
    if ((c >= U'A' && c <= U'Z') || (c >= 0xFF21 && c <= 0xFF3A) || (c >= 0x391 && c <= 0x3A9) ||
        (c >= 0x410 && c <= 0x42F))
        return c + 0x20;
    return c == 0x401 ? 0x451 : c;  // Ё
}

char32_t DecodeUtf8(const std::string& s)
{
    auto b = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(s[i])); };
    if (s.size() == 1)
        return b(0);
    if (s.size() == 2)
        return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
}

std::string EncodeUtf8(char32_t c)
{
    if (c < 0x80)
        return std::string(1, static_cast<char>(c));
    if (c < 0x800)
        return {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    return {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
            static_cast<char>(0x80 | (c & 0x3F))};
}

// Every cp932 character: lstrcmpiA must put two characters in one class
// exactly when their small letters (through Unicode) are the same character.
TEST(Kernel, CaseFoldingAgreesWithUnicodeOverAllCharacters)
{
    std::vector<std::string> chars;
    for (int c = 1; c < 0x100; ++c)
        if (!platform::IsCp932LeadByte(static_cast<unsigned char>(c)))
            chars.push_back(std::string(1, static_cast<char>(c)));
    for (int lead = 0x81; lead <= 0xFC; ++lead)
        for (int trail = 0x40; trail <= 0xFC; ++trail)
            if (platform::IsCp932LeadByte(static_cast<unsigned char>(lead)) && trail != 0x7F)
                chars.push_back({static_cast<char>(lead), static_cast<char>(trail)});
    std::map<std::string, std::string> key;  // character -> its expected class
    std::vector<std::string> valid;
    for (const std::string& c : chars) {
        std::string utf8 = platform::Cp932ToUtf8(c);
        if (utf8 == u8"\uFFFD")
            continue;
        valid.push_back(c);
        char32_t u = DecodeUtf8(utf8);
        key[c] = UnicodeLower(u) == u ? c : platform::Utf8ToCp932(EncodeUtf8(UnicodeLower(u)));
    }
    ASSERT_GT(valid.size(), 7000u);
    std::sort(valid.begin(), valid.end(),
              [](const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) < 0; });
    std::map<std::string, int> classOfKey;
    int currentClass = 0;
    for (std::size_t i = 0; i < valid.size(); ++i) {
        if (i > 0 && lstrcmpiA(valid[i - 1].c_str(), valid[i].c_str()) != 0)
            ++currentClass;
        auto [it, added] = classOfKey.emplace(key[valid[i]], currentClass);
        EXPECT_EQ(it->second, currentClass) << valid[i];
    }
    EXPECT_EQ(currentClass + 1, static_cast<int>(classOfKey.size()));
}

TEST(Kernel, CompareOrdersConsistently)
{
    const std::vector<std::string> texts = {"",         "a",         "A",         "ab",        "aB",
                                            "Ab",       "b",         "B",         CP932("ａ"), CP932("Ａ"),
                                            CP932("ｱ"), CP932("ア"), CP932("ャ"), CP932("表"), CP932("表ソ"),
                                            "\x81",     "a\x81",     "A\x81",     CP932("Ж"),  CP932("ж"),
                                            CP932("Я"), CP932("я"),  "\\",        "~",         CP932("ﾚﾃﾞｨ")};
    for (auto compare : {lstrcmpA, lstrcmpiA}) {
        auto cmp = [&](const std::string& a, const std::string& b) { return compare(a.c_str(), b.c_str()); };
        for (const std::string& a : texts)
            for (const std::string& b : texts) {
                int ab = cmp(a, b);
                EXPECT_TRUE(ab == -1 || ab == 0 || ab == 1);
                EXPECT_EQ(ab, -cmp(b, a)) << a << " / " << b;
                for (const std::string& c : texts) {
                    if (ab <= 0 && cmp(b, c) <= 0) {
                        EXPECT_LE(cmp(a, c), 0) << a << " / " << b << " / " << c;
                    }
                }
            }
        std::vector<std::string> sorted = texts;
        std::sort(sorted.begin(), sorted.end(),
                  [&](const std::string& a, const std::string& b) { return cmp(a, b) < 0; });
        for (std::size_t i = 1; i < sorted.size(); ++i)
            EXPECT_LE(cmp(sorted[i - 1], sorted[i]), 0);
    }
}

}  // namespace

// Sets or removes an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name(name)
    {
        if (const char* previous = std::getenv(name))
            old = previous, had = true;
        value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnv() { had ? ::setenv(name, old.c_str(), 1) : ::unsetenv(name); }

private:
    const char* name;
    std::string old;
    bool had = false;
};

TEST(Shell, SettingsFolderFollowsXdgConfigHome)
{
    struct Case {
        const char* xdg;
        const char* home;
        std::string expected;
    } cases[] = {
        {u8"/cfg/Música", "/home/ann", platform::ToWindowsPath(u8"/cfg/Música")},
        {"relative/ignored", "/home/ann", "Z:\\home\\ann\\.config"},
        {"", "/home/ann", "Z:\\home\\ann\\.config"},
        {nullptr, "/", "Z:\\.config"},
    };
    for (const Case& c : cases) {
        ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
        ScopedEnv home("HOME", c.home);
        char path[MAX_PATH];
        EXPECT_EQ(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, path), S_OK);
        EXPECT_EQ(std::string(path), c.expected) << (c.xdg ? c.xdg : "(unset)");
    }
    char path[MAX_PATH];
    EXPECT_EQ(SHGetFolderPathA(nullptr, 0x0005 /* CSIDL_PERSONAL */, nullptr, 0, path), E_INVALIDARG);
}

TEST(Shell, CreateDirectoryMakesEveryMissingFolder)
{
    TempFolder folder;
    const std::string deep = folder.Path() + u8"/a/Ёжик/😀 b";
    const std::string win = platform::ToWindowsPath(deep);
    EXPECT_EQ(SHCreateDirectoryExA(nullptr, win.c_str(), nullptr), ERROR_SUCCESS);
    EXPECT_TRUE(std::filesystem::is_directory(deep));
    EXPECT_EQ(SHCreateDirectoryExA(nullptr, win.c_str(), nullptr), ERROR_ALREADY_EXISTS);
    const std::string file = folder.MakeFile("file");
    EXPECT_EQ(SHCreateDirectoryExA(nullptr, platform::ToWindowsPath(file).c_str(), nullptr), ERROR_FILE_EXISTS);
    EXPECT_EQ(SHCreateDirectoryExA(nullptr, platform::ToWindowsPath(file + "/under").c_str(), nullptr),
              ERROR_PATH_NOT_FOUND);
}

TEST(Console, StandardOutputTakesProgramTextAsUtf8)
{
    TempFolder folder;
    const std::string captured = folder.Path() + "/out.txt";
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    const int file = ::open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(file, 0);
    ::dup2(file, STDOUT_FILENO);
    ::close(file);
    const std::string text = CP932("ﾚﾃﾞｨ ") + platform::Utf8NameToCp932(u8"josé") + "\n";
    DWORD written = 0;
    const BOOL ok =
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    EXPECT_TRUE(ok);
    EXPECT_EQ(written, text.size());
    std::ifstream in(captured);
    const std::string expected = u8"ﾚﾃﾞｨ josé\n";
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), expected);
    EXPECT_EQ(GetStdHandle(STD_ERROR_HANDLE), GetStdHandle(STD_ERROR_HANDLE));
    EXPECT_EQ(GetStdHandle(0), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteFile(nullptr, "x", 1, &written, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}
