// The nine settings: defaults, the values carried through the file, the path
// beside the executable and files edited by hand.

#include "app/Settings.h"
#include "app/Texts.h"
#include "platform/Text.h"
#include "platform/Win32.h"

#include "tests/support/IniLines.h"
#include "tests/support/SoundTestSupport.h"
#include "tests/support/TempFolder.h"
#include "tests/support/UnwritableFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

const char* const AllDefaults =
    "[Setting]\r\n"
    "Velocity=128\r\n"
    "Interval=25\r\n"
    "ManualAIntervalRate=1024\r\n"
    "ManualBIntervalRate=512\r\n"
    "TimeoutInterval=750\r\n"
    "MaxInterval=750\r\n"
    "MaxManualAIntervalRate=2048\r\n"
    "MaxManualBIntervalRate=2048\r\n"
    "StrokeIntervalMode=0\r\n";

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { Settings = SettingsValues{}; }
    void TearDown() override { Settings = SettingsValues{}; }

    std::string Make(const std::string& bytes)
    {
        std::ofstream(Unix(), std::ios::binary) << bytes;
        return Win();
    }
    std::string Unix() const { return folder.Path() + "/strumkey.ini"; }
    std::string Win() const { return test_system::WindowsPathOf(Unix()); }
    std::string Bytes() const { return ReadBytes(Unix()); }

    TempFolder folder;
};

TEST_F(SettingsTest, FirstRunUsesTheDefaultsAndWritesAllNineKeys)
{
    Settings.Velocity = 1;
    LoadSettingsFrom(Win().c_str());
    EXPECT_EQ(Settings.Velocity, 128);
    EXPECT_EQ(Settings.Interval, 25);
    EXPECT_EQ(Settings.MaxInterval, 750);
    EXPECT_EQ(Settings.StrokeIntervalMode, 0);
    SaveSettingsTo(Win().c_str());
    EXPECT_EQ(Bytes(), AllDefaults);
}

TEST_F(SettingsTest, ValuesReadAreWrittenBack)
{
    // Each key as the file gives it, and as it is written back.
    const struct {
        const char* key;
        const char* read;
        const char* written;
    } lines[] = {
        {"Velocity", "300", "44"},
        {"Interval", "40", "40"},
        {"ManualAIntervalRate", "7", "7"},
        {"ManualBIntervalRate", "-3", "-3"},
        {"TimeoutInterval", "100", "100"},
        {"MaxInterval", "1000", "1000"},
        {"MaxManualAIntervalRate", "3000", "3000"},
        {"MaxManualBIntervalRate", "4000", "4000"},
        {"StrokeIntervalMode", "1", "0"},
    };
    const auto text = [&lines](bool written) {
        std::string file = "[Setting]\n";
        for (const auto& line : lines)
            file += std::string(line.key) + "=" + (written ? line.written : line.read) + "\n";
        return file;
    };
    Make(text(false));
    LoadSettingsFrom(Win().c_str());
    EXPECT_EQ(Settings.Velocity, 44);  // the low 8 bits of 300
    EXPECT_EQ(Settings.Interval, 40);
    EXPECT_EQ(Settings.ManualAIntervalRate, 7);
    EXPECT_EQ(Settings.ManualBIntervalRate, -3);
    EXPECT_EQ(Settings.TimeoutInterval, 100);
    EXPECT_EQ(Settings.MaxInterval, 1000);
    EXPECT_EQ(Settings.MaxManualAIntervalRate, 3000);
    EXPECT_EQ(Settings.MaxManualBIntervalRate, 4000);
    EXPECT_EQ(Settings.StrokeIntervalMode, 1);

    Settings.StrokeIntervalMode = 0;  // as the dialog leaves it
    SaveSettingsTo(Win().c_str());
    const std::string expected = text(true);
#ifdef _WIN32
    // The system's own profile calls write every line back with CRLF.
    EXPECT_EQ(ini_lines::Split(Bytes()), ini_lines::Split(expected));
#else
    EXPECT_EQ(Bytes(), expected);
#endif
}

// The keys that a file need not have: the mixer's buffer (a power of two from
// 128 to 4096, 256 when the file has none), the language and MIDI notes;
// each is written back only when the file had it.
TEST_F(SettingsTest, TheOptionalKeysAreReadAsTheyMustBeAndStayOutOfFilesWithoutThem)
{
    const struct {
        const char* key;
        const char* line;  // nullptr: no such key
        int value;
    } cases[] = {
        {"AudioBufferFrames", nullptr, 256},
        {"AudioBufferFrames", "128", 128},
        {"AudioBufferFrames", "256", 256},
        {"AudioBufferFrames", "4096", 4096},
        {"AudioBufferFrames", "1000", 512},
        {"AudioBufferFrames", "100", 128},
        {"AudioBufferFrames", "0", 128},
        {"AudioBufferFrames", "-5", 128},
        {"AudioBufferFrames", "8192", 4096},
        {"AudioBufferFrames", "99999999999", 4096},
        {"AudioBufferFrames", "lots", 128},
        {"Language", nullptr, 0},
        {"Language", "0", 0},
        {"Language", "1041", 1041},
        {"Language", "1033", 1033},
        {"Language", "-3", -3},
        {"MidiNotes", nullptr, 0},
        {"MidiNotes", "1", 1},
        {"MidiNotes", "0", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + (c.line ? c.line : "(none)"));
        Settings = SettingsValues{};
        const std::string text =
            std::string("[Setting]\r\nInterval=40\r\n") + (c.line ? std::string(c.key) + "=" + c.line + "\r\n" : "");
        Make(text);
        LoadSettingsFrom(Win().c_str());
        const std::string key = c.key;
        EXPECT_EQ(key == "Language"    ? Settings.Language
                  : key == "MidiNotes" ? Settings.MidiNotes
                                       : Settings.AudioBufferFrames,
                  c.value);
        SaveSettingsTo(Win().c_str());
        const bool written =
            Bytes().find(std::string(c.key) + "=" + std::to_string(c.value) + "\r\n") != std::string::npos;
        EXPECT_EQ(written, c.line != nullptr) << Bytes();
    }
}

// The language a Language setting gives: Japanese for a Japanese language
// id, English for any other; the user's for 0.
TEST(Language, TheSettingForcesOneAndZeroFollowsTheSystem)
{
    const struct {
        int setting;
        LANGID user, expected;
    } cases[] = {
        {0, 0x0411, 0x0411},    {0, 0x0409, 0x0409},      {0, 0x0407, 0x0409},  {1041, 0x0409, 0x0411},
        {1033, 0x0411, 0x0409}, {0x0011, 0x0409, 0x0411}, {-3, 0x0411, 0x0409}, {2057, 0x0411, 0x0409},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LanguageOf(c.setting, c.user), c.expected) << c.setting << " for " << c.user;
}

TEST_F(SettingsTest, AReadOnlyFileIsWrittenAndLeftWritable)
{
#ifdef _WIN32
    GTEST_SKIP() << "Wine, run as root, writes read-only files: no write is refused";
#endif
    Make("[Setting]\r\nVelocity=100\r\n");
    namespace fs = std::filesystem;
    fs::permissions(Unix(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    LoadSettingsFrom(Win().c_str());
    Settings.Velocity = 128;
    SaveSettingsTo(Win().c_str());
    EXPECT_EQ(Bytes(), AllDefaults);
    EXPECT_NE(fs::status(Unix()).permissions() & fs::perms::owner_write, fs::perms::none);
}

TEST_F(SettingsTest, AFileEditedByHandKeepsEverythingButTheValues)
{
#ifdef _WIN32
    GTEST_SKIP() << "the system's own profile calls rewrite the file their way (Wine drops blank lines and spaces)";
#endif
    Make(
        "; Strumkey\r\n"
        "\r\n"
        "[Window]\r\n"
        "Left=10\r\n"
        "\r\n"
        "[setting]\r\n"
        "; how hard\r\n"
        "  velocity = 300\r\n"
        "MaxInterval = 1000\r\n"
        "\tInterval=\t25 \r\n"
        "\r\n"
        "[Other]\r\n"
        "Velocity=5");
    LoadSettingsFrom(Win().c_str());
    EXPECT_EQ(Settings.MaxInterval, 1000);
    SaveSettingsTo(Win().c_str());
    EXPECT_EQ(Bytes(),
              "; Strumkey\r\n"
              "\r\n"
              "[Window]\r\n"
              "Left=10\r\n"
              "\r\n"
              "[setting]\r\n"
              "; how hard\r\n"
              "  velocity=44\r\n"
              "MaxInterval = 1000\r\n"  // values that stay the same keep their lines
              "\tInterval=\t25 \r\n"
              "ManualAIntervalRate=1024\r\n"
              "ManualBIntervalRate=512\r\n"
              "TimeoutInterval=750\r\n"
              "MaxManualAIntervalRate=2048\r\n"
              "MaxManualBIntervalRate=2048\r\n"
              "StrokeIntervalMode=0\r\n"
              "\r\n"
              "[Other]\r\n"
              "Velocity=5");
}

TEST(SettingsPath, OnlyTheFileNamesLastDotStartsTheExtension)
{
    struct Case {
        const char* module;
        const char* expected;
    };
    const Case cases[] = {
        {"Z:\\app\\strumkey.exe", "Z:\\app\\strumkey.ini"},
        {"Z:\\app\\strum.key.exe", "Z:\\app\\strum.key.ini"},
        {"Z:\\app.v2\\strumkey", "Z:\\app.v2\\strumkey.ini"},
        {"Z:\\app\\strumkey", "Z:\\app\\strumkey.ini"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(SettingsPathFor(c.module).Text(), c.expected) << c.module;
}

TEST(SettingsPath, SaveAndLoadUseTheFileBesideTheExecutable)
{
    // On Linux the test program has no extension: its settings file is its
    // name + ".ini".
    const std::string ini = test_system::ThisProgram().replace_extension(".ini").u8string();
    std::filesystem::remove(ini);
    Settings = SettingsValues{};
    Settings.Interval = 77;
    SaveSettings();
    EXPECT_NE(ReadBytes(ini).find("\r\nInterval=77\r\n"), std::string::npos);
    Settings = SettingsValues{};
    LoadSettings();
    EXPECT_EQ(Settings.Interval, 77);
    std::filesystem::remove(ini);
    Settings = SettingsValues{};
}

// Where the settings of a copy live, by who may write what. The program's
// folder is named with characters cp932 lacks, as Linux folders often are.
struct Location {
    const char* what;
    bool programFolderWritable;
    bool configWritable;
    bool installedDefaults;  // a settings file left beside the program
};

void PrintTo(const Location& location, std::ostream* out)
{
    *out << location.what;
}

class SettingsLocation : public testing::TestWithParam<Location> {};

TEST_P(SettingsLocation, AreKeptWhereTheyCanBeWrittenOrReported)
{
    const Location where = GetParam();
#ifdef _WIN32
    if (!where.programFolderWritable)
        GTEST_SKIP() << NoUnwritableFolders;
#endif
    namespace fs = std::filesystem;
    TempFolder temp;
    fs::permissions(fs::u8path(temp.Path()), fs::perms(0755));
    const std::string program = temp.MakeFolder(u8"opt/Música ü 😀");
    const std::string config = temp.MakeFolder(u8"home/ann/.config");
    fs::permissions(fs::u8path(config), fs::perms(0777));
    fs::permissions(fs::u8path(temp.Path() + "/opt"), fs::perms(0755));
    if (where.installedDefaults)
        std::ofstream(fs::u8path(program + "/strumkey.ini")) << "[Setting]\r\nInterval=99\r\n";
    test_system::SetEnvironment("XDG_CONFIG_HOME", config.c_str());
    const std::string module = test_system::WindowsPathOf(program + "/strumkey");
    const std::string userFile = config + "/strumkey/strumkey.ini";
    const std::string beside = program + "/strumkey.ini";
    SoundTest::SpeakLanguage(0x0409);  // the report's words
    LoadTexts(nullptr);

    auto check = [&] {
        bool ok = true;
        auto expect = [&](bool condition, const char* what) {
            if (!condition)
                std::fprintf(stderr, "failed: %s\n", what);
            ok = ok && condition;
        };
        Settings = SettingsValues{};
        LoadSettingsFor(module.c_str());
        expect(Settings.Interval == (where.installedDefaults ? 99 : 25), "the starting values");
        Settings.Interval = 61;
        testing::internal::CaptureStderr();
        const bool saved = SaveSettingsFor(module.c_str());
        const std::string report = testing::internal::GetCapturedStderr();
        const std::string target = where.programFolderWritable ? beside : userFile;
        expect(saved == (where.programFolderWritable || where.configWritable), "saved where it can be");
        if (saved) {
            expect(report.empty(), "no report");
            expect(ReadBytes(target).find("\nInterval=61\r\n") != std::string::npos, "written to its place");
            Settings = SettingsValues{};
            LoadSettingsFor(module.c_str());
            expect(Settings.Interval == 61, "read back from its place");
        } else {
            expect(report == "Strumkey: the settings could not be saved to " +
                                 platform::Cp932ToUtf8(test_system::WindowsPathOf(userFile)) + "\n",
                   "one line on standard error");
        }
        if (!where.programFolderWritable)
            expect(ReadBytes(beside) == (where.installedDefaults ? "[Setting]\r\nInterval=99\r\n" : ""),
                   "the program's folder untouched");
        return ok;
    };
    if (!where.configWritable)
        fs::permissions(fs::u8path(config), fs::perms(0555));
#ifdef _WIN32
    EXPECT_TRUE(check()) << where.what;
#else
    EXPECT_TRUE(where.programFolderWritable ? check() : CheckWithoutWriteAccess(program, check)) << where.what;
#endif
    fs::permissions(fs::u8path(config), fs::perms(0777));
    test_system::SetEnvironment("XDG_CONFIG_HOME", nullptr);
    Settings = SettingsValues{};
}

INSTANTIATE_TEST_SUITE_P(Settings, SettingsLocation,
                         testing::Values(Location{"portable copy", true, true, false},
                                         Location{"portable copy with its file", true, false, true},
                                         Location{"installed copy", false, true, false},
                                         Location{"installed copy with defaults beside it", false, true, true},
                                         Location{"nowhere to write", false, false, false}));

}  // namespace
