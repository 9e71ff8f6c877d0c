// wine_timing: key to sound of the Windows build under Wine, beside Wine's own
// floor. On a private X server (Xvfb) and a private PulseAudio run as a
// desktop runs it (a null sink at its own rate, its monitor recorded), in a
// Wine prefix of this build folder's own (scripts/wine-prefix.sh), taking
// turns in one run:
//   wasapi_click.exe  the floor: a click written into a WASAPI shared-mode
//                     stream at the engine's shortest period, the most direct
//                     path a Windows program has
//   strumkey.exe      on the test bank, with its default settings (SDL's
//                     WASAPI driver, 256 frames), with AudioBufferFrames 128,
//                     512 and 1024 in its settings file, and through SDL's
//                     DirectSound driver at 1024 frames (the settings before
//                     the WASAPI driver) and at 256
// Each key goes to the focused window through XTEST, and is timed from the
// moment it is sent to the first rise out of silence in the recording, every
// recorded frame mapped to CLOCK_MONOTONIC by the recorder's sample count (as
// heard_timing does). Prints mean, p90 and p99 per row and each row's excess
// over the floor, and the dropouts heard inside the program's strokes (silence
// between their first rise and their last string's end); nothing here is a
// pass or fail.
//
//   wine_timing [strokes per row, 20 unless told] [idle|busy, both unless told] [title] [pause]
//     title: only the rows whose title holds it (the floor is always played)
//     pause: seconds between keys, 1 unless told; 7 measures the first key
//            after a rest (the device rests after 5 s of quiet)
// The Windows build is STRUMKEY_WINDOWS_BUILD's, else build-windows/ of this
// checkout (scripts/build-windows.sh).

#include "tests/e2e/BusyCore.h"
#include "tests/e2e/MixedOutput.h"
#include "tests/e2e/SoundServer.h"
#include "tests/e2e/TestBank.h"
#include "tests/e2e/X11Process.h"
#include "tests/e2e/X11Program.h"
#include "tests/e2e/X11Server.h"
#include "tests/e2e/X11Windows.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Every wait has a limit, so that a stuck run cannot hang the bench: a window
// that has not come by then will not, and a program that does not close by
// then is killed.
constexpr auto StartLimit = 60s;
constexpr auto CloseLimit = 20s;
// Between keys: the slowest row's sound has risen and died away (waveout
// takes some 650 ms). Each wait is drawn longer by up to JitterMs, so that the
// keys fall anywhere in the output's periods.
constexpr int PauseMs = 1000;
constexpr int JitterMs = 50;
constexpr int HoldMs = 30;
// A sound rises out of silence as heard_timing reads strokes through a
// resampler: above half the test bank's lowest level after 2 ms of quiet.
constexpr int RiseLevel = TestBank::LevelOf(0) / 2;
constexpr int QuietLevel = 250;
constexpr int QuietMs = 2;
// A stroke of six strings at the default interval (25 ms), the last string
// sounding for the test bank's note.
constexpr long StrokeMs = 5 * 25 + TestBank::NoteFrames * 1000L / TestBank::Rate;

void Sleep(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Key events through the X server's XTEST extension, as a keyboard gives them,
// to whichever window has the focus.
class XTestKeyboard {
public:
    explicit XTestKeyboard(const std::string& name) : display(XOpenDisplay(name.c_str())) {}
    ~XTestKeyboard()
    {
        if (display != nullptr)
            XCloseDisplay(display);
    }
    XTestKeyboard(const XTestKeyboard&) = delete;
    XTestKeyboard& operator=(const XTestKeyboard&) = delete;

    bool Ready() const
    {
        int event = 0, error = 0, major = 0, minor = 0;
        return display != nullptr && XTestQueryExtension(display, &event, &error, &major, &minor);
    }
    // Presses or releases the key of keysym; gives the time it was sent.
    long long Key(const char* keysym, bool press)
    {
        const KeyCode code = XKeysymToKeycode(display, XStringToKeysym(keysym));
        const long long sent = Now();
        XTestFakeKeyEvent(display, code, press ? True : False, CurrentTime);
        XFlush(display);
        return sent;
    }

private:
    Display* display;
};

// The prefix the Windows programs run in, made once by scripts/wine-prefix.sh
// and kept in this build folder; its server runs while the object lives.
class WinePrefix {
public:
    explicit WinePrefix(const std::string& path) : path(path) { ok = Script("start", 10min) == 0; }
    ~WinePrefix() { Script("stop", 30s); }
    WinePrefix(const WinePrefix&) = delete;
    WinePrefix& operator=(const WinePrefix&) = delete;

    bool Ok() const { return ok; }
    const std::string& Problem() const { return problem; }
    // What a Windows program needs in its environment: an English locale.
    std::vector<std::string> Environment() const
    {
        const std::string locales = fs::path(path).parent_path().string() + "/locales";
        return {"WINEPREFIX=" + path, "WINEDEBUG=-all", "LOCPATH=" + locales, "LANG=en_US.UTF-8", "LC_ALL=en_US.UTF-8"};
    }

private:
    int Script(const char* command, std::chrono::milliseconds limit)
    {
        X11Process::Options options;
        options.args = {WINE_PREFIX_SCRIPT, path, command};
        return X11Process::Run(options, &problem, limit);
    }
    std::string path, problem;
    bool ok = false;
};

struct Row {
    std::string title;
    bool floor = false;     // wasapi_click, else strumkey
    int bufferFrames = 0;   // AudioBufferFrames in the settings file; 0: none written
    std::string sdlDriver;  // SDL_AUDIODRIVER; empty: unset, SDL picks
};

const std::vector<Row> Rows = {
    {"wasapi_click (the floor)", true, 0, ""},
    {"strumkey, default settings (256 frames)", false, 0, ""},
    {"strumkey, AudioBufferFrames=128", false, 128, ""},
    {"strumkey, AudioBufferFrames=512", false, 512, ""},
    {"strumkey, AudioBufferFrames=1024", false, 1024, ""},
    {"strumkey, 1024 frames, SDL_AUDIODRIVER=dsound (before)", false, 1024, "dsound"},
    {"strumkey, default settings, SDL_AUDIODRIVER=dsound", false, 0, "dsound"},
};

struct Heard {
    std::vector<double> latencies;  // ms, of the keys heard
    int keys = 0;
    int dropouts = 0;     // silences inside the strokes heard
    std::string problem;  // why nothing was measured
};

// Everything a row plays on.
struct Stage {
    const X11Server& x;
    X11Windows& windows;
    XTestKeyboard& keyboard;
    const SoundServer& sound;
    const WinePrefix& wine;
    std::string windowsBuild;
    std::string folder;  // for the recordings
    int pauseMs = PauseMs;
};

// Starts the row's program, strums at its window and reads the recording back.
Heard Play(const Row& row, int strokes, Stage& stage, std::mt19937& random)
{
    Heard heard;
    std::vector<std::string> env = stage.x.Environment();
    const std::vector<std::string> wine = stage.wine.Environment();
    env.insert(env.end(), wine.begin(), wine.end());
    env.push_back("PULSE_SERVER=" + stage.sound.Address());

    // The program's copy, in a fresh folder with the test bank.
    std::optional<X11Program> copy;
    std::unique_ptr<X11Process> process;
    std::string log;
    if (row.floor) {
        X11Process::Options options;
        options.args = {"wine", stage.windowsBuild + "/bench/wasapi_click.exe"};
        options.env = env;
        log = stage.folder + "/wasapi_click.log";
        fs::remove(log);  // its output is added to the file
        options.output = log;
        process = std::make_unique<X11Process>(options);
    } else {
        copy.emplace(ProgramRunner{stage.windowsBuild + "/strumkey.exe", {"wine"}, {}});
        if (!copy->Ready()) {
            heard.problem = "cannot copy the program";
            return heard;
        }
        copy->UseTestBank();
        if (row.bufferFrames > 0)
            copy->Write("strumkey.ini", "[Setting]\r\nAudioBufferFrames=" + std::to_string(row.bufferFrames) + "\r\n");
        env.push_back(row.sdlDriver.empty() ? "SDL_AUDIODRIVER" : "SDL_AUDIODRIVER=" + row.sdlDriver);
        process = copy->Start(env, "unused.raw");
        log = copy->PathOf(copy->Name() + ".log");
    }

    const std::string recording = stage.folder + "/heard.raw";
    std::vector<long long> keys;
    OutputTimes times;
    {
        MonitorRecording monitor(stage.sound, recording);
        const X11Windows::Id window = process->Started() ? stage.windows.WaitFor(row.floor ? "WasapiClick" : "Strumkey",
                                                                                 process->Pid(), StartLimit)
                                                         : 0;
        for (int tries = 0; window != 0 && stage.windows.Focused() != window && tries < 200; ++tries) {
            if (stage.windows.Viewable(window))
                stage.windows.Focus(window);
            Sleep(10);
        }
        if (window == 0 || stage.windows.Focused() != window) {
            heard.problem = window == 0 ? "no window came" : "the window did not take the focus";
        } else {
            std::uniform_int_distribution<int> jitter(0, JitterMs);
            // The first key is not counted: it may find the output asleep.
            for (int i = -1; i < strokes; ++i) {
                Sleep(stage.pauseMs + jitter(random));
                const long long sent = stage.keyboard.Key("c", true);
                if (i >= 0)
                    keys.push_back(sent);
                Sleep(HoldMs);
                stage.keyboard.Key("c", false);
            }
            Sleep(PauseMs);
            if (!stage.windows.RequestClose(window))
                heard.problem = "the window cannot be closed";
        }
        if (!process->Wait(CloseLimit))
            process->Stop();
        times = monitor.Stop();
    }
    heard.keys = static_cast<int>(keys.size());
    const MixedOutput output(recording);
    const int rate = stage.sound.SinkRate();
    const std::vector<long> rises = output.Rises(RiseLevel, QuietLevel, static_cast<long>(QuietMs) * rate / 1000);
    heard.latencies = KeyLatencies(keys, rises, times);
    // Silence inside a stroke heard: from its rise to its last string's end
    // (the default interval), less a millisecond at each end.
    if (!row.floor) {
        std::vector<Span> strokes;
        for (const long rise : rises)
            strokes.push_back({rise + rate / 1000, rise + StrokeMs * rate / 1000 - rate / 1000});
        heard.dropouts = output.SilentRuns(strokes, QuietLevel);
    }
    if (row.floor) {  // the stream it got
        std::ifstream in(log);
        std::string line;
        while (std::getline(in, line))
            if (line.starts_with("stream:"))
                std::printf("(%s)\n", line.c_str());
    }
    if (heard.latencies.empty() && heard.problem.empty())
        heard.problem = "nothing heard; the program's log: " + log;
    fs::remove(recording);
    return heard;
}

void MeasureRows(int strokes, bool busy, const std::string& only, Stage& stage)
{
    std::printf("\nThe other core %s\n", busy ? "busy" : "idle");
    std::printf("%-52s %7s  %7s %7s %7s   %s\n", "", "heard", "mean", "p90", "p99",
                "over the floor: mean / p90, dropouts");
    std::fflush(stdout);
    std::mt19937 random(1);
    double floorMean = NAN, floorP90 = NAN;
    for (const Row& row : Rows) {
        if (!row.floor && row.title.find(only) == std::string::npos)
            continue;
        std::optional<BusyCore> load;
        if (busy)
            load.emplace();
        const Heard heard = Play(row, strokes, stage, random);
        load.reset();
        const double mean = Mean(heard.latencies), p90 = Percentile(heard.latencies, 0.9);
        std::printf("%-52s %3zu/%-3d  %7.1f %7.1f %7.1f", row.title.c_str(), heard.latencies.size(), heard.keys, mean,
                    p90, Percentile(heard.latencies, 0.99));
        if (row.floor) {
            floorMean = mean;
            floorP90 = p90;
        } else {
            std::printf("   %+7.1f / %+7.1f   %d dropouts", mean - floorMean, p90 - floorP90, heard.dropouts);
        }
        if (!heard.problem.empty())
            std::printf("   (%s)", heard.problem.c_str());
        std::printf("\n");
        std::fflush(stdout);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const int strokes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const std::string loads = argc > 2 ? argv[2] : "both";
    const std::string only = argc > 3 ? argv[3] : "";
    const int pauseMs = argc > 4 ? std::max(1, std::atoi(argv[4])) * 1000 : PauseMs;
    const char* build = std::getenv("STRUMKEY_WINDOWS_BUILD");
    const std::string windowsBuild = build != nullptr && *build != '\0' ? build : DEFAULT_WINDOWS_BUILD;
    for (const char* file : {"/strumkey.exe", "/bench/wasapi_click.exe"})
        if (!fs::exists(windowsBuild + file)) {
            std::printf("wine_timing: no %s%s (scripts/build-windows.sh makes it)\n", windowsBuild.c_str(), file);
            return 1;
        }
    for (const char* tool : {"wine", "Xvfb", "pulseaudio", "parec"})
        if (!X11Process::OnPath(tool)) {
            std::printf("wine_timing: %s is needed\n", tool);
            return 1;
        }

    const WinePrefix wine(WINE_TIMING_PREFIX);
    if (!wine.Ok()) {
        std::printf("wine_timing: the Wine prefix could not be made: %s\n", wine.Problem().c_str());
        return 1;
    }
    const std::string folder = (fs::temp_directory_path() / "wine-timing").string();
    fs::remove_all(folder);
    fs::create_directories(folder);
    fs::permissions(folder, fs::perms::owner_all);
    int status = 0;
    {
        const X11Server x;
        X11Windows windows(x.Display());
        XTestKeyboard keyboard(x.Display());
        SoundServer sound(SoundServer::PulseAudio, SoundServer::Desktop, folder);
        if (!x.Running() || !windows.Connected() || !keyboard.Ready()) {
            std::printf("wine_timing: no X server with XTEST (%s)\n", x.Problem().c_str());
            status = 1;
        } else if (!sound.Ready()) {
            std::printf("wine_timing: PulseAudio did not start\n");
            status = 1;
        } else {
            std::printf(
                "wine_timing: %d keys per row, times in ms from the key sent to the first rise heard; "
                "PulseAudio's null sink at %d Hz\n",
                strokes, sound.SinkRate());
            Stage stage{x, windows, keyboard, sound, wine, windowsBuild, folder, pauseMs};
            if (loads != "busy")
                MeasureRows(strokes, false, only, stage);
            if (loads != "idle")
                MeasureRows(strokes, true, only, stage);
        }
    }
    fs::remove_all(folder);
    return status;
}
