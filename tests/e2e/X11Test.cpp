// The built program on a real (virtual) X server: real key events through
// the X server (held keys with the server's own auto-repeat, other keyboard
// layouts, a focus change), the close button as a window manager sends it, a
// second start of the same file, and a screenshot of the window. The same
// scenarios play the Linux build and the Windows build under Wine, in an
// English and a Japanese locale (STRUMKEY_WINDOWS_BUILD names the Windows
// build; without it, its cases are skipped).

#include "platform/Text.h"
#include "tests/e2e/KeyboardScenarios.h"
#include "tests/e2e/Listening.h"
#include "tests/e2e/SoundServer.h"
#include "tests/e2e/TestBank.h"
#include "tests/e2e/X11Image.h"
#include "tests/e2e/X11Process.h"
#include "tests/e2e/X11Program.h"
#include "tests/e2e/X11Server.h"
#include "tests/e2e/X11Windows.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Generous limits against hanging, never checks of speed: sanitizer builds
// start slowly, and a loaded machine more slowly still.
constexpr auto StartLimit = 60s;
using listening::HearLimit;
using listening::Until;
const std::string Caption = "Strumkey";
// 46 ms of output: 1024 frames of 16-bit stereo at 22050 Hz.
constexpr std::size_t Buffer = 4096;

std::string ReadAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Where the program runs: the Linux build, or the Windows build under Wine,
// in a locale, whose language the program speaks.
struct Platform {
    const char* name;
    bool wine;
    const char* locale;

    bool Japanese() const { return std::string_view(locale).starts_with("ja"); }
};
void PrintTo(const Platform& platform, std::ostream* out)
{
    *out << platform.name;
}
const Platform Linux{"Linux", false, "en_US.UTF-8"};
const Platform LinuxJapanese{"LinuxJapanese", false, "ja_JP.UTF-8"};
const Platform WineEnglish{"WineEnglish", true, "en_US.UTF-8"};
const Platform WineJapanese{"WineJapanese", true, "ja_JP.UTF-8"};

ProgramRunner RunnerFor(const Platform& platform)
{
    return platform.wine ? ProgramRunner::Wine(platform.locale)
                         : ProgramRunner{STRUMKEY_EXE, {}, {std::string("LC_ALL=") + platform.locale}};
}

// What the program says in the platform's language, as UTF-8.
struct Said {
    std::string usage, helpLine, refusal, strengthLabel, speedLabel;
};
Said SaidOn(const Platform& platform)
{
    if (platform.Japanese())
        return {u8"使い方: strumkey [--help | --version]\n", u8"--version  バージョンを表示して終了します",
                u8"二重起動はできません", u8"ストロークの強さ:", u8"ストロークの速さ:"};
    return {"Usage: strumkey [--help | --version]\n", "--version  show the version and exit",
            "Strumkey is already running.", "Strength of a stroke:", "Time between strings:"};
}

std::string NameOf(const testing::TestParamInfo<Platform>& info)
{
    return info.param.name;
}

class X11Test : public ::testing::Test {
protected:
    explicit X11Test(const Platform& platform) : platform(platform), program(RunnerFor(platform)) {}

    static void SetUpTestSuite()
    {
        if (X11Server::Available())
            server = new X11Server;
    }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }

    void SetUp() override
    {
        if (!X11Server::Available())
            GTEST_SKIP() << "Xvfb is not installed (package xvfb): no X server to run on";
        if (program.Runner().executable.empty())
            GTEST_SKIP() << "STRUMKEY_WINDOWS_BUILD names no Windows build (scripts/build-windows.sh makes one)";
        ASSERT_TRUE(server->Running()) << server->Problem();
        ASSERT_TRUE(X11Process::OnPath("xdotool")) << "xdotool is needed to type at the window";
        windows = std::make_unique<X11Windows>(server->Display());
        ASSERT_TRUE(windows->Connected());
        ASSERT_TRUE(program.Ready()) << "cannot copy " << program.Runner().executable << " with se.csv and se.dat";
    }

    // Starts a copy and waits for its window with the caption.
    std::unique_ptr<X11Process> Launch(const std::string& audio, X11Windows::Id* window)
    {
        return Launch(program, audio, window);
    }
    // Entries of more are added to the server's environment (a bare NAME
    // unsets it).
    std::unique_ptr<X11Process> Launch(const X11Program& program, const std::string& audio, X11Windows::Id* window,
                                       const std::vector<std::string>& more = {})
    {
        std::vector<std::string> environment = server->Environment();
        environment.insert(environment.end(), more.begin(), more.end());
        std::unique_ptr<X11Process> process = program.Start(environment, audio);
        *window = process->Started() ? windows->WaitFor(Caption, process->Pid(), StartLimit) : 0;
        return process;
    }

    // Starts a copy, strums C and hears it, then closes it, as a player
    // tries a program out.
    void PlayAndClose(const X11Program& copy, const std::string& audio)
    {
        X11Windows::Id window = 0;
        std::unique_ptr<X11Process> run = Launch(copy, audio, &window);
        ASSERT_NE(window, 0u) << copy.Read(copy.Name() + ".log") << windows->Describe();
        ASSERT_EQ(Keys(window, {"c"}), 0);
        EXPECT_TRUE(Until([&] { return Peak(ReadSamples(copy.AudioPath(audio))) > 1000; }))
            << copy.Read(copy.Name() + ".log");
        ASSERT_TRUE(windows->RequestClose(window));
        EXPECT_EQ(run->Wait(StartLimit), std::optional<int>(0));
    }

    // Real key events (XTEST) to the window, given the input focus first.
    int Keys(X11Windows::Id window, const std::vector<std::string>& keys)
    {
        X11Process::Options options;
        options.args = {"xdotool", "windowfocus", std::to_string(window), "key", "--delay", "20"};
        options.args.insert(options.args.end(), keys.begin(), keys.end());
        options.env = server->Environment();
        return X11Process::Run(options);
    }

    // Waits until the output written after fromByte is loud; the driver
    // writes at about real-time pace, a buffer or two behind the mixer.
    bool Heard(const std::string& audio, std::size_t fromByte)
    {
        return Until([&] { return Peak(ReadSamples(program.AudioPath(audio), fromByte)) > 1000; });
    }

    // Waits until the newest output is silence: what was mixed before a stop
    // has been written out.
    bool Silenced(const std::string& audio)
    {
        return Until([&] {
            const std::size_t size = Size(audio);
            return size >= 4 * Buffer && Peak(ReadSamples(program.AudioPath(audio), size - 4 * Buffer)) == 0;
        });
    }

    bool Written(const std::string& audio, std::size_t bytes)
    {
        return listening::Written(program.AudioPath(audio), bytes);
    }

    // Gives the window the keyboard once it can take it.
    bool GiveFocus(X11Windows::Id window)
    {
        return Until([&] {
            if (windows->Viewable(window))
                windows->Focus(window);
            return windows->Focused() == window;
        });
    }

    std::size_t Size(const std::string& audio) { return listening::FileSize(program.AudioPath(audio)); }

    int Tool(std::vector<std::string> args)
    {
        X11Process::Options options;
        options.args = std::move(args);
        options.env = server->Environment();
        return X11Process::Run(options);
    }

    // What runs a command as the program runs (under Wine, a Windows
    // program) on the test's server.
    X11Process::Options OnPlatform(const std::vector<std::string>& command) const
    {
        X11Process::Options options;
        options.args = program.Runner().launcher;
        options.args.insert(options.args.end(), command.begin(), command.end());
        options.env = server->Environment();
        options.env.insert(options.env.end(), program.Runner().env.begin(), program.Runner().env.end());
        return options;
    }
    // The Windows build's folder.
    std::filesystem::path Build() const { return std::filesystem::path(program.Runner().executable).parent_path(); }

    // What the windows with this caption say under Wine: their static
    // texts, a line each, read by a Windows program of the tests.
    std::string WindowText(const std::string& caption)
    {
        std::string text;
        EXPECT_EQ(X11Process::Run(OnPlatform({(Build() / "tests/e2e/window_text.exe").string(), caption}), &text), 0)
            << text;
        std::erase(text, '\r');
        return text;
    }

    static X11Server* server;
    const Platform platform;
    std::unique_ptr<X11Windows> windows;
    X11Program program;
};

X11Server* X11Test::server = nullptr;

// The scenarios that every platform plays.
class X11PlatformTest : public testing::WithParamInterface<Platform>, public X11Test {
protected:
    X11PlatformTest() : X11Test(GetParam()) {}
};
INSTANTIATE_TEST_SUITE_P(X11, X11PlatformTest, testing::Values(Linux, LinuxJapanese, WineEnglish, WineJapanese),
                         NameOf);

TEST_P(X11PlatformTest, KeysPlayThroughTheServerAndTheCloseButtonEndsTheRun)
{
    X11Windows::Id window = 0;
    std::unique_ptr<X11Process> run = Launch("out.raw", &window);
    ASSERT_NE(window, 0u) << program.Read(program.Name() + ".log") << windows->Describe();

    // Arrow keys move the focused strength slider and play nothing.
    ASSERT_TRUE(Written("out.raw", Buffer));
    ASSERT_EQ(Keys(window, {"Left", "Left", "Left"}), 0);
    const std::size_t afterArrows = Size("out.raw");
    ASSERT_TRUE(Written("out.raw", afterArrows + 8 * Buffer));
    EXPECT_EQ(Peak(ReadSamples(program.AudioPath("out.raw"))), 0) << "something played before any chord key";

    // "c" strums C major.
    const std::size_t beforeChord = Size("out.raw");
    ASSERT_EQ(Keys(window, {"c"}), 0);
    EXPECT_TRUE(Heard("out.raw", beforeChord)) << "no sound after the key c";

    // Space cuts the sound off. Escape and Return leave the dialog open: a
    // chord typed after them still plays.
    ASSERT_EQ(Keys(window, {"space", "Escape", "Return"}), 0);
    EXPECT_TRUE(Silenced("out.raw")) << "still sounding after the space bar";
    const std::size_t afterStop = Size("out.raw");
    ASSERT_EQ(Keys(window, {"g"}), 0);
    EXPECT_TRUE(Heard("out.raw", afterStop)) << "the dialog no longer plays after Escape and Return";
    ASSERT_TRUE(run->Running());
    EXPECT_FALSE(program.Exists("strumkey.ini")) << "settings are written only at exit";

    ASSERT_TRUE(windows->RequestClose(window));
    const std::optional<int> status = run->Wait(StartLimit);
    ASSERT_TRUE(status.has_value()) << "still running after the close button";
    EXPECT_EQ(*status, 0) << program.Read(program.Name() + ".log");

    const std::string ini = program.Read("strumkey.ini");
    EXPECT_NE(ini.find("[Setting]"), std::string::npos) << ini;
    for (const char* line :
         {"Velocity=125", "Interval=25", "MaxInterval=750", "StrokeIntervalMode=0", "TimeoutInterval=",
          "ManualAIntervalRate=", "ManualBIntervalRate=", "MaxManualAIntervalRate=", "MaxManualBIntervalRate="})
        EXPECT_NE(ini.find(line), std::string::npos) << line << " missing in\n" << ini;

    // The next start reads them and keeps them.
    window = 0;
    run = Launch("again.raw", &window);
    ASSERT_NE(window, 0u) << program.Read(program.Name() + ".log");
    ASSERT_TRUE(windows->RequestClose(window));
    EXPECT_EQ(run->Wait(StartLimit), std::optional<int>(0));
    EXPECT_EQ(program.Read("strumkey.ini"), ini);
}

TEST_P(X11PlatformTest, SecondStartOfTheSameFileIsRefusedAndACopyUnderAnotherNameRuns)
{
    // A settings file of the user's own, with a comment the program must keep.
    const std::string settings = "; mine\r\n[Setting]\r\nVelocity=100\r\nInterval=40\r\n";
    program.Write("strumkey.ini", settings);

    X11Windows::Id first = 0;
    std::unique_ptr<X11Process> firstRun = Launch("first.raw", &first);
    ASSERT_NE(first, 0u) << program.Read(program.Name() + ".log");

    // The bank is in memory once the window is up: the archive is free for
    // whoever else runs it.
    const int bank = ::open(program.PathOf("se.dat").c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_EQ(::flock(bank, LOCK_EX | LOCK_NB), 0) << "the running copy still holds se.dat";
    ::close(bank);

    // The command line is answered beside the running copy, with no window.
    const Said said = SaidOn(platform);
    // Under Wine the program writes its own bytes, cp932, as a Japanese
    // Windows console shows them; on Linux the platform writes UTF-8.
    const auto bytesOf = [&](const std::string& utf8) { return platform.wine ? platform::Utf8ToCp932(utf8) : utf8; };
    const std::string usage = bytesOf(said.usage);
    const struct {
        const char* argument;
        int status;
        std::string output;
    } answers[] = {
        {"--version", 0, "Strumkey " STRUMKEY_VERSION "\n"},
        {"--help", 0, usage},  // and more lines
        {"--play", 2, usage},  // the whole answer
        {"", 2, usage},
    };
    for (const auto& answer : answers) {
        const X11Process::Options options = OnPlatform({program.Executable(), answer.argument});
        std::string output;
        EXPECT_EQ(X11Process::Run(options, &output), answer.status) << answer.argument;
        if (answer.argument == std::string("--help")) {
            EXPECT_EQ(output.rfind(usage, 0), 0u) << output;
            EXPECT_NE(output.find(bytesOf(said.helpLine)), std::string::npos) << output;
        } else {
            EXPECT_EQ(output, answer.output) << answer.argument;
        }
    }

    // The same file again: a message box with the caption, waiting for OK.
    X11Windows::Id box = 0;
    std::unique_ptr<X11Process> secondRun = Launch("second.raw", &box);
    ASSERT_NE(box, 0u) << "no message box\n" << program.Read(program.Name() + ".log") << windows->Describe();
    EXPECT_EQ(windows->Caption(box), Caption);
    EXPECT_EQ(windows->OfProcess(secondRun->Pid()).size(), 1u) << "the refused copy shows more than its box";
    EXPECT_TRUE(secondRun->Running()) << "the refused copy must wait for its box";
    if (program.Runner().Windows()) {
        // In the system's language, whatever its code page: the box, and the
        // labels of the window beside it.
        const std::string texts = WindowText(Caption);
        for (const std::string& text : {said.refusal, said.strengthLabel, said.speedLabel})
            EXPECT_NE(texts.find(text + "\n"), std::string::npos) << texts;
    }
    ASSERT_EQ(Keys(box, {"Return"}), 0);
    const std::optional<int> refused = secondRun->Wait(StartLimit);
    ASSERT_TRUE(refused.has_value()) << "Return did not dismiss the box";
    EXPECT_EQ(*refused, 0);
    EXPECT_EQ(program.Read("strumkey.ini"), settings) << "the refused copy touched the settings";
    EXPECT_FALSE(program.Exists("second.raw")) << "the refused copy opened the audio device";

    // Under another name, in another folder, it is another program: it starts
    // beside the first and keeps settings of its own.
    X11Program otherProgram(program.Runner(), "strumkey-other");
    ASSERT_TRUE(otherProgram.Ready());
    X11Windows::Id other = 0;
    std::unique_ptr<X11Process> otherRun = Launch(otherProgram, "other.raw", &other);
    ASSERT_NE(other, 0u) << otherProgram.Read(otherProgram.Name() + ".log") << windows->Describe();
    EXPECT_EQ(windows->OfProcess(otherRun->Pid()).size(), 1u) << windows->Describe();
    ASSERT_TRUE(windows->RequestClose(other));
    const std::optional<int> otherStatus = otherRun->Wait(StartLimit);
    ASSERT_TRUE(otherStatus.has_value());
    EXPECT_EQ(*otherStatus, 0);
    EXPECT_NE(otherProgram.Read("strumkey-other.ini").find("Velocity=128"), std::string::npos);
    EXPECT_EQ(program.Read("strumkey.ini"), settings);

    // The first copy writes what it read back at exit, the comment kept.
    ASSERT_TRUE(firstRun->Running());
    ASSERT_TRUE(windows->RequestClose(first));
    const std::optional<int> firstStatus = firstRun->Wait(StartLimit);
    ASSERT_TRUE(firstStatus.has_value());
    EXPECT_EQ(*firstStatus, 0);
    const std::string written = program.Read("strumkey.ini");
    EXPECT_EQ(written.rfind("; mine\r\n[Setting]\r\nVelocity=100\r\nInterval=40\r\n", 0), 0u) << written;
    EXPECT_NE(written.find("StrokeIntervalMode=0"), std::string::npos) << written;

    // Once the first copy has gone, the file starts again.
    X11Windows::Id again = 0;
    std::unique_ptr<X11Process> againRun = Launch("again.raw", &again);
    ASSERT_NE(again, 0u);
    EXPECT_TRUE(program.Exists("again.raw")) << "a start after the first copy ended should open the audio device";
    ASSERT_TRUE(windows->RequestClose(again));
    EXPECT_EQ(againRun->Wait(StartLimit), std::optional<int>(0));
}

// The Linux build alone.
class X11LinuxTest : public X11Test {
protected:
    X11LinuxTest() : X11Test(Linux) {}
};

// The program installed as a package installs it, run at the same time by two
// users: each plays from the installed bank, and each one's settings are kept
// and come back. As root, one of them is the user "nobody"; otherwise the
// installed folder is made read-only and the two are sessions of their own.
TEST_F(X11LinuxTest, AnInstalledCopyPlaysForTwoUsersAtOnceAndKeepsTheirSettings)
{
    namespace fs = std::filesystem;
    const bool root = ::geteuid() == 0;
    const fs::path top = program.Folder() + u8"/installed Música ü";
    const fs::path prefix = top / "usr";
    fs::create_directories(top);
    X11Process::Options install;
    install.args = {"cmake", "--install", STRUMKEY_BUILD_DIR, "--prefix", prefix.string()};
    std::string installLog;
    ASSERT_EQ(X11Process::Run(install, &installLog), 0) << installLog;
    const fs::path programFolder = prefix / "lib/strumkey";
    if (!root) {
        for (const auto& entry : fs::recursive_directory_iterator(programFolder))
            fs::permissions(entry.path(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                            fs::perm_options::remove);
        fs::permissions(programFolder, fs::perms::owner_write, fs::perm_options::remove);
    }
    fs::permissions(program.Folder(), fs::perms::all, fs::perm_options::replace);
    fs::permissions(top, fs::perms::all, fs::perm_options::replace);

    struct User {
        std::string name;
        bool nobody;
        fs::path home;
        std::unique_ptr<X11Process> run;
        X11Windows::Id window = 0;
    };
    User users[] = {{"ann", root, top / "ann", nullptr}, {"bob", false, top / "bob", nullptr}};
    auto start = [&](User& user) {
        fs::create_directories(user.home / "run");
        fs::permissions(user.home, fs::perms::all, fs::perm_options::replace);
        fs::permissions(user.home / "run", fs::perms::owner_all, fs::perm_options::replace);
        if (user.nobody)
            ::chown((user.home / "run").c_str(), 65534, 65534);
        X11Process::Options options;
        if (user.nobody)
            options.args = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"};
        options.args.push_back((prefix / "bin/strumkey").string());
        options.env = server->Environment();
        const std::vector<std::string> audio =
            TestBank::DiskAudio((user.home / "audio.raw").string(), TestBank::DefaultBufferFrames);
        options.env.insert(options.env.end(), audio.begin(), audio.end());
        options.env.insert(options.env.end(), {"QT_QPA_PLATFORM=xcb", "HOME=" + user.home.string(),
                                               "XDG_RUNTIME_DIR=" + (user.home / "run").string()});
        options.unset = {"XDG_CONFIG_HOME", "SESSION_MANAGER"};
        options.output = (user.home / "log.txt").string();
        options.workingDirectory = "/";
        user.run = std::make_unique<X11Process>(options);
        // setpriv and the launcher link both exec: the program keeps the pid.
        user.window = user.run->Started() ? windows->WaitFor(Caption, user.run->Pid(), StartLimit) : 0;
    };
    const auto read = ReadAll;
    auto close = [&](User& user) {
        ASSERT_TRUE(windows->RequestClose(user.window));
        EXPECT_EQ(user.run->Wait(StartLimit), std::optional<int>(0)) << read(user.home / "log.txt");
    };
    auto settingsOf = [&](const User& user) {
        return root && !user.nobody ? programFolder / "strumkey.ini" : user.home / ".config/strumkey/strumkey.ini";
    };

    for (User& user : users) {
        start(user);
        ASSERT_NE(user.window, 0u) << user.name << "\n" << read(user.home / "log.txt") << windows->Describe();
    }
    for (User& user : users) {
        const std::string audio = (user.home / "audio.raw").string();
        const std::size_t from = listening::FileSize(audio);
        ASSERT_EQ(Keys(user.window, {"c"}), 0);
        EXPECT_TRUE(Until([&] { return Peak(ReadSamples(audio, from)) > 1000; })) << user.name << " heard nothing\n"
                                                                                  << read(user.home / "log.txt");
    }
    for (User& user : users)
        close(user);
    for (User& user : users)
        EXPECT_NE(read(settingsOf(user)).find("\r\nVelocity=128\r\n"), std::string::npos) << user.name;
    if (!root) {
        EXPECT_FALSE(fs::exists(programFolder / "strumkey.ini"));
    }

    // The next day: what the first user keeps comes back, and is kept again.
    const std::string mine = "; mine\r\n[Setting]\r\nVelocity=77\r\n";
    std::ofstream(settingsOf(users[0]), std::ios::binary) << mine;
    start(users[0]);
    ASSERT_NE(users[0].window, 0u) << read(users[0].home / "log.txt");
    close(users[0]);
    EXPECT_EQ(read(settingsOf(users[0])).rfind(mine, 0), 0u) << read(settingsOf(users[0]));
}

// The Windows build alone.
class X11WineTest : public X11PlatformTest {};
INSTANTIATE_TEST_SUITE_P(X11, X11WineTest, testing::Values(WineEnglish, WineJapanese), NameOf);

// The portable copy: the ZIP unpacked into a folder of the user's plays there
// and keeps its settings beside itself.
TEST_P(X11WineTest, ThePortableZipPlaysWhereItIsUnpackedAndKeepsItsSettingsThere)
{
    namespace fs = std::filesystem;
    const std::string package = "strumkey-" STRUMKEY_VERSION "-windows-x64";
    const fs::path zip = Build() / (package + ".zip");
    ASSERT_TRUE(fs::exists(zip)) << "no ZIP: cpack in " << Build() << " makes it";
    const fs::path desktop = program.Folder() + u8"/Escritorio de José";
    X11Process::Options unzip;
    unzip.args = {"unzip", "-q", zip.string(), "-d", desktop.string()};
    std::string output;
    ASSERT_EQ(X11Process::Run(unzip, &output), 0) << output;
    const fs::path folder = desktop / package;
    EXPECT_TRUE(fs::exists(folder / "licenses/SOURCES.txt"));

    PlayAndClose(X11Program({(folder / "strumkey.exe").string(), program.Runner().launcher, program.Runner().env},
                            X11Program::InPlace{}),
                 "portable.raw");
    EXPECT_NE(ReadAll(folder / "strumkey.ini").find("\r\nVelocity=128\r\n"), std::string::npos);
}

// The installer run silently, as a deployment tool runs it: the program with
// its bank, libraries and licences in the folder given, and a Start-menu
// entry; the installed copy plays; the uninstaller takes it all away again.
TEST_P(X11WineTest, TheInstallerInstallsACopyThatPlaysAndTheUninstallerRemovesIt)
{
    namespace fs = std::filesystem;
    const fs::path installer = Build() / ("strumkey-" STRUMKEY_VERSION "-windows-x64.exe");
    ASSERT_TRUE(fs::exists(installer)) << "no installer: cpack in " << Build() << " makes it";
    // No blank in it: Wine quotes an argument that has one, and the installer
    // takes /D= only unquoted.
    const std::string folder = std::string("Strumkey-") + platform.name;
    const fs::path drive = Build() / "wine-prefix/drive_c";
    const fs::path installed = drive / folder;
    std::error_code ignored;
    fs::remove_all(installed, ignored);
    const auto run = [&](const std::vector<std::string>& command) {
        std::string output;
        EXPECT_EQ(X11Process::Run(OnPlatform(command), &output, listening::HearLimit), 0) << output;
    };
    // Start-menu entries of the program, wherever Windows keeps them.
    // Wine's uninstaller goes on removing files from a copy of itself after
    // it has returned, so a walk of the drive may meet an entry that is gone:
    // then it walks again.
    const auto shortcuts = [&] {
        std::vector<fs::path> found;
        for (int walk = 0; walk < 100; ++walk) {
            found.clear();
            std::error_code error;
            fs::recursive_directory_iterator entry(drive, error), end;
            for (; !error && entry != end; entry.increment(error))
                if (entry->path().filename() == "Strumkey.lnk" &&
                    entry->path().string().find("Start Menu") != std::string::npos)
                    found.push_back(entry->path());
            if (!error)
                break;
        }
        return found;
    };

    run({installer.string(), "/S", "/D=C:\\" + folder});
    for (const char* file :
         {"strumkey.exe", "se.csv", "se.dat", "SDL.dll", "SDL_mixer.dll", "Uninstall.exe", "licenses/strumkey/LICENSE",
          "licenses/strumkey/SOUND-BANK.txt", "licenses/libsdl1.2/copyright"})
        EXPECT_TRUE(fs::exists(installed / file)) << file;
    EXPECT_EQ(shortcuts().size(), 1u);

    const X11Program copy({(installed / "strumkey.exe").string(), program.Runner().launcher, program.Runner().env},
                          X11Program::InPlace{});
    PlayAndClose(copy, "installed.raw");

    // A user who cannot write where it was installed: the settings go to
    // %APPDATA%\Strumkey, starting from those left beside the program. The
    // folder loses its write permission, or for root (who writes anyway) is
    // mounted read-only for the run: Wine's server opens the files, so the
    // mount is the machine's, not the program's alone.
    const std::string mine = "[Setting]\r\nVelocity=77\r\n";
    std::ofstream(installed / "strumkey.ini", std::ios::binary) << mine;
    const bool root = ::geteuid() == 0;
    const auto writable = [&](bool yes) {
        if (!root) {
            fs::permissions(installed, fs::perms::owner_write, yes ? fs::perm_options::add : fs::perm_options::remove);
            return;
        }
        X11Process::Options options;
        options.args =
            yes ? std::vector<std::string>{"umount", installed.string()}
                : std::vector<std::string>{"mount", "--bind", "-o", "ro", installed.string(), installed.string()};
        std::string output;
        ASSERT_EQ(X11Process::Run(options, &output), 0) << output;
    };
    writable(false);
    X11Windows::Id window = 0;
    std::unique_ptr<X11Process> playing = Launch(copy, "locked.raw", &window);
    const bool started = window != 0 && windows->RequestClose(window);
    const std::optional<int> lockedStatus = playing->Wait(StartLimit);
    writable(true);
    ASSERT_TRUE(started) << "the installed copy did not start in a folder it cannot write";
    EXPECT_EQ(lockedStatus, std::optional<int>(0));
    std::string kept;
    for (const auto& user : fs::directory_iterator(drive / "users", ignored)) {
        const fs::path settings = user.path() / "AppData/Roaming/Strumkey/strumkey.ini";
        if (fs::exists(settings)) {
            kept = ReadAll(settings);
            fs::remove_all(settings.parent_path(), ignored);
        }
    }
    EXPECT_EQ(kept.rfind(mine, 0), 0u) << kept;
    EXPECT_NE(kept.find("\r\nInterval=25\r\n"), std::string::npos) << kept;
    EXPECT_EQ(ReadAll(installed / "strumkey.ini"), mine);

    // The uninstaller hands over to a copy of itself and returns at once.
    run({(installed / "Uninstall.exe").string(), "/S"});
    EXPECT_TRUE(Until([&] { return !fs::exists(installed / "strumkey.exe") && shortcuts().empty(); }));
    for (const char* file : {"se.dat", "SDL.dll", "Uninstall.exe", "licenses"})
        EXPECT_FALSE(fs::exists(installed / file)) << file;
    fs::remove_all(installed, ignored);
}

// The program copied into a folder whose name holds characters of every kind,
// in cp932 and not, and bytes that are not UTF-8: it finds its bank beside
// itself, plays, and keeps its settings there.
struct FolderCase {
    Platform platform;
    const char* folder;
};
// The folder's name in ASCII, every other byte as \xNN: test names stay on
// one line.
void PrintTo(const FolderCase& folderCase, std::ostream* out)
{
    *out << folderCase.platform.name << ", ";
    for (const unsigned char c : std::string(folderCase.folder)) {
        if (c < 0x80) {
            *out << c;
        } else {
            const char* const hex = "0123456789ABCDEF";
            *out << "\\x" << hex[c >> 4] << hex[c & 15];
        }
    }
}

class X11FolderNameTest : public testing::WithParamInterface<FolderCase>, public X11Test {
protected:
    X11FolderNameTest() : X11Test(GetParam().platform) {}
};

TEST_P(X11FolderNameTest, TheProgramPlaysAndKeepsItsSettingsInAFolderOfAnyName)
{
    const X11Program program(this->program.Runner(), {}, GetParam().folder);
    ASSERT_TRUE(program.Ready());
    PlayAndClose(program, "out.raw");
    EXPECT_NE(program.Read("strumkey.ini").find("\r\nVelocity=128\r\n"), std::string::npos);
}

// Names in cp932 and not, and bytes that are not UTF-8.
const char* const FolderNames[] = {u8"josé Música naïve", u8"Школа Ёжик",     u8"🎸 songs 😀",
                                   u8"日本語 表ソ能",     u8"鷗外 𠮷野家 €¥", "latin-1 caf\xE9"};

std::vector<FolderCase> FolderCases()
{
    std::vector<FolderCase> cases;
    for (const Platform& platform : {Linux, WineEnglish, WineJapanese})
        for (const char* folder : FolderNames)
            cases.push_back({platform, folder});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(X11, X11FolderNameTest, testing::ValuesIn(FolderCases()),
                         [](const testing::TestParamInfo<FolderCase>& info) {
                             return std::string(info.param.platform.name) + "_" +
                                    std::to_string(info.index % std::size(FolderNames));
                         });

using namespace keyboard_scenarios;

// The program on the test bank, typed at with xdotool.
class X11KeyboardTest : public X11PlatformTest, public Keyboard {
protected:
    void SetUp() override
    {
        X11PlatformTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        program.UseTestBank();
        program.Write("strumkey.ini", "[Setting]\r\nInterval=" + std::to_string(IntervalMilliseconds) + "\r\n");
        run = Launch(Audio, &window);
        ASSERT_NE(window, 0u) << program.Read(program.Name() + ".log");
        ASSERT_TRUE(GiveFocus(window));
    }
    void TearDown() override
    {
        if (run == nullptr || window == 0)
            return;
        EXPECT_TRUE(windows->RequestClose(window));
        EXPECT_EQ(run->Wait(StartLimit), std::optional<int>(0));
    }

    int Type(const std::vector<std::string>& commands) override
    {
        std::vector<std::string> args = {"xdotool"};
        args.insert(args.end(), commands.begin(), commands.end());
        return Tool(args);
    }
    void UseLayout(const std::string& wanted, unsigned group) override
    {
        if (wanted != layouts) {
            EXPECT_EQ(Tool({"setxkbmap", wanted}), 0);
            layouts = wanted;
        }
        windows->LockGroup(group);
    }
    std::string AudioFile() const override { return program.AudioPath(Audio); }
    using Keyboard::SoundedAfterAll;

    static constexpr const char* Audio = "keys.raw";
    X11Windows::Id window = 0;
    std::unique_ptr<X11Process> run;
    std::string layouts = "us";
};

INSTANTIATE_TEST_SUITE_P(X11, X11KeyboardTest, testing::Values(Linux, WineEnglish, WineJapanese), NameOf);

TEST_P(X11KeyboardTest, AChordIsStrummedAtTheSetInterval)
{
    AChordIsStrummedAtTheSetInterval(*this);
}

TEST_P(X11KeyboardTest, SpaceCutsAnEffect)
{
    SpaceCutsAnEffect(*this);
}

TEST_P(X11KeyboardTest, AHeldKeyStrikesOnceAndATapAgainStrikesAgain)
{
    HeldKeysStrikeOnceAndTapsStrikeAgain(*this);
}

// What the Linux build does itself: following the X server's layouts as they
// switch, and the keys held when the window gets the keyboard back. Under
// Wine, Windows' own layout tables and key state do that.
class X11LinuxKeyboardTest : public X11KeyboardTest {};
INSTANTIATE_TEST_SUITE_P(X11, X11LinuxKeyboardTest, testing::Values(Linux), NameOf);

TEST_P(X11LinuxKeyboardTest, EveryLayoutPlaysTheCKeyAndItsSharpKey)
{
    EveryLayoutPlaysTheCKeyAndItsSharpKey(*this);
}

// Shift and the sharp key go down while the window does not have the
// keyboard, and are still held when it gets it back: the next letter plays
// C sharp minor.
TEST_P(X11LinuxKeyboardTest, KeysHeldAcrossAFocusChangeCount)
{
    windows->Focus(windows->Root());
    ASSERT_EQ(Type({"keydown", "shift", "keydown", "equal"}), 0);
    ASSERT_TRUE(GiveFocus(window));
    ASSERT_EQ(Type({"key", "c", "keyup", "equal", "keyup", "shift"}), 0);
    EXPECT_EQ(SoundedAfterAll(6), ChordIds(61, Minor));
}

// Takes the window's picture as PNG and as 8-bit PPM (for the pixel checks);
// what went wrong in *problem.
X11Image Screenshot(const std::vector<std::string>& environment, X11Windows::Id window, const std::string& png,
                    const std::string& ppm, std::string* problem)
{
    X11Process::Options options;
    options.env = environment;
    options.args = {"import", "-window", std::to_string(window), png};
    if (X11Process::Run(options, problem) != 0)
        return {};
    options.args = {"import", "-window", std::to_string(window), "-depth", "8", ppm};
    if (X11Process::Run(options, problem) != 0)
        return {};
    return X11Image::ReadPpm(ppm);
}

// The program as it plays on a desktop: SDL picks its driver as for a player
// (PulseAudio's on Linux; on Windows WASAPI, which Wine plays through
// PulseAudio), here a private PulseAudio server at the bank's rate whose sink
// is recorded. A stroke sounds on its frames; the device left quiet rests,
// its stream corked, and the next stroke wakes it, on its frames too; a
// resting program closes. WASAPI's device does not rest: under Wine the first
// key after a rest came too late. Its stream plays on through the quiet.
class X11DesktopSoundTest : public X11PlatformTest {
protected:
    // Whether the program's stream (the server's only one) is corked, or
    // playing.
    static bool IsCorked(const SoundServer& sound, bool corked)
    {
        return Output("pactl --server=" + sound.Address() + " list sink-inputs")
                   .find(corked ? "Corked: yes" : "Corked: no") != std::string::npos;
    }
    // Waits until it is.
    static bool Corked(const SoundServer& sound, bool corked)
    {
        return Until([&] { return IsCorked(sound, corked); });
    }
    // Whether the stream plays on for this many seconds.
    static bool PlaysOn(const SoundServer& sound, int seconds)
    {
        for (int second = 0; second < seconds; ++second) {
            std::this_thread::sleep_for(1s);
            if (!IsCorked(sound, false))
                return false;
        }
        return true;
    }
    // Whether the program's stream is PipeWire's own, not one of its
    // PulseAudio service.
    static bool IsNativeStream(const SoundServer& sound)
    {
        const std::string streams = Output("pactl --server=" + sound.Address() + " list sink-inputs");
        return streams.find("Simple DirectMedia Layer") != std::string::npos &&
               streams.find("client.api = \"pipewire-pulse\"") == std::string::npos;
    }
    void PlayTwoStrokesThrough(SoundServer::Kind kind, bool rests);
};
INSTANTIATE_TEST_SUITE_P(X11, X11DesktopSoundTest, testing::Values(Linux, WineEnglish), NameOf);

// Linux through PulseAudio (SDL's PulseAudio driver, which rests) and through
// PipeWire (SDL's PipeWire driver, whose stream plays on); the Windows build
// through PulseAudio.
TEST_P(X11DesktopSoundTest, TheDefaultDriverRestsWhenQuietAndTheStrokeThatWakesItLandsOnItsFrames)
{
    const bool onWindows = program.Runner().Windows();
    std::vector<SoundServer::Kind> servers = {SoundServer::PulseAudio};
    if (!onWindows)
        servers.push_back(SoundServer::PipeWire);
    for (const SoundServer::Kind kind : servers) {
        const bool throughPipeWire = kind == SoundServer::PipeWire;
        SCOPED_TRACE(throughPipeWire ? "through PipeWire" : "through PulseAudio");
        PlayTwoStrokesThrough(kind, !onWindows && !throughPipeWire);
        if (HasFatalFailure())
            return;
    }
}

void X11DesktopSoundTest::PlayTwoStrokesThrough(SoundServer::Kind kind, bool rests)
{
    const bool onWindows = program.Runner().Windows();
    const std::string folder = program.AudioPath("server");
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
    // Under Wine the WASAPI driver writes each frame twice, at twice the rate.
    SoundServer sound(kind, onWindows ? SoundServer::ExactDoubled : SoundServer::Exact, folder);
    ASSERT_TRUE(sound.Ready()) << "no private sound server (pulseaudio, pipewire, wireplumber, pipewire-pulse, "
                                  "dbus-daemon, pactl and parec are needed)";
    program.UseTestBank();
    program.Write("strumkey.ini", "[Setting]\r\nInterval=25\r\n");
    const std::string recording = program.AudioPath("heard.raw");
    {
        MonitorRecording monitor(sound, recording);
        ASSERT_TRUE(monitor.Started());
        X11Windows::Id window = 0;
        std::vector<std::string> environment = sound.ClientEnvironment();
        environment.push_back("SDL_AUDIODRIVER");
        std::unique_ptr<X11Process> run = Launch(program, "unused.raw", &window, environment);
        ASSERT_NE(window, 0u) << program.Read(program.Name() + ".log");
        if (kind == SoundServer::PipeWire && !onWindows) {
            EXPECT_TRUE(IsNativeStream(sound)) << "the program did not play through SDL's PipeWire driver";
        }
        ASSERT_EQ(Keys(window, {"c"}), 0);
        if (rests) {
            EXPECT_TRUE(Corked(sound, true)) << "the quiet program's stream was never corked";
        } else {
            EXPECT_TRUE(PlaysOn(sound, 7)) << "the stream stopped playing";
        }
        ASSERT_EQ(Keys(window, {"c"}), 0);
        EXPECT_TRUE(Corked(sound, false)) << "the stroke did not wake the stream";
        if (rests) {
            EXPECT_TRUE(Corked(sound, true)) << "the stream did not rest again";
        } else {
            EXPECT_TRUE(PlaysOn(sound, 1)) << "the stream stopped playing";  // the stroke sounds out
        }
        ASSERT_TRUE(windows->RequestClose(window));
        EXPECT_EQ(run->Wait(StartLimit), std::optional<int>(0)) << "the program did not close";
    }
    // The placement is the program's; a dropout on a loaded machine is the
    // server's running dry (the soak in bench/ counts those), kept in the
    // test's record.
    int dropouts = 0;
    listening::ExpectCMajorStrokes(recording, 2, 25, &dropouts, sound.SinkRate() / TestBank::Rate);
    RecordProperty(kind == SoundServer::PipeWire ? "dropoutsThroughPipeWire" : "dropoutsThroughPulseAudio", dropouts);
}

TEST_P(X11PlatformTest, ScreenshotShowsTwoSlidersAndTheStatusText)
{
    ASSERT_TRUE(X11Process::OnPath("import")) << "ImageMagick's import is needed for the screenshot";
    X11Windows::Id window = 0;
    std::unique_ptr<X11Process> run = Launch("shot.raw", &window);
    ASSERT_NE(window, 0u) << program.Read(program.Name() + ".log");
    EXPECT_EQ(windows->Caption(window), Caption);
    int width = 0, height = 0;
    windows->Size(window, &width, &height);

    // The window may be mapped before it is painted: take pictures until the
    // sliders and the status text are there, or give up after a while.
    const std::string png = program.PathOf("screenshot.png");
    X11Image image;
    std::string problem;
    int statusInk = 0;
    std::vector<std::pair<int, int>> bands;
    const int statusTop = height - height / 6;
    const auto end = std::chrono::steady_clock::now() + HearLimit;
    do {
        image = Screenshot(server->Environment(), window, png, program.PathOf("screenshot.ppm"), &problem);
        if (!image.Empty()) {
            bands = image.WideBands(0.6);
            statusInk = image.DarkPixels(0, statusTop, image.Width() / 2, image.Height());
            if (bands.size() >= 2 && statusInk > 20)
                break;
        }
        std::this_thread::sleep_for(200ms);
    } while (std::chrono::steady_clock::now() < end);

    ASSERT_FALSE(image.Empty()) << "no screenshot: " << problem;
    if (const char* out = std::getenv("STRUMKEY_SCREENSHOT_OUT")) {
        std::error_code error;
        std::filesystem::copy_file(png, out, std::filesystem::copy_options::overwrite_existing, error);
        EXPECT_FALSE(error) << "cannot save the screenshot to " << out << ": " << error.message();
    }
    EXPECT_EQ(image.Width(), width);
    EXPECT_EQ(image.Height(), height);
    // 231 x 105 dialog units with a 9 point font: a few hundred pixels each way.
    EXPECT_GT(width, height);
    EXPECT_GE(width, 250);
    EXPECT_LE(width, 900);
    EXPECT_GE(height, 120);
    EXPECT_LE(height, 500);
    EXPECT_GT(image.DistinctColours(), 4u) << "blank window";

    // Two slider grooves across the window in its upper part, one above the other.
    std::vector<std::pair<int, int>> sliders;
    for (const auto& band : bands)
        if (band.second < statusTop)
            sliders.push_back(band);
    ASSERT_GE(sliders.size(), 2u) << "expected two slider-like bands";
    EXPECT_LT(sliders.front().first, height / 2);
    EXPECT_GT(sliders.back().first, sliders.front().second + 10);
    // Labels above the sliders, the status text at the bottom left.
    EXPECT_GT(image.DarkPixels(0, 0, width / 2, sliders.front().first), 20) << "no label above the first slider";
    EXPECT_GT(statusInk, 20) << "no status text";
    EXPECT_EQ(image.DarkPixels(width / 2, statusTop, width, height), 0) << "the status text is short";

    ASSERT_TRUE(windows->RequestClose(window));
    EXPECT_EQ(run->Wait(StartLimit), std::optional<int>(0));
}

}  // namespace
