// The built program as a player meets it, on a private X server, with the
// default sound bank, measured from outside, side by side with a bare Qt
// window of the same widgets (bare_window) in the same run:
//   start-up:  process start to its window mapped on the server
//   idle:      CPU time the idle window takes over ten seconds, and memory;
//              also beside the bare window with an SDL audio device open at
//              the program's default buffer (bare_sound_window), the floor
//              of any program that keeps its device open
//   key:       a key event sent to the window to the play path's first call
//              into SDL, the audio lock of the stroke's cut (stamped by a
//              preloaded probe; the program only)
// Prints its figures; nothing here is a pass or fail.
//
//   app_bench [start-ups of each, 10 unless told] [keys, 30 unless told]

#include "tests/e2e/TestBank.h"
#include "tests/e2e/X11Process.h"
#include "tests/e2e/X11Program.h"
#include "tests/e2e/X11Server.h"
#include "tests/e2e/X11Windows.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

const std::string Caption = "Strumkey";

long long MonotonicNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

struct Summary {
    double median = 0, low = 0, high = 0, p90 = 0;
};

Summary Summarise(std::vector<double> values)
{
    Summary summary;
    if (values.empty())
        return summary;
    std::sort(values.begin(), values.end());
    summary.low = values.front();
    summary.high = values.back();
    summary.median = values[values.size() / 2];
    summary.p90 = values[std::min(values.size() - 1, values.size() * 9 / 10)];
    return summary;
}

// CPU time of a process so far, in nanoseconds: the sum over its threads of
// the scheduler's own count (finer than the clock ticks of /proc/<pid>/stat).
long long CpuNanoseconds(pid_t pid)
{
    long long total = 0;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream in(task.path() / "schedstat");
        long long onCpu = 0;
        if (in >> onCpu)
            total += onCpu;
    }
    return total;
}

// A "VmRSS"-style line of /proc/<pid>/status, in B.
long StatusKb(pid_t pid, const std::string& key)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key + ":", 0) == 0)
            return std::stol(line.substr(key.size() + 1));
    return -1;
}

std::vector<long long> Stamps(const std::string& path)
{
    std::vector<long long> stamps;
    std::ifstream in(path);
    long long stamp;
    while (in >> stamp)
        stamps.push_back(stamp);
    return stamps;
}

bool Close(X11Windows& windows, X11Windows::Id window, X11Process& process)
{
    windows.RequestClose(window);
    return process.Wait(30s).value_or(-1) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const int startRuns = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const int keyTrials = argc > 2 ? std::max(1, std::atoi(argv[2])) : 30;
    if (!X11Server::Available()) {
        std::printf("app_bench: Xvfb is not installed; nothing measured\n");
        return 1;
    }
    X11Server server;
    if (!server.Running()) {
        std::printf("app_bench: %s\n", server.Problem().c_str());
        return 1;
    }
    X11Windows windows(server.Display());
    X11Program program(STRUMKEY_EXE);
    const X11Program bare(ProgramRunner{BARE_WINDOW_EXE, {}, {}}, X11Program::InPlace{});
    const X11Program bareSound(
        ProgramRunner{
            BARE_SOUND_WINDOW_EXE, {}, {"BARE_WINDOW_AUDIO_FRAMES=" + std::to_string(TestBank::LinuxBufferFrames)}},
        X11Program::InPlace{});
    if (!windows.Connected() || !program.Ready() || !bare.Ready() || !bareSound.Ready()) {
        std::printf("app_bench: cannot reach the X server or copy %s\n", STRUMKEY_EXE);
        return 1;
    }
    std::printf("app_bench: %s on Xvfb %s, default bank, SDL disk audio; beside %s\n", STRUMKEY_EXE,
                server.Display().c_str(), BARE_WINDOW_EXE);

    struct Subject {
        const char* label;
        const X11Program& program;
        std::vector<double> startMs;
        long rssKb = 0;
        double idlePercent = 0;
    };
    Subject subjects[] = {{"strumkey", program, {}}, {"bare window", bare, {}}, {"+ open device", bareSound, {}}};
    // Start-up: process start to window mapped, all three taking turns; the
    // program's first runs (no settings file).
    for (int run = 0; run < startRuns; ++run)
        for (Subject& subject : subjects) {
            unlink(subject.program.PathOf("strumkey.ini").c_str());
            const auto begin = std::chrono::steady_clock::now();
            std::unique_ptr<X11Process> process = subject.program.Start(server.Environment(), "start.raw");
            const X11Windows::Id window = windows.WaitFor(Caption, process->Pid(), 60s);
            const auto shown = std::chrono::steady_clock::now();
            if (window == 0) {
                std::printf("app_bench: no window of %s on run %d\n", subject.label, run);
                return 1;
            }
            subject.startMs.push_back(std::chrono::duration<double, std::milli>(shown - begin).count());
            if (!Close(windows, window, *process))
                std::printf("app_bench: run %d of %s did not end cleanly\n", run, subject.label);
            unlink(subject.program.PathOf("start.raw").c_str());
        }
    // Idle: resident memory once start-up has settled, and the CPU time of ten
    // idle seconds.
    for (Subject& subject : subjects) {
        std::unique_ptr<X11Process> process = subject.program.Start(server.Environment(), "idle.raw");
        const X11Windows::Id window = windows.WaitFor(Caption, process->Pid(), 60s);
        if (window == 0) {
            std::printf("app_bench: no window of %s for the idle run\n", subject.label);
            return 1;
        }
        std::this_thread::sleep_for(1s);
        subject.rssKb = StatusKb(process->Pid(), "VmRSS");
        const long long cpuBefore = CpuNanoseconds(process->Pid());
        const long long idleBegin = MonotonicNanoseconds();
        std::this_thread::sleep_for(10s);
        const long long cpu = CpuNanoseconds(process->Pid()) - cpuBefore;
        subject.idlePercent =
            100.0 * static_cast<double>(cpu) / static_cast<double>(MonotonicNanoseconds() - idleBegin);
        Close(windows, window, *process);
    }
    std::printf("%-13s %28s %16s %14s\n", "", "start-up to window mapped", "resident memory", "idle CPU");
    for (const Subject& subject : subjects) {
        const Summary start = Summarise(subject.startMs);
        std::printf("%-13s median %6.1f ms (%5.1f-%5.1f) %13.1f MB %12.3f %%\n", subject.label, start.median, start.low,
                    start.high, static_cast<double>(subject.rssKb) / 1024.0, subject.idlePercent);
    }
    const Summary mine = Summarise(subjects[0].startMs), yardstick = Summarise(subjects[1].startMs);
    std::printf("strumkey against the bare window: start-up %.2fx, memory %+.1f MB (%d runs each)\n",
                mine.median / yardstick.median, static_cast<double>(subjects[0].rssKb - subjects[1].rssKb) / 1024.0,
                startRuns);

    // One more run of the program, with the probe, for key latency.
    std::vector<std::string> environment = server.Environment();
    const std::string probe = program.PathOf("probe.txt");
    environment.push_back("LD_PRELOAD=" APP_BENCH_PROBE);
    environment.push_back("STRUMKEY_BENCH_PROBE=" + probe);
    // A sanitizer build wants its runtime first; the probe comes before it.
    environment.push_back("ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0");
    std::unique_ptr<X11Process> process = program.Start(environment, "keys.raw");
    const X11Windows::Id window = windows.WaitFor(Caption, process->Pid(), 60s);
    if (window == 0) {
        std::printf("app_bench: no window for the key run\n");
        return 1;
    }
    const pid_t pid = process->Pid();

    // Key to mixer: "c" strums C major; its first sounding string is started
    // while the key is handled, the others by timers 25 ms apart.
    windows.Focus(window);
    std::this_thread::sleep_for(200ms);
    std::vector<double> keyUs;
    int lost = 0;
    for (int trial = 0; trial < keyTrials; ++trial) {
        const std::size_t seen = Stamps(probe).size();
        const long long sent = MonotonicNanoseconds();
        windows.SendKey(window, "c", true);
        long long first = 0;
        const long long limit = sent + 3000000000LL;
        while (first == 0 && MonotonicNanoseconds() < limit) {
            const std::vector<long long> stamps = Stamps(probe);
            for (std::size_t i = seen; i < stamps.size() && first == 0; ++i)
                if (stamps[i] >= sent)
                    first = stamps[i];
            if (first == 0)
                std::this_thread::sleep_for(200us);
        }
        windows.SendKey(window, "c", false);
        if (first == 0)
            ++lost;
        else
            keyUs.push_back(static_cast<double>(first - sent) / 1000.0);
        std::this_thread::sleep_for(300ms);  // the stroke's six strings are done by then
    }
    const Summary key = Summarise(keyUs);
    std::printf(
        "key sent to the stroke's first audio lock: median %.0f us, p90 %.0f, min %.0f, max %.0f (%zu keys, %d "
        "unheard)\n",
        key.median, key.p90, key.low, key.high, keyUs.size(), lost);
    std::printf("memory after playing: VmRSS %ld kB, VmHWM %ld kB\n", StatusKb(pid, "VmRSS"), StatusKb(pid, "VmHWM"));
    if (!Close(windows, window, *process))
        std::printf("app_bench: the measured run did not end cleanly\n");
    return 0;
}
