// The built program on a real (virtual) X server: real key events through
// the X server (held keys with the server's own auto-repeat, other keyboard
// layouts, a focus change), the close button as a window manager sends it, a
// second start of the same file, and a screenshot of the window.

#include "tests/e2e/KeyboardScenarios.h"
#include "tests/e2e/Listening.h"
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
#include <string>
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
// One mixer buffer of output: 1024 frames of 16-bit stereo, 46 ms at 22050 Hz.
constexpr std::size_t Buffer = 4096;

class X11Test : public ::testing::Test {
protected:
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
        ASSERT_TRUE(server->Running()) << server->Problem();
        ASSERT_TRUE(X11Process::OnPath("xdotool")) << "xdotool is needed to type at the window";
        windows = std::make_unique<X11Windows>(server->Display());
        ASSERT_TRUE(windows->Connected());
        ASSERT_TRUE(program.Ready()) << "cannot copy " << STRUMKEY_EXE << " with se.csv and se.dat";
    }

    // Starts a copy and waits for its window with the caption.
    std::unique_ptr<X11Process> Launch(const std::string& audio, X11Windows::Id* window)
    {
        return Launch(program, audio, window);
    }
    std::unique_ptr<X11Process> Launch(const X11Program& program, const std::string& audio, X11Windows::Id* window)
    {
        std::unique_ptr<X11Process> process = program.Start(server->Environment(), audio);
        *window = process->Started() ? windows->WaitFor(Caption, process->Pid(), StartLimit) : 0;
        return process;
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
        return Until([&] { return Peak(ReadSamples(program.PathOf(audio), fromByte)) > 1000; });
    }

    // Waits until the newest output is silence: what was mixed before a stop
    // has been written out.
    bool Silenced(const std::string& audio)
    {
        return Until([&] {
            const std::size_t size = Size(audio);
            return size >= 4 * Buffer && Peak(ReadSamples(program.PathOf(audio), size - 4 * Buffer)) == 0;
        });
    }

    bool Written(const std::string& audio, std::size_t bytes)
    {
        return listening::Written(program.PathOf(audio), bytes);
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

    std::vector<int> SoundedAfterAll(const std::string& audio, std::size_t count)
    {
        return listening::SoundedAfterAll(program.PathOf(audio), count);
    }
    std::size_t Size(const std::string& audio) { return listening::FileSize(program.PathOf(audio)); }

    int Tool(std::vector<std::string> args)
    {
        X11Process::Options options;
        options.args = std::move(args);
        options.env = server->Environment();
        return X11Process::Run(options);
    }

    static X11Server* server;
    std::unique_ptr<X11Windows> windows;
    X11Program program{STRUMKEY_EXE};
};

X11Server* X11Test::server = nullptr;

TEST_F(X11Test, KeysPlayThroughTheServerAndTheCloseButtonEndsTheRun)
{
    X11Windows::Id window = 0;
    std::unique_ptr<X11Process> run = Launch("out.raw", &window);
    ASSERT_NE(window, 0u) << program.Read(program.Name() + ".log");

    // Arrow keys move the focused strength slider and play nothing.
    ASSERT_TRUE(Written("out.raw", Buffer));
    ASSERT_EQ(Keys(window, {"Left", "Left", "Left"}), 0);
    const std::size_t afterArrows = Size("out.raw");
    ASSERT_TRUE(Written("out.raw", afterArrows + 8 * Buffer));
    EXPECT_EQ(Peak(ReadSamples(program.PathOf("out.raw"))), 0) << "something played before any chord key";

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
}

TEST_F(X11Test, SecondStartOfTheSameFileIsRefusedAndACopyUnderAnotherNameRuns)
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
    const std::string usage = "Usage: strumkey [--help | --version]\n";
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
        X11Process::Options options;
        options.args = {program.PathOf(program.Name()), answer.argument};
        options.env = server->Environment();
        std::string output;
        EXPECT_EQ(X11Process::Run(options, &output), answer.status) << answer.argument;
        if (answer.argument == std::string("--help")) {
            EXPECT_EQ(output.rfind(usage, 0), 0u) << output;
            EXPECT_NE(output.find("--version  show the version"), std::string::npos) << output;
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
    ASSERT_EQ(Keys(box, {"Return"}), 0);
    const std::optional<int> refused = secondRun->Wait(StartLimit);
    ASSERT_TRUE(refused.has_value()) << "Return did not dismiss the box";
    EXPECT_EQ(*refused, 0);
    EXPECT_EQ(program.Read("strumkey.ini"), settings) << "the refused copy touched the settings";
    EXPECT_FALSE(program.Exists("second.raw")) << "the refused copy opened the audio device";

    // Under another name, in another folder, it is another program: it starts
    // beside the first and keeps settings of its own.
    X11Program otherProgram(STRUMKEY_EXE, "strumkey-other");
    ASSERT_TRUE(otherProgram.Ready());
    X11Windows::Id other = 0;
    std::unique_ptr<X11Process> otherRun = Launch(otherProgram, "other.raw", &other);
    ASSERT_NE(other, 0u) << otherProgram.Read("strumkey-other.log") << windows->Describe();
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

// The program installed as a package installs it, run at the same time by two
// users: each plays from the installed bank, and each one's settings are kept
// and come back. As root, one of them is the user "nobody"; otherwise the
// installed folder is made read-only and the two are sessions of their own.
TEST_F(X11Test, AnInstalledCopyPlaysForTwoUsersAtOnceAndKeepsTheirSettings)
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
        for (const std::string& entry :
             std::vector<std::string>{"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + (user.home / "audio.raw").string(),
                                      "SDL_DISKAUDIODELAY=46", "QT_QPA_PLATFORM=xcb", "HOME=" + user.home.string(),
                                      "XDG_RUNTIME_DIR=" + (user.home / "run").string()})
            options.env.push_back(entry);
        options.unset = {"XDG_CONFIG_HOME", "SESSION_MANAGER"};
        options.output = (user.home / "log.txt").string();
        options.workingDirectory = "/";
        user.run = std::make_unique<X11Process>(options);
        // setpriv and the launcher link both exec: the program keeps the pid.
        user.window = user.run->Started() ? windows->WaitFor(Caption, user.run->Pid(), StartLimit) : 0;
    };
    auto read = [](const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
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

// The program copied into a folder whose name holds characters of every kind,
// in cp932 and not, and bytes that are not UTF-8: it finds its bank beside
// itself, plays, and keeps its settings there.
class X11FolderNameTest : public X11Test, public testing::WithParamInterface<const char*> {};

TEST_P(X11FolderNameTest, TheProgramPlaysAndKeepsItsSettingsInAFolderOfAnyName)
{
    const X11Program program(STRUMKEY_EXE, {}, GetParam());
    ASSERT_TRUE(program.Ready());
    X11Windows::Id window = 0;
    std::unique_ptr<X11Process> run = Launch(program, "out.raw", &window);
    ASSERT_NE(window, 0u) << program.Read(program.Name() + ".log");
    ASSERT_EQ(Keys(window, {"c"}), 0);
    EXPECT_TRUE(Until([&] { return Peak(ReadSamples(program.PathOf("out.raw"))) > 1000; }))
        << program.Read(program.Name() + ".log");
    ASSERT_TRUE(windows->RequestClose(window));
    EXPECT_EQ(run->Wait(StartLimit), std::optional<int>(0));
    EXPECT_NE(program.Read("strumkey.ini").find("\r\nVelocity=128\r\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(X11Test, X11FolderNameTest,
                         testing::Values(u8"josé Música naïve", u8"Школа Ёжик", u8"🎸 songs 😀", u8"日本語 表ソ能",
                                         u8"鷗外 𠮷野家 €¥", "latin-1 caf\xE9"));

using namespace keyboard_scenarios;

// The program on the test bank, typed at with xdotool.
class X11KeyboardTest : public X11Test, public Keyboard {
protected:
    void SetUp() override
    {
        X11Test::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        program.UseTestBank();
        program.Write("strumkey.ini", "[Setting]\r\nInterval=150\r\n");
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
    Ids SoundedAfterAll(std::size_t count) override { return X11Test::SoundedAfterAll(Audio, count); }

    static constexpr const char* Audio = "keys.raw";
    X11Windows::Id window = 0;
    std::unique_ptr<X11Process> run;
    std::string layouts = "us";
};

TEST_F(X11KeyboardTest, AHeldKeyStrikesOnceAndATapAgainStrikesAgain)
{
    HeldKeysStrikeOnceAndTapsStrikeAgain(*this);
}

TEST_F(X11KeyboardTest, EveryLayoutPlaysTheCKeyAndItsSharpKey)
{
    EveryLayoutPlaysTheCKeyAndItsSharpKey(*this);
}

// Shift and the sharp key go down while the window does not have the
// keyboard, and are still held when it gets it back: the next letter plays
// C sharp minor.
TEST_F(X11KeyboardTest, KeysHeldAcrossAFocusChangeCount)
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

TEST_F(X11Test, ScreenshotShowsTwoSlidersAndTheStatusText)
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
