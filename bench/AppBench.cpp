// The built program as a player meets it, on a private X server, with the
// default sound bank, measured from outside, side by side with a bare Qt
// window of the same widgets (bare_window) and with two peers as Debian
// installs them, VMPK and QSynth (left out when they are not installed), in
// the same run:
//   start-up:  process start to its window mapped on the server
//   idle:      CPU time the idle window takes over ten seconds, and memory;
//              also beside the bare window with an SDL audio device open at
//              the program's default buffer (bare_sound_window), the floor
//              of any program that keeps its device open
//   goals:     the program's start-up against QSynth's (no slower), its
//              memory against the bare window's + the bank decoded + 6 MB
//   key:       a key event sent to the window to the play path's first call
//              into SDL, the audio lock of the stroke's cut (stamped by a
//              preloaded probe; the program only)
// Prints its figures; nothing here is a pass or fail.
//
//   app_bench [start-ups of each, 10 unless told] [keys, 30 unless told]
//             [another build's strumkey, measured in turn beside this one]

#include "tests/e2e/TestBank.h"
#include "tests/e2e/X11Process.h"
#include "tests/e2e/X11Program.h"
#include "tests/e2e/X11Server.h"
#include "tests/e2e/X11Windows.h"
#include "tests/tools/BankFiles.h"

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <memory>
#include <set>
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

// Asks the window to close, as its close button does, once any other window
// of the process (a splash screen on its way out) has gone; a question it
// asks then in a window of its own is answered with Return, its default
// button. Gives what happened beyond a plain end with 0: a program still
// there after 30 s is killed.
std::string Close(X11Windows& windows, X11Windows::Id window, X11Process& process)
{
    const auto others = [&] {
        std::vector<X11Windows::Id> shown = windows.OfProcess(process.Pid());
        std::erase(shown, window);
        return shown;
    };
    for (const auto settled = std::chrono::steady_clock::now() + 10s;
         !others().empty() && std::chrono::steady_clock::now() < settled;)
        std::this_thread::sleep_for(10ms);
    windows.RequestClose(window);
    std::string what;
    bool answered = false;
    for (const auto end = std::chrono::steady_clock::now() + 30s; std::chrono::steady_clock::now() < end;) {
        if (const std::optional<int> status = process.Wait(10ms))
            return *status == 0 ? what
                                : what + (what.empty() ? "" : ", then ") + "ended with " + std::to_string(*status);
        if (const std::vector<X11Windows::Id> question = others(); !question.empty() && !answered) {
            what = "asked \"" + windows.Caption(question.front()) + "\" when closed, answered with Return";
            windows.SendKey(question.front(), "Return", true);
            windows.SendKey(question.front(), "Return", false);
            answered = true;
        }
    }
    kill(process.Pid(), SIGKILL);
    process.Wait(5s);
    return what + (what.empty() ? "" : ", then ") + "did not end within 30 s: killed";
}

// What the program keeps of the bank in the folder: every sample file once,
// decoded to the mixer's 16-bit stereo at its rate; in kB, as the memory
// figures are.
double DecodedBankKb(const std::string& folder)
{
    const BankOnDisk bank(folder);
    std::set<std::string> seen;
    double bytes = 0;
    for (std::size_t row = 0; row < bank.rows.size(); ++row) {
        Wav wav;
        std::string why;
        if (!seen.insert(bank.rows[row].second).second || !bank.Sample(row, wav, why) || wav.sampleRate <= 0)
            continue;
        bytes += 4.0 * static_cast<double>(wav.samples.size()) * TestBank::Rate / wav.sampleRate;
    }
    return bytes / 1024.0;
}

// A program to measure: started afresh for every run (its audio, if it
// makes any, in a file of that name), its window found by its caption.
struct Subject {
    std::string label;
    std::string caption;
    std::function<std::unique_ptr<X11Process>(const std::string& audio)> start;
    std::string command{};  // a peer's command line, as printed; empty for our own
    std::vector<double> startMs{};
    long rssKb = 0;
    double idlePercent = 0;
    bool idleMeasured = false;
    // A peer may fail to start without ending the bench.
    bool Peer() const { return !command.empty(); }
    int starts = 0;
    std::map<std::string, int> notes{};  // what went otherwise than planned, how often
};

// The program or a bare window, started as the end-to-end tests start them.
Subject OwnSubject(const std::string& label, const X11Program& program, const std::vector<std::string>& environment)
{
    return {label, Caption, [&program, environment](const std::string& audio) {
                // The program's first run: no settings file.
                unlink(program.PathOf("strumkey.ini").c_str());
                unlink(program.AudioPath(audio).c_str());
                return program.Start(environment, audio);
            }};
}

// A peer where Debian installs it, with a home of its own made afresh for
// every start: each start is a first run, as the program's are, and nothing
// of the user's is read or written. Its temp folder too is its own, so that
// a copy the user may have running is never asked to take over instead.
std::unique_ptr<X11Process> StartPeer(const X11Program& peer, const std::vector<std::string>& arguments,
                                      const std::vector<std::string>& environment)
{
    const std::string home = peer.AudioPath("home");
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
    std::filesystem::create_directories(home + "/config", ignored);
    std::filesystem::permissions(home, std::filesystem::perms::owner_all, ignored);
    X11Process::Options options;
    options.args = peer.Command(arguments);
    options.env = environment;
    options.env.insert(options.env.end(), {"HOME=" + home, "XDG_CONFIG_HOME=" + home + "/config",
                                           "XDG_RUNTIME_DIR=" + home, "TMPDIR=" + home, "QT_QPA_PLATFORM=xcb"});
    options.unset = {"WAYLAND_DISPLAY", "SESSION_MANAGER"};
    options.output = peer.AudioPath(peer.Name() + ".log");
    options.workingDirectory = "/";
    return std::make_unique<X11Process>(options);
}

// A peer started with arguments given the path of its audio file.
Subject PeerSubject(const std::string& label, const std::string& caption, const X11Program& peer,
                    const std::function<std::vector<std::string>(const std::string& audioPath)>& arguments,
                    const std::vector<std::string>& environment)
{
    Subject subject{label, caption, [&peer, arguments, environment](const std::string& audio) {
                        unlink(peer.AudioPath(audio).c_str());
                        return StartPeer(peer, arguments(peer.AudioPath(audio)), environment);
                    }};
    for (const std::string& word : peer.Command(arguments("<audio file>")))
        subject.command += (subject.command.empty() ? "" : " ") + word;
    return subject;
}

bool Installed(const X11Program& peer)
{
    if (std::filesystem::exists(peer.Executable()))
        return true;
    std::printf("app_bench: %s is not installed (scripts/install-deps.sh bench): left out\n",
                peer.Executable().c_str());
    return false;
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
    // Another build of the program (its bank beside it), which takes turns
    // with this one: before and after a change, side by side in one run.
    std::optional<X11Program> given;
    if (argc > 3)
        given.emplace(argv[3]);
    const X11Program bare(ProgramRunner{BARE_WINDOW_EXE, {}, {}}, X11Program::InPlace{});
    const X11Program bareSound(
        ProgramRunner{
            BARE_SOUND_WINDOW_EXE, {}, {"BARE_WINDOW_AUDIO_FRAMES=" + std::to_string(TestBank::DefaultBufferFrames)}},
        X11Program::InPlace{});
    if (!windows.Connected() || !program.Ready() || !bare.Ready() || !bareSound.Ready() || (given && !given->Ready())) {
        std::printf("app_bench: cannot reach the X server or copy %s%s%s\n", STRUMKEY_EXE, given ? " or " : "",
                    given ? argv[3] : "");
        return 1;
    }
    std::printf("app_bench: %s on Xvfb %s, default bank, SDL disk audio; beside %s\n", STRUMKEY_EXE,
                server.Display().c_str(), BARE_WINDOW_EXE);

    const std::vector<std::string> environment = server.Environment();
    std::vector<Subject> subjects = {OwnSubject("strumkey", program, environment),
                                     OwnSubject("bare window", bare, environment),
                                     OwnSubject("+ open device", bareSound, environment)};
    if (given) {
        std::printf("beside %s\n", argv[3]);
        subjects.push_back(OwnSubject("given build", *given, environment));
    }
    // VMPK as it comes: its synth finds no sound server here and stays
    // silent, saying so only in its log; it shows a splash screen first, and
    // its start-up counts to its main window. QSynth's fluidsynth plays to a
    // file at a sound card's pace, there being no sound card or server here,
    // and takes no MIDI input, there being no ALSA sequencer either: else it
    // stops at an error box for each. It loads no SoundFont unless told.
    const X11Program vmpk(ProgramRunner{"/usr/bin/vmpk", {}, {}}, X11Program::InPlace{});
    const X11Program qsynth(ProgramRunner{"/usr/bin/qsynth", {}, {}}, X11Program::InPlace{});
    if (Installed(vmpk))
        subjects.push_back(PeerSubject(
            "VMPK", "Virtual MIDI Piano Keyboard", vmpk, [](const std::string&) { return std::vector<std::string>(); },
            environment));
    if (Installed(qsynth))
        subjects.push_back(PeerSubject(
            "QSynth", "Qsynth1 \u2014 Qsynth", qsynth,
            [](const std::string& audioPath) {
                return std::vector<std::string>{"-n", "-a", "file", "-o", "audio.file.name=" + audioPath};
            },
            environment));
    const auto close = [&](Subject& subject, X11Windows::Id window, X11Process& process) {
        if (const std::string what = Close(windows, window, process); !what.empty())
            ++subject.notes[what];
    };
    // A start that shows no window ends the bench, unless it is a peer's: that
    // start is left out, with a note of what it showed instead.
    const auto noWindow = [&](Subject& subject, pid_t pid, const std::string& start) {
        if (!subject.Peer()) {
            std::printf("app_bench: no window of %s on %s; the server holds:\n%s", subject.label.c_str(), start.c_str(),
                        windows.Describe().c_str());
            return true;
        }
        std::string shown;
        for (const X11Windows::Id window : windows.OfProcess(pid))
            shown += (shown.empty() ? "" : ", ") + ("\"" + windows.Caption(window) + "\"");
        ++subject.notes["showed no main window within 60 s (" + (shown.empty() ? "none at all" : "only " + shown) +
                        "): stopped, left out"];
        return false;
    };
    for (const Subject& subject : subjects)
        if (subject.Peer())
            std::printf("app_bench: beside %s: %s, in a home of its own made afresh for every start\n",
                        subject.label.c_str(), subject.command.c_str());
    // Start-up: process start to window mapped, all of them taking turns.
    for (int run = 0; run < startRuns; ++run)
        for (Subject& subject : subjects) {
            const auto begin = std::chrono::steady_clock::now();
            std::unique_ptr<X11Process> process = subject.start("start.raw");
            ++subject.starts;
            const X11Windows::Id window = windows.WaitFor(subject.caption, process->Pid(), 60s);
            const auto shown = std::chrono::steady_clock::now();
            if (window == 0) {
                if (noWindow(subject, process->Pid(), "run " + std::to_string(run)))
                    return 1;
                continue;
            }
            subject.startMs.push_back(std::chrono::duration<double, std::milli>(shown - begin).count());
            close(subject, window, *process);
        }
    // Idle: resident memory once start-up has settled, and the CPU time of ten
    // idle seconds.
    for (Subject& subject : subjects) {
        std::unique_ptr<X11Process> process = subject.start("idle.raw");
        ++subject.starts;
        const X11Windows::Id window = windows.WaitFor(subject.caption, process->Pid(), 60s);
        if (window == 0) {
            if (noWindow(subject, process->Pid(), "the idle run"))
                return 1;
            continue;
        }
        std::this_thread::sleep_for(1s);
        // A box beside the window (an error, a first-run question) would make
        // this no fair measure.
        if (const std::size_t shown = windows.OfProcess(process->Pid()).size(); shown > 1)
            std::printf("app_bench: %s shows %zu windows besides its main one\n", subject.label.c_str(), shown - 1);
        subject.rssKb = StatusKb(process->Pid(), "VmRSS");
        const long long cpuBefore = CpuNanoseconds(process->Pid());
        const long long idleBegin = MonotonicNanoseconds();
        std::this_thread::sleep_for(10s);
        const long long cpu = CpuNanoseconds(process->Pid()) - cpuBefore;
        subject.idlePercent =
            100.0 * static_cast<double>(cpu) / static_cast<double>(MonotonicNanoseconds() - idleBegin);
        subject.idleMeasured = true;
        close(subject, window, *process);
    }
    std::printf("%-13s %28s %16s %14s\n", "", "start-up to window mapped", "resident memory", "idle CPU");
    for (const Subject& subject : subjects) {
        const Summary start = Summarise(subject.startMs);
        std::printf("%-13s median %6.1f ms (%5.1f-%5.1f)", subject.label.c_str(), start.median, start.low, start.high);
        if (subject.idleMeasured)
            std::printf(" %13.1f MB %12.3f %%\n", static_cast<double>(subject.rssKb) / 1024.0, subject.idlePercent);
        else
            std::printf(" %16s %14s\n", "-", "-");
    }
    for (const Subject& subject : subjects)
        for (const auto& [what, times] : subject.notes)
            std::printf("note: %s, %d of %d starts: %s\n", subject.label.c_str(), times, subject.starts, what.c_str());
    const Subject& mine = subjects[0];
    const Subject& yardstick = subjects[1];
    const double mineMs = Summarise(mine.startMs).median;
    std::printf("strumkey against the bare window: start-up %.2fx, memory %+.1f MB (%d runs each)\n",
                mineMs / Summarise(yardstick.startMs).median,
                static_cast<double>(mine.rssKb - yardstick.rssKb) / 1024.0, startRuns);
    const auto qsynthSubject = std::find_if(subjects.begin(), subjects.end(),
                                            [](const Subject& subject) { return subject.label == "QSynth"; });
    if (qsynthSubject != subjects.end() && !qsynthSubject->startMs.empty()) {
        const double peerMs = Summarise(qsynthSubject->startMs).median;
        std::printf("strumkey against QSynth: start-up %.1f against %.1f ms, %.2fx (goal: no slower)\n", mineMs, peerMs,
                    mineMs / peerMs);
    }
    const double bankKb = DecodedBankKb(std::filesystem::path(STRUMKEY_EXE).parent_path().string());
    const double budgetKb = static_cast<double>(yardstick.rssKb) + bankKb + 6 * 1024.0;
    std::printf(
        "strumkey's memory against the bare window + the bank decoded (%.1f MB, %.1f million bytes) + 6 MB: %.1f "
        "against %.1f MB, %+.1f MB (goal: no more)\n",
        bankKb / 1024.0, bankKb * 1024.0 / 1e6, static_cast<double>(mine.rssKb) / 1024.0, budgetKb / 1024.0,
        (static_cast<double>(mine.rssKb) - budgetKb) / 1024.0);

    // One more run of the program, with the probe, for key latency.
    std::vector<std::string> probed = environment;
    const std::string probe = program.PathOf("probe.txt");
    probed.push_back("LD_PRELOAD=" APP_BENCH_PROBE);
    probed.push_back("STRUMKEY_BENCH_PROBE=" + probe);
    // A sanitizer build wants its runtime first; the probe comes before it.
    probed.push_back("ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0");
    std::unique_ptr<X11Process> process = program.Start(probed, "keys.raw");
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
    if (Stamps(probe).empty())
        std::printf(
            "key sent to the stroke's first audio lock: not measured, the probe saw no audio lock at all "
            "(an SDL linked into the program is out of a preloaded probe's reach)\n");
    else
        std::printf(
            "key sent to the stroke's first audio lock: median %.0f us, p90 %.0f, min %.0f, max %.0f (%zu keys, %d "
            "unheard)\n",
            key.median, key.p90, key.low, key.high, keyUs.size(), lost);
    std::printf("memory after playing: VmRSS %ld kB, VmHWM %ld kB\n", StatusKb(pid, "VmRSS"), StatusKb(pid, "VmHWM"));
    if (const std::string problem = Close(windows, window, *process); !problem.empty())
        std::printf("app_bench: the measured run %s\n", problem.c_str());
    return 0;
}
