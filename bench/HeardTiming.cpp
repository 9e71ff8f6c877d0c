// heard_timing: what a player hears of a strum, read back from the program's
// output. The scripted player (the whole program, keys given to its window)
// strums C major on the test bank, whose samples name themselves by their
// levels; the output is decoded string by string. Side by side in one run,
// for the mixer's own placement (a build of the player where every start and
// cut lands at the next buffer) and the program's own:
//   gap error  how far the time between consecutive strings of a stroke is
//              from the interval (p50, p99, max, in ms)
//   latency    from the key event to the stroke's first sounding frame (mean,
//              p99, in ms), through the disk driver and through a sound server
//              (PulseAudio, and PipeWire with pipewire-pulse, each on a null
//              sink, its monitor recorded with parec)
//   dropouts   underruns heard: silence inside a note heard to start
//   late       the underruns the program itself saw: mixes that came late
// Through a server each row of the program's is followed by its floor, "bare":
// bare_tone's clicks at the same buffer and load, each started at the next mix
// after its stamp, so that what the program adds to key to sound shows.
// at buffers of 128 (servers only), 256, 512 and 1024 frames; and, with the
// other core kept busy, with the timer thread at real-time priority and
// without the privilege (through the servers: without it, when root).
// Prints its figures; nothing here is a pass or fail.
//
//   heard_timing [strokes per row, 20 unless told] [servers [title]]
//     servers: the sound servers only; title: only those whose title holds it
//   heard_timing rest [strokes, 5 unless told]
//     each stroke after 7 s of quiet (longer than the device waits before
//     it rests, under a driver that rests),
//     through each server as a desktop runs it, idle and busy
//   heard_timing soak [minutes, 10 unless told] [buffer frames, 256 unless told] [title]
//     strums without a pause for that long through each server as a desktop
//     runs it (or those whose title holds title), the other core busy and no
//     real-time priority, and counts the dropouts heard; then plays a bare
//     client's tone (bare_tone) as long, the same way: the server's own
//     dropouts

#include "tests/e2e/BusyCore.h"
#include "tests/e2e/MixedOutput.h"
#include "tests/e2e/PlayerRun.h"
#include "tests/e2e/SoundServer.h"
#include "tests/e2e/TestBank.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <fstream>
#include <iterator>
#include <numeric>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr double Rate = TestBank::Rate;
const std::vector<int> CMajor = {0, 8, 12, 15, 20, 24};

// ---- When each output frame was heard ---------------------------------------

// Watches a file grow, on a thread of its own, until it is destroyed.
class FileWatch {
public:
    explicit FileWatch(const std::string& file) : file(file)
    {
        std::ofstream(file, std::ios::app).flush();
        thread = std::thread([this] { Run(); });
    }
    ~FileWatch() { Stop(); }
    OutputTimes Stop()
    {
        stop = true;
        if (thread.joinable())
            thread.join();
        return times;
    }

private:
    void Run()
    {
        const int notify = inotify_init1(IN_CLOEXEC);
        inotify_add_watch(notify, file.c_str(), IN_MODIFY);
        long frames = 0;
        while (!stop) {
            pollfd ready{notify, POLLIN, 0};
            if (poll(&ready, 1, 20) <= 0)
                continue;
            const long long now = Now();
            char events[4096];
            if (read(notify, events, sizeof events) <= 0)
                continue;
            struct stat info {};
            if (stat(file.c_str(), &info) == 0 && info.st_size / FrameBytes > frames) {
                frames = info.st_size / FrameBytes;
                times.Add(now, frames);
            }
        }
        close(notify);
    }
    std::string file;
    std::atomic<bool> stop{false};
    OutputTimes times;
    std::thread thread;
};

// ---- Decoding strokes ---------------------------------------------------------

// The frame of each string of a stroke; -1: not heard on a frame of its own.
using Stroke = std::vector<long>;

// Every rise is the start of one string or of several consecutive strings of a
// stroke on one frame (the mixer's own placement puts them together).
std::vector<Stroke> Strokes(const MixedOutput& output)
{
    std::vector<Stroke> strokes;
    std::size_t next = CMajor.size();
    for (const Step& step : output.Steps()) {
        if (step.delta <= 0)
            continue;
        const auto startsAt = [&step](std::size_t first) {
            int level = 0;
            for (std::size_t last = first; last < CMajor.size(); ++last) {
                level += TestBank::LevelOf(CMajor[last]);
                if (level == step.delta)
                    return last + 1;
            }
            return first;
        };
        std::size_t end = next < CMajor.size() ? startsAt(next) : next;
        if (end == next) {  // not the strings that come next: a new stroke?
            end = startsAt(0);
            if (end == 0)
                continue;
            strokes.emplace_back(CMajor.size(), -1);
            next = 0;
        }
        for (; next < end; ++next)
            strokes.back()[next] = step.frame;
    }
    return strokes;
}

struct Figures {
    std::vector<double> gaps;       // ms, in the order heard
    std::vector<double> gapErrors;  // ms
    std::vector<double> latencies;  // ms
    int strings = 0;
    int dropouts = 0;  // -1: not counted
    int realTimeThreads = -1;
    int lateMixes = -1;                                     // as the program counted them
    bool stuck = false;                                     // the run did not end within its time and was killed
    std::vector<std::pair<double, double>> recorderLosses;  // s into the recording, ms
};

// Silence the recorder may have made, not the player: it read too late and
// the server dropped what it had recorded. A path whose latency grew for good
// (a graph that took a longer cycle) reads the same, so each is shown where
// it was, seconds into the recording.
void PrintRecorderLosses(const std::vector<std::pair<double, double>>& losses)
{
    for (const auto& [seconds, ms] : losses)
        std::printf(
            "        (at %.1f s the recorder lost %.0f ms, or the path's latency grew: dropouts there may be "
            "its own)\n",
            seconds, ms);
}

// Where the notes of the strokes heard should sound, at the bank's rate:
// every string from its start for its length (a string placed late leaves
// silence between notes, not inside one). The last stroke is left out:
// closing the window cuts it.
std::vector<Span> NoteSpans(const std::vector<Stroke>& strokes)
{
    std::vector<Span> spans;
    for (std::size_t i = 0; i + 1 < strokes.size(); ++i)
        for (const long start : strokes[i])
            if (start >= 0)  // -1: not heard
                spans.push_back({start, start + TestBank::NoteFrames});
    return spans;
}

// Through a server that resampled the output its levels no longer name the
// strings, but a stroke still rises out of silence: each stroke is where the
// output first goes above half the lowest string's level after QuietMs of
// quiet. Only its first string's frame is known.
// Strokes strummed fast are 4 ms apart and less; the strings of one overlap.
constexpr int QuietLevel = 250;  // above a resampler's ringing after a step of TestBank::LevelOf(0)
constexpr int QuietMs = 2;

// The loudest a frame heard as silence may be: resampled, the ringing beside
// a step is not a sound.
int SilenceThrough(const SoundServer* server)
{
    return server != nullptr && server->Resamples() ? QuietLevel : 0;
}

std::vector<Stroke> ResampledStrokes(const MixedOutput& output, int rate)
{
    std::vector<Stroke> strokes;
    for (const long rise :
         output.Rises(TestBank::LevelOf(0) / 2, QuietLevel, static_cast<long>(QuietMs) * rate / 1000)) {
        strokes.emplace_back(CMajor.size(), -1);
        strokes.back()[0] = rise;
    }
    return strokes;
}

// The resampled strokes sound throughout, strings overlapping, from their
// rise until the last string ends (a millisecond of each edge left to the
// resampler). The last stroke is left out: closing the window cuts it.
std::vector<Span> StrokeSpans(const std::vector<Stroke>& strokes, int rate, int interval)
{
    const long edge = rate / 1000;
    const long length =
        static_cast<long>(CMajor.size() - 1) * interval * rate / 1000 + TestBank::NoteFrames * rate / TestBank::Rate;
    std::vector<Span> spans;
    for (std::size_t i = 0; i + 1 < strokes.size(); ++i)
        spans.push_back({strokes[i][0] + edge, strokes[i][0] + length - edge});
    return spans;
}

Figures Measure(const std::vector<Stroke>& strokes, const OutputTimes& times, std::vector<long long> stamps,
                int interval)
{
    Figures figures;
    std::sort(stamps.begin(), stamps.end());
    for (const Stroke& stroke : strokes) {
        for (std::size_t i = 0; i < stroke.size(); ++i) {
            figures.strings += stroke[i] >= 0 ? 1 : 0;
            if (i > 0 && stroke[i] >= 0 && stroke[i - 1] >= 0) {
                figures.gaps.push_back(static_cast<double>(stroke[i] - stroke[i - 1]) * 1000 / Rate);
                figures.gapErrors.push_back(std::fabs(figures.gaps.back() - interval));
            }
        }
        if (stroke[0] < 0)
            continue;
        const double heard = times.HeardAt(stroke[0]);
        const auto key = std::upper_bound(stamps.begin(), stamps.end(), static_cast<long long>(heard));
        if (!std::isnan(heard) && key != stamps.begin())
            figures.latencies.push_back((heard - static_cast<double>(*std::prev(key))) / 1e6);
    }
    return figures;
}

// ---- Runs -----------------------------------------------------------------------

struct Row {
    const char* placement;
    int buffer;
    int interval;
    bool loaded = false;
    bool privileged = true;
};

std::string PlayerFor(const Row& row)
{
    return std::string(row.placement) == "mixer" ? MIXER_PLACEMENT_PLAYER : SCRIPTED_PLAYER;
}

// A sound server and SDL's driver for it.
struct Through {
    const SoundServer& server;
    const char* driver;
};

// Strums and reads back what was heard: through the disk driver, or through
// the sound server when there is one.
Figures Play(const Row& row, int strokes, const Through* through, int pauseMs = 100)
{
    const SoundServer* server = through != nullptr ? &through->server : nullptr;
    PlayerRun run(PlayerFor(row));
    run.PaceDiskFor(row.buffer);
    run.WriteSettings(
        SettingsText({"Interval=" + std::to_string(row.interval), "AudioBufferFrames=" + std::to_string(row.buffer)}));
    // A run that does not end in twice its time and half a minute more (a
    // player stuck at exit, waiting for a server) is killed, and so marked.
    const int limitSeconds = 30 + 2 * strokes * (static_cast<int>(CMajor.size()) * row.interval + pauseMs + 500) / 1000;
    std::vector<std::string> under = {"/usr/bin/timeout", "-s", "KILL", std::to_string(limitSeconds)};
    if (!row.privileged)
        under.insert(under.end(), {"/usr/bin/setpriv", "--inh-caps=-sys_nice", "--bounding-set=-sys_nice"});
    run.RunUnder(under);
    const std::string recording = run.Folder() + "/heard.raw";
    if (server != nullptr) {
        run.SetEnvironment(std::string("SDL_AUDIODRIVER=") + through->driver);
        for (const std::string& setting : server->ClientEnvironment())
            run.SetEnvironment(setting);
    } else {
        run.SetEnvironment("LD_PRELOAD=" UNBUFFERED_DISK_OUTPUT);
    }
    std::vector<std::string> script = {"wait 1000"};
    for (int i = 0; i < strokes; ++i)
        script.insert(script.end(), {"stamp", "tap c", "settle", "wait " + std::to_string(pauseMs)});
    script.insert(script.end(), {"late", "realtime", "close"});

    OutputTimes times;
    ProcessResult result;
    {
        std::optional<BusyCore> busy;
        if (row.loaded)
            busy.emplace();
        if (server != nullptr) {
            MonitorRecording monitor(*server, recording);
            result = run.Play(script);
            usleep(100 * 1000);  // the last stroke through the server
            times = monitor.Stop();
        } else {
            FileWatch watch(run.OutputFile());
            result = run.Play(script);
            times = watch.Stop();
        }
    }
    std::vector<long long> stamps;
    for (const std::string& stamp : run.Lines("stamp "))
        stamps.push_back(std::stoll(stamp));
    const MixedOutput output(server != nullptr ? recording : run.OutputFile());
    const bool resampled = server != nullptr && server->Resamples();
    const std::vector<Stroke> heardStrokes = resampled ? ResampledStrokes(output, server->SinkRate()) : Strokes(output);
    Figures figures = Measure(heardStrokes, times, stamps, row.interval);
    // The mixer's own placement leaves gaps between strings by design.
    if (std::string(row.placement) == "placed")
        figures.dropouts = output.SilentRuns(
            resampled ? StrokeSpans(heardStrokes, server->SinkRate(), row.interval) : NoteSpans(heardStrokes),
            SilenceThrough(server));
    for (const std::string& count : run.Lines("realtime "))
        figures.realTimeThreads = std::stoi(count);
    for (const std::string& count : run.Lines("late "))
        figures.lateMixes = std::stoi(count);
    figures.stuck = result.status == 128 + SIGKILL;
    figures.recorderLosses = times.Losses();
    return figures;
}

void PrintRow(const Row& row, const Figures& f)
{
    std::printf("%-7s %6d %8d  %-6s %3d %7d   %6.2f %6.2f %6.2f   %7.1f %6.1f   %8s %5d\n", row.placement, row.buffer,
                row.interval, row.loaded ? "busy" : "quiet", f.realTimeThreads, f.strings, Percentile(f.gapErrors, 0.5),
                Percentile(f.gapErrors, 0.99), Percentile(f.gapErrors, 1.0), Mean(f.latencies),
                Percentile(f.latencies, 0.99), f.dropouts >= 0 ? std::to_string(f.dropouts).c_str() : "-", f.lateMixes);
    if (f.stuck)
        std::printf("        (the player did not end and was killed: stuck at exit?)\n");
    PrintRecorderLosses(f.recorderLosses);
    std::fflush(stdout);
}

void PrintHeader(const char* title)
{
    std::printf("\n%s\n", title);
    std::printf("%-7s %6s %8s  %-6s %3s %7s   %-20s   %-21s %s %s\n", "place", "buffer", "interval", "cores", "rt",
                "strings", "gap error p50/p99/max", "key to sound mean/p99", "dropouts", "late");
}

// Through the disk driver: the mixer's placement beside the program's at
// several intervals, and the program's with the other core busy.
void MeasureDiskDriver(int strokes, bool root)
{
    const int buffers[] = {256, 512, 1024};
    PrintHeader("Through the disk driver, the other core idle");
    std::vector<std::pair<Row, std::vector<double>>> heard;  // at the default buffer
    for (const int interval : {10, 25, 40, 60})
        for (const int buffer : buffers)
            for (const char* placement : {"mixer", "placed"}) {
                const Row row{placement, buffer, interval};
                const Figures figures = Play(row, strokes, nullptr);
                PrintRow(row, figures);
                if (buffer == 1024)
                    heard.emplace_back(row, figures.gaps);
            }
    std::printf("\nHeard between consecutive strings at 1024 frames, the first two strokes (ms)\n");
    for (const auto& [row, gaps] : heard) {
        std::printf("%-7s %8d  ", row.placement, row.interval);
        for (std::size_t i = 0; i < std::min<std::size_t>(10, gaps.size()); ++i)
            std::printf(" %5.1f", gaps[i]);
        std::printf("\n");
    }

    PrintHeader("Through the disk driver, the other core busy, with and without real-time priority");
    for (const int buffer : buffers)
        for (const bool privileged : {true, false}) {
            if (!privileged && !root)
                continue;  // nothing to drop
            const Row row{"placed", buffer, 25, true, privileged};
            PrintRow(row, Play(row, strokes, nullptr));
        }
    if (!root)
        std::printf("(not root: the run above is as this user's privilege allows)\n");
}

// Through each sound server: the program with the other core idle and busy,
// beside the mixer's own placement.
struct ServerKind {
    SoundServer::Kind kind;
    SoundServer::Setup setup;
    const char* title;
    const char* needs;
    const char* driver;  // SDL's
};

const char* const PulseAudioNeeds = "pulseaudio and parec";
const char* const PipeWireNeeds = "pipewire, wireplumber, pipewire-pulse, dbus-daemon and parec";
const ServerKind Servers[] = {
    {SoundServer::PulseAudio, SoundServer::Exact, "Through PulseAudio (a null sink at 22050 Hz, its monitor recorded)",
     PulseAudioNeeds, "pulse"},
    {SoundServer::PipeWire, SoundServer::Exact,
     "Through PipeWire, SDL's PipeWire driver (the graph and a null sink at 22050 Hz, its monitor recorded)",
     PipeWireNeeds, "pipewire"},
    {SoundServer::PipeWire, SoundServer::Exact,
     "Through PipeWire with pipewire-pulse, SDL's PulseAudio driver (the graph and a null sink at 22050 Hz)",
     PipeWireNeeds, "pulse"},
    {SoundServer::PulseAudio, SoundServer::Desktop,
     "Through PulseAudio as a desktop runs it (a null sink at its own rate, resampled)", PulseAudioNeeds, "pulse"},
    {SoundServer::PipeWire, SoundServer::Desktop,
     "Through PipeWire as a desktop runs it, SDL's PipeWire driver (the graph and a null sink at its own rate, "
     "resampled)",
     PipeWireNeeds, "pipewire"},
    {SoundServer::PipeWire, SoundServer::Desktop,
     "Through PipeWire as a desktop runs it, with pipewire-pulse, SDL's PulseAudio driver (resampled)", PipeWireNeeds,
     "pulse"},
};

// Runs measure(through) on a fresh private server of each kind whose title
// holds only (all when empty).
template <typename Measure>
void ThroughEachServer(const std::string& only, Measure measure)
{
    for (const ServerKind& kind : Servers) {
        if (std::string(kind.title).find(only) == std::string::npos)
            continue;
        const std::string folder = (std::filesystem::temp_directory_path() / "heard-timing-server").string();
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
        {
            SoundServer server(kind.kind, kind.setup, folder);
            if (!server.Ready()) {
                std::printf("\n%s: no server (%s are needed), not measured\n", kind.title, kind.needs);
                continue;
            }
            PrintHeader(kind.title);
            std::printf("(the sink at %d Hz)\n", server.SinkRate());
            measure(Through{server, kind.driver});
        }
        std::filesystem::remove_all(folder);
    }
}

// What bare_tone played through the server, and what it printed: it runs
// for seconds with the arguments after them, loaded or not, and without
// real-time priority.
struct BareRecording {
    MixedOutput output;
    OutputTimes times;
    std::string printed;
};

BareRecording RecordBareTone(const Through& through, int buffer, int seconds, const std::vector<std::string>& more,
                             bool loaded, bool dropPrivilege)
{
    const SoundServer& server = through.server;
    const std::string folder = (std::filesystem::temp_directory_path() / "heard-timing-tone").string();
    std::filesystem::create_directories(folder);
    const std::string recording = folder + "/tone.raw";
    std::vector<std::string> command = {BARE_TONE, std::to_string(buffer), std::to_string(seconds)};
    command.insert(command.end(), more.begin(), more.end());
    if (dropPrivilege)
        command.insert(command.begin(), {"/usr/bin/setpriv", "--inh-caps=-sys_nice", "--bounding-set=-sys_nice"});
    command.insert(command.begin(), {"/usr/bin/timeout", "-s", "KILL", std::to_string(2 * seconds + 30)});
    OutputTimes times;
    std::string printed;
    {
        std::optional<BusyCore> busy;
        if (loaded)
            busy.emplace();
        MonitorRecording monitor(server, recording);
        std::vector<std::string> env = server.ClientEnvironment();
        env.push_back(std::string("SDL_AUDIODRIVER=") + through.driver);
        Helper tone(command, env, true);
        while (tone.Running())
            usleep(100 * 1000);
        usleep(100 * 1000);  // the tone's end through the server
        times = monitor.Stop();
        printed = tone.Printed();
    }
    PrintRecorderLosses(times.Losses());
    BareRecording bare{MixedOutput(recording), times, printed};
    std::filesystem::remove_all(folder);
    return bare;
}

// The server's own dropouts, beside the program's: the bare client plays its
// tone through the same server at the same buffer for as long, on the same
// loaded machine without real-time priority. Silence inside the tone, from its
// first frame heard to its last (a millisecond of each edge left to a
// resampler).
int BareClientDropouts(const Through& through, int buffer, int seconds, bool root)
{
    const BareRecording bare = RecordBareTone(through, buffer, seconds, {}, true, root);
    const MixedOutput& output = bare.output;
    const auto loud = [&output](long frame) { return std::abs(output.Level(frame)) > TestBank::LevelOf(0) / 2; };
    long first = 0, last = output.Frames() - 1;
    while (first < output.Frames() && !loud(first))
        ++first;
    while (last > first && !loud(last))
        --last;
    const long edge = through.server.SinkRate() / 1000;
    return first < last ? output.SilentRuns({{first + edge, last - edge}}, SilenceThrough(&through.server)) : -1;
}

// The floor of key to sound: bare_tone's clicks, each at the first frame of
// the next mix after its stamp, through the same server, driver, buffer and
// load as the row's, about as many as its strokes and as far apart.
Figures BareClientClicks(const Through& through, const Row& row, int clicks, int pauseMs, bool root)
{
    const int everyMs = static_cast<int>(CMajor.size()) * row.interval + pauseMs;
    const int seconds = 1 + (clicks * everyMs + 999) / 1000;  // the first click a second in
    const BareRecording bare =
        RecordBareTone(through, row.buffer, seconds, {std::to_string(everyMs)}, row.loaded, root && !row.privileged);
    return Measure(ResampledStrokes(bare.output, through.server.SinkRate()), bare.times, Stamps(bare.printed),
                   row.interval);
}

void MeasureServers(int strokes, bool root, const std::string& only)
{
    ThroughEachServer(only, [&](const Through& through) {
        for (const bool loaded : {false, true})
            for (const int buffer : {128, 256, 512, 1024})
                for (const char* placement : {"mixer", "placed"}) {
                    // Resampled, the mixer's strings are not told apart.
                    if ((loaded || through.server.Resamples()) && std::string(placement) == "mixer")
                        continue;
                    const Row row{placement, buffer, 25, loaded, !loaded || !root};
                    PrintRow(row, Play(row, strokes, &through));
                    if (std::string(placement) == "placed")
                        PrintRow({"bare", buffer, row.interval, loaded, row.privileged},
                                 BareClientClicks(through, row, strokes, 100, root));
                }
    });
}

// Fast strumming for minutes on end, the other core busy, no real-time
// priority: each stroke once the one before has sounded out. Beside it, the
// bare client's tone for as long.
void Soak(int minutes, int buffer, bool root, const std::string& only)
{
    constexpr int Interval = 25, PauseMs = 60;
    const int strokes = minutes * 60 * 1000 / (static_cast<int>(CMajor.size()) * Interval + PauseMs);
    std::printf("soak: %d min, %d strokes per server\n", minutes, strokes);
    // As a desktop runs the servers unless told.
    ThroughEachServer(only.empty() ? "as a desktop" : only, [&](const Through& through) {
        const Row row{"placed", buffer, Interval, true, !root};
        const long long start = Now();
        PrintRow(row, Play(row, strokes, &through, PauseMs));
        // The tone plays as long as the strumming took, start-up and all.
        const int seconds = std::max(1, static_cast<int>((Now() - start + 500'000'000) / 1'000'000'000));
        std::printf("(%.1f min)\n", seconds / 60.0);
        const int bare = BareClientDropouts(through, buffer, seconds, root);
        std::printf("bare client, a tone for %.1f min: %d dropouts\n", seconds / 60.0, bare);
    });
}

// The first stroke after a rest: each stroke comes after nothing has sounded
// for longer than the program waits before its device rests (if it rests),
// through each server as a desktop runs it, at the default buffer.
void AfterRests(int strokes, bool root)
{
    constexpr int RestMs = 7000;
    std::printf("after rests: %d strokes per row, each %d ms after the one before\n", strokes, RestMs);
    ThroughEachServer("as a desktop", [&](const Through& through) {
        for (const bool loaded : {false, true}) {
            const Row row{"placed", TestBank::DefaultBufferFrames, 25, loaded, !loaded || !root};
            PrintRow(row, Play(row, strokes, &through, RestMs));
        }
    });
}

}  // namespace

int main(int argc, char** argv)
{
    const bool root = geteuid() == 0;
    if (argc > 1 && std::string(argv[1]) == "soak") {
        Soak(argc > 2 ? std::max(1, std::atoi(argv[2])) : 10, argc > 3 ? std::atoi(argv[3]) : 256, root,
             argc > 4 ? argv[4] : "");
        return 0;
    }
    if (argc > 1 && std::string(argv[1]) == "rest") {
        AfterRests(argc > 2 ? std::max(1, std::atoi(argv[2])) : 5, root);
        return 0;
    }
    const int strokes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    std::printf("heard_timing: %d strokes of C major per row; times in ms; rt: threads at real-time priority\n",
                strokes);
    if (argc <= 2 || std::string(argv[2]) != "servers")
        MeasureDiskDriver(strokes, root);
    MeasureServers(strokes, root, argc > 3 ? argv[3] : "");
    return 0;
}
