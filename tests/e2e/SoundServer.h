#pragma once
// A private sound server for the benchmarks that listen to what is played
// (heard_timing, wine_timing): PulseAudio or PipeWire with a null sink, its
// monitor recorded with parec, each frame of the recording mapped to the
// CLOCK_MONOTONIC time it was heard; and the helpers they share.

#include "tests/e2e/TestBank.h"
#include "tests/support/ProcessRunner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <numeric>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

constexpr int FrameBytes = 4;  // 16-bit stereo

inline long long Now()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

// ---- Processes ------------------------------------------------------------

// A helper program, its standard output on a pipe when asked; killed and
// waited for when it goes.
class Helper {
public:
    Helper(const std::vector<std::string>& args, const std::vector<std::string>& env, bool pipeOut)
    {
        std::vector<std::string> arguments = args;
        std::vector<std::string> environment = EnvironmentWith(env);
        const std::vector<char*> argv = SpawnArray(arguments);
        const std::vector<char*> envp = SpawnArray(environment);
        int outPipe[2] = {-1, -1};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const int quiet = open("/dev/null", O_WRONLY | O_CLOEXEC);
        posix_spawn_file_actions_adddup2(&actions, quiet, 2);
        if (pipeOut && pipe2(outPipe, O_CLOEXEC) == 0)
            posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
        else
            posix_spawn_file_actions_adddup2(&actions, quiet, 1);
        if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(quiet);
        if (outPipe[1] >= 0)
            close(outPipe[1]);
        out = outPipe[0];
    }
    ~Helper()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        if (out >= 0)
            close(out);
    }
    Helper(const Helper&) = delete;
    Helper& operator=(const Helper&) = delete;

    bool Running()
    {
        if (pid > 0 && waitpid(pid, nullptr, WNOHANG) != 0)
            pid = -1;  // ended, and reaped
        return pid > 0;
    }
    int Out() const { return out; }
    // Everything it printed (on the pipe), read to its end: once it has ended.
    std::string Printed() const
    {
        std::string text;
        char chunk[4096];
        for (ssize_t got; out >= 0 && (got = read(out, chunk, sizeof chunk)) > 0;)
            text.append(chunk, static_cast<std::size_t>(got));
        return text;
    }

private:
    pid_t pid = -1;
    int out = -1;
};

// The times of the "stamp <ns>" lines that a helper printed.
inline std::vector<long long> Stamps(const std::string& printed)
{
    std::vector<long long> stamps;
    std::istringstream lines(printed);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("stamp ", 0) == 0)
            stamps.push_back(std::stoll(line.substr(6)));
    return stamps;
}

inline bool Succeeds(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// What a command prints on its standard output.
inline std::string Output(const std::string& command)
{
    std::string text;
    if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            text.append(buffer, got);
        pclose(pipe);
    }
    return text;
}

// ---- When each output frame was heard ---------------------------------------

// The output as it grew: at time ns it had taken frames. A device plays what
// it takes from its first frame on, at its pace (the disk driver, whose file
// is written a mix at a time); a recording holds what was heard up to the
// moment it arrives (the sound server's monitor).
class OutputTimes {
public:
    enum Kind { Played, Recorded };
    explicit OutputTimes(Kind kind = Played, double rate = TestBank::Rate) : kind(kind), rate(rate) {}

    void Add(long long ns, long frames) { records.push_back({ns, frames}); }

    // Recorded: where the recorder lost frames (it read too late and the
    // server dropped them), each the seconds into the recording to the gap
    // and the ms lost.
    // A fragment never arrives before its frames were played, so the lower
    // envelope of arrival minus frames' duration only steps up at a loss;
    // a step too near the end may be reads that came late, and is left out.
    std::vector<std::pair<double, double>> Losses(double atLeastMs = 5) const
    {
        std::vector<std::pair<double, double>> losses;
        if (kind != Recorded || records.empty())
            return losses;
        std::vector<double> lowest(records.size());
        double low = INFINITY;
        for (std::size_t i = records.size(); i-- > 0;) {
            low =
                std::min(low, static_cast<double>(records[i].ns) - static_cast<double>(records[i].frames) * 1e9 / rate);
            lowest[i] = low;
        }
        constexpr std::size_t Confirming = 3;  // fragments after a loss
        for (std::size_t i = 1; i + Confirming <= records.size(); ++i)
            if (lowest[i] - lowest[i - 1] >= atLeastMs * 1e6)
                losses.push_back(
                    {static_cast<double>(records[i - 1].frames) / rate, (lowest[i] - lowest[i - 1]) / 1e6});
        return losses;
    }

    double HeardAt(long frame) const
    {
        const auto covering =
            std::find_if(records.begin(), records.end(), [frame](const Record& r) { return r.frames > frame; });
        if (covering == records.end())
            return NAN;
        const long first = covering == records.begin() ? 0 : std::prev(covering)->frames;
        const long from = kind == Played ? first : covering->frames;
        return static_cast<double>(covering->ns) + static_cast<double>(frame - from) * 1e9 / Pace();
    }

private:
    struct Record {
        long long ns;
        long frames;
    };
    // Frames per second as the output took them.
    double Pace() const
    {
        if (records.size() < 2)
            return rate;
        const Record& first = records.front();
        const Record& last = records.back();
        return static_cast<double>(last.frames - first.frames) * 1e9 / static_cast<double>(last.ns - first.ns);
    }
    Kind kind;
    double rate;  // frames per second, nominal
    std::vector<Record> records;
};

// A private sound server with one null sink "bench": PulseAudio itself, or
// PipeWire with its session manager and its PulseAudio service (as Debian
// 12's desktop plays), on a session bus of its own. Exact: the sink, and
// PipeWire's graph, at the test bank's rate, so that what is played reaches
// the monitor unchanged; ExactDoubled: at twice that rate, for a program
// that writes each frame twice. Desktop: nothing forced, as a player's desktop runs
// it: the sink at the server's own rate (PipeWire's graph at 48 kHz,
// PulseAudio's default 44.1 kHz), the program's stream resampled on the way.
class SoundServer {
public:
    enum Kind { PulseAudio, PipeWire };
    enum Setup { Exact, ExactDoubled, Desktop };

    SoundServer(Kind kind, Setup setup, const std::string& folder) : folder(folder)
    {
        const std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + folder, "HOME=" + folder,
                                              "PULSE_RUNTIME_PATH=" + folder + "/pulse",
                                              "DBUS_SESSION_BUS_ADDRESS=unix:path=" + folder + "/bus"};
        const int rate = setup == Exact ? TestBank::Rate : setup == ExactDoubled ? 2 * TestBank::Rate : 0;
        const std::string sink =
            "module-null-sink sink_name=bench channels=2" + (rate > 0 ? " rate=" + std::to_string(rate) : "");
        if (kind == PulseAudio) {
            socket = folder + "/native";
            Start(
                {"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "--disable-shm=yes",
                 "-L", sink, "-L", "module-native-protocol-unix auth-anonymous=1 socket=" + socket},
                env);
            WaitUntil("pactl --server=" + Address() + " info");
        } else {
            socket = folder + "/pulse/native";
            Start({"dbus-daemon", "--session", "--address=unix:path=" + folder + "/bus", "--nofork", "--nopidfile"},
                  env);
            WaitUntil("test -S " + folder + "/bus");
            Start({"pipewire"}, env);
            WaitUntil("test -S " + folder + "/pipewire-0");
            Start({"wireplumber"}, env);
            Start({"pipewire-pulse"}, env);
            WaitUntil("pactl --server=" + Address() + " info");
            if (rate > 0)
                Succeeds("XDG_RUNTIME_DIR=" + folder + " pw-metadata -n settings 0 clock.force-rate " +
                         std::to_string(rate));
            Succeeds("pactl --server=" + Address() + " load-module " + sink);
            Succeeds("pactl --server=" + Address() + " set-default-sink bench");
        }
        sinkRate = SinkRateOf(Output("pactl --server=" + Address() + " list short sinks"));
    }
    std::string Address() const { return "unix:" + socket; }
    // What a client needs to find this server and no other: its PulseAudio
    // socket, and where PipeWire's is (SDL tries PipeWire first).
    std::vector<std::string> ClientEnvironment() const
    {
        return {"PULSE_SERVER=" + Address(), "PIPEWIRE_RUNTIME_DIR=" + folder};
    }
    // The rate the sink runs at, and so its monitor; 0 before it runs.
    int SinkRate() const { return sinkRate; }
    // Whether the program's stream is resampled on its way to the sink.
    bool Resamples() const { return sinkRate != TestBank::Rate; }
    bool Ready()
    {
        for (auto& process : processes)
            if (!process->Running())
                return false;
        return sinkRate > 0;
    }

private:
    void Start(const std::vector<std::string>& args, const std::vector<std::string>& env)
    {
        processes.push_back(std::make_unique<Helper>(args, env, false));
    }
    static void WaitUntil(const std::string& check)
    {
        for (int tries = 0; tries < 100 && !Succeeds(check); ++tries)
            usleep(50 * 1000);
    }
    // The "48000Hz" of the sink's line in pactl's short list.
    static int SinkRateOf(const std::string& sinks)
    {
        std::istringstream lines(sinks);
        for (std::string line; std::getline(lines, line);) {
            std::istringstream fields(line);
            std::vector<std::string> words{std::istream_iterator<std::string>(fields), {}};
            if (words.size() < 2 || words[1] != "bench")
                continue;
            for (const std::string& word : words)
                if (word.size() > 2 && word.ends_with("Hz"))
                    return std::atoi(word.c_str());
        }
        return 0;
    }
    std::string folder, socket;
    int sinkRate = 0;
    struct Processes : std::vector<std::unique_ptr<Helper>> {
        ~Processes()
        {
            while (!empty())
                pop_back();  // the last started goes first
        }
    } processes;
};

// Records the server's monitor into a raw file, as fast as it comes. It asks
// for 50 ms fragments, more than the program's own stream asks for at any
// buffer measured: a recorder that asked for less would set the server's
// cycle (PipeWire runs its graph at the smallest latency any client asks
// for), and so measure a server faster than a player's desktop runs. Each
// fragment's last frame is at most one server cycle old when it arrives,
// which the times take as heard.
class MonitorRecording {
public:
    MonitorRecording(const SoundServer& server, const std::string& file)
        : parec({"parec", "--server=" + server.Address(), "--device=bench.monitor", "--format=s16le",
                 "--rate=" + std::to_string(server.SinkRate()), "--channels=2", "--raw", "--latency-msec=50"},
                {}, true),
          out(file, std::ios::binary),
          times(OutputTimes::Recorded, server.SinkRate())
    {
        thread = std::thread([this] { Run(); });
        // A client may take a while to connect (it looks for a session bus).
        for (int waited = 0; waited < 10000 && !started; waited += 10)
            usleep(10 * 1000);
    }
    bool Started() const { return started; }
    ~MonitorRecording() { Stop(); }
    OutputTimes Stop()
    {
        stop = true;
        if (thread.joinable())
            thread.join();
        out.flush();
        return times;
    }

private:
    void Run()
    {
        long bytes = 0;
        while (!stop) {
            pollfd ready{parec.Out(), POLLIN, 0};
            if (poll(&ready, 1, 20) <= 0)
                continue;
            char data[8192];
            const ssize_t got = read(parec.Out(), data, sizeof data);
            const long long now = Now();
            if (got <= 0)
                break;
            started = true;
            out.write(data, got);
            bytes += got;
            times.Add(now, bytes / FrameBytes);
        }
    }
    Helper parec;
    std::ofstream out;
    std::atomic<bool> stop{false}, started{false};
    OutputTimes times;
    std::thread thread;
};

// ---- Figures ----------------------------------------------------------------

// Each key's latency in ms: from the time it was sent to the first rise heard after
// it and before the next key; keys that nothing answered are left out.
inline std::vector<double> KeyLatencies(const std::vector<long long>& keys, const std::vector<long>& rises,
                                        const OutputTimes& times)
{
    std::vector<double> latencies;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const long long next = i + 1 < keys.size() ? keys[i + 1] : std::numeric_limits<long long>::max();
        for (const long rise : rises) {
            const double heard = times.HeardAt(rise);
            if (std::isnan(heard) || heard <= static_cast<double>(keys[i]))
                continue;
            if (heard < static_cast<double>(next))
                latencies.push_back((heard - static_cast<double>(keys[i])) / 1e6);
            break;
        }
    }
    return latencies;
}

inline double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(p * static_cast<double>(values.size())))];
}

inline double Mean(const std::vector<double>& values)
{
    return values.empty() ? NAN
                          : std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
}
