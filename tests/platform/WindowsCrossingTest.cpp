// The program's cp932 text crossing to the wide Windows calls
// (platform/windows/AnsiCalls.cpp) on a Windows whose code page is not 932:
// names of folders beyond cp932 come back byte for byte from the system and
// open the same files, and cp932 text compares as a Japanese Windows
// compares it.

#include "platform/Cp932Literal.h"
#include "platform/Win32.h"

#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Name {
    const char* what;
    const char* utf8;
};

void PrintTo(const Name& name, std::ostream* out)
{
    *out << name.what;
}

class FolderNames : public testing::TestWithParam<Name> {};

// A file made through CreateFileA in a folder that std::filesystem made by
// its UTF-16 name; the folder's name as GetCurrentDirectoryA, FindFirstFileA
// and GetModuleFileNameA give it back.
TEST_P(FolderNames, ComeBackByteForByteAndOpenTheSameFile)
{
    ASSERT_NE(GetACP(), 932u) << "the crossing is proved only under another code page";
    TempFolder temp;
    const std::string unix = temp.MakeFolder(GetParam().utf8);
    const std::string folder = temp.Windows(GetParam().utf8);

    HANDLE file = CreateFileA((folder + "\\take.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, "strum", 5, &written, nullptr);
    CloseHandle(file);
    std::ifstream in(fs::u8path(unix + "/take.txt"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "strum");

    ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
    char current[MAX_PATH];
    ASSERT_EQ(GetCurrentDirectoryA(MAX_PATH, current), folder.size());
    EXPECT_EQ(std::string(current), folder);

    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(folder.c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    EXPECT_EQ(temp.Windows() + "\\" + found.cFileName, folder);

    // A module loaded from the folder: a copy of a DLL of the program's.
    fs::copy_file(STRUMKEY_ANY_DLL, fs::u8path(unix + "/probe.dll"));
    HMODULE module = LoadLibraryW(fs::u8path(unix + "/probe.dll").c_str());
    ASSERT_NE(module, nullptr);
    char name[MAX_PATH];
    GetModuleFileNameA(module, name, MAX_PATH);
    FreeLibrary(module);
    EXPECT_EQ(std::string(name), folder + "\\probe.dll");
    HANDLE again = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(again, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(again, nullptr), fs::file_size(STRUMKEY_ANY_DLL));
    CloseHandle(again);
}

INSTANTIATE_TEST_SUITE_P(Crossing, FolderNames,
                         testing::Values(Name{"accents", u8"Música ü"}, Name{"Cyrillic", u8"Гитара"},
                                         Name{"emoji", u8"😀 🎸"}, Name{"Japanese", u8"ギター表ソ"}));

// lstrcmpiA compares whole cp932 characters: it folds the case of ASCII
// letters, never of a trail byte that looks like one.
TEST(Crossing, CompareFoldsAsciiCaseOnly)
{
    ASSERT_NE(GetACP(), 932u) << "the crossing is proved only under another code page";
    const struct {
        const char* a;
        const char* b;
        bool equal;
        // clang-format off
    } cases[] = {
        {"SE\\STRUM.WAV", "se\\strum.wav", true},
        {CP932("ア"), CP932("ヂ"), false},  // 83 41 and 83 61
        {CP932("表ソ"), CP932("表ソ"), true},
        {CP932("表"), CP932("ソ"), false},  // 95 5C and 83 5C
        {CP932("ギターA"), CP932("ギターa"), true},
    };
    // clang-format on
    for (const auto& c : cases) {
        const int ab = lstrcmpiA(c.a, c.b);
        EXPECT_EQ(ab == 0, c.equal) << c.a << " / " << c.b;
        const int ba = lstrcmpiA(c.b, c.a);
        EXPECT_EQ((ab < 0), (ba > 0)) << c.a << " / " << c.b;
    }
}

}  // namespace
