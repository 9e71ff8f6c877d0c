// How late the multimedia timers fire: actual minus requested firing time of
// one-shot timers, idle and with the other cores kept busy, beside a plain
// thread sleeping with std::this_thread::sleep_until as the baseline (once
// with the default timer slack of 50 us, once with the timer thread's 1 us).
// Prints p50 / p99 / max lateness in microseconds per delay, and the load
// average at the start: on a shared machine "idle" is only as idle as that.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include "platform/Win32.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Shot {
    std::atomic<bool> done{false};
    Clock::time_point fired;
};

void CALLBACK Fire(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR)
{
    auto* shot = reinterpret_cast<Shot*>(user);
    shot->fired = Clock::now();
    shot->done.store(true);
    shot->done.notify_one();
}

double Microseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

// Lateness in microseconds of samples one-shot timers, one after another.
std::vector<double> TimerLateness(UINT delay, int samples)
{
    std::vector<double> lateness;
    lateness.reserve(samples);
    for (int i = 0; i < samples; ++i) {
        Shot shot;
        Clock::time_point armed = Clock::now();
        if (timeSetEvent(delay, 1, Fire, reinterpret_cast<DWORD_PTR>(&shot), TIME_ONESHOT) == 0) {
            std::fprintf(stderr, "timeSetEvent failed\n");
            break;
        }
        shot.done.wait(false);
        lateness.push_back(Microseconds(shot.fired - (armed + std::chrono::milliseconds(delay))));
    }
    return lateness;
}

// The same measurement with a thread of its own that sleeps until each
// deadline; slack 0 keeps the default timer slack.
std::vector<double> SleepLateness(UINT delay, int samples, unsigned long slackNs)
{
    std::vector<double> lateness;
    lateness.reserve(samples);
    std::thread sleeper([&] {
        if (slackNs != 0)
            prctl(PR_SET_TIMERSLACK, slackNs, 0UL, 0UL, 0UL);
        for (int i = 0; i < samples; ++i) {
            Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(delay);
            std::this_thread::sleep_until(deadline);
            lateness.push_back(Microseconds(Clock::now() - deadline));
        }
    });
    sleeper.join();
    return lateness;
}

struct Figures {
    double p50 = 0, p99 = 0, max = 0;
    int early = 0;
};

Figures Summarize(std::vector<double> values)
{
    Figures figures;
    if (values.empty())
        return figures;
    std::sort(values.begin(), values.end());
    auto at = [&](double q) {
        std::size_t rank = static_cast<std::size_t>(std::ceil(q * values.size()));
        return values[std::min(values.size() - 1, rank == 0 ? 0 : rank - 1)];
    };
    figures.p50 = at(0.50);
    figures.p99 = at(0.99);
    figures.max = values.back();
    figures.early = static_cast<int>(std::count_if(values.begin(), values.end(), [](double v) { return v < 0; }));
    return figures;
}

// Spinning threads on every core but one, for as long as the object lives.
class BusyCores {
public:
    explicit BusyCores(bool on)
    {
        if (!on)
            return;
        unsigned count = std::max(1u, std::thread::hardware_concurrency() - 1);
        for (unsigned i = 0; i < count; ++i)
            spinners.emplace_back([this] {
                while (!stop.load(std::memory_order_relaxed)) {
                }
            });
    }
    ~BusyCores()
    {
        stop = true;
        for (std::thread& spinner : spinners)
            spinner.join();
    }
    BusyCores(const BusyCores&) = delete;
    BusyCores& operator=(const BusyCores&) = delete;

private:
    std::atomic<bool> stop{false};
    std::vector<std::thread> spinners;
};

}  // namespace

// What the timer thread runs at, seen from a callback: its priority is part
// of the figures, the baseline threads run as ordinary threads.
std::atomic<int> timerPolicy{-1}, timerNice{0};

void CALLBACK NotePriority(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR)
{
    timerPolicy = sched_getscheduler(0);
    timerNice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    Fire(0, 0, user, 0, 0);
}

int main()
{
    struct Delay {
        UINT ms;
        int samples;
    };
    const Delay delays[] = {{1, 2000}, {5, 1000}, {25, 400}, {100, 100}};

    timeBeginPeriod(1);
    Shot warmUp;  // starts the timer thread
    timeSetEvent(1, 1, NotePriority, reinterpret_cast<DWORD_PTR>(&warmUp), TIME_ONESHOT);
    warmUp.done.wait(false);

    double loads[3] = {0, 0, 0};
    getloadavg(loads, 3);
    std::printf("Timer lateness in microseconds (actual minus requested firing time); %u cores, load average %.2f\n",
                std::thread::hardware_concurrency(), loads[0]);
    std::printf("timer thread: %s, nice %d; baseline threads: ordinary\n",
                timerPolicy == SCHED_FIFO ? "real-time (SCHED_FIFO)" : "ordinary", timerNice.load());
    std::printf("%-7s %-5s %5s | %-22s | %-22s | %-22s\n", "delay", "load", "n", "   timeSetEvent",
                "sleep_until, 50us slack", "sleep_until, 1us slack");
    std::printf("%-7s %-5s %5s |", "", "", "");
    for (int column = 0; column < 3; ++column)
        std::printf(" %6s %6s %6s %s", "p50", "p99", "max", column < 2 ? "|" : "\n");
    double worstIdleP99 = 0;
    for (bool busy : {false, true}) {
        BusyCores load(busy);
        for (const Delay& delay : delays) {
            const Figures figures[] = {Summarize(TimerLateness(delay.ms, delay.samples)),
                                       Summarize(SleepLateness(delay.ms, delay.samples, 0)),
                                       Summarize(SleepLateness(delay.ms, delay.samples, 1000))};
            if (!busy)
                worstIdleP99 = std::max(worstIdleP99, figures[0].p99);
            std::printf("%4u ms %-5s %5d |", delay.ms, busy ? "busy" : "idle", delay.samples);
            for (const Figures& f : figures)
                std::printf(" %6.0f %6.0f %6.0f |", f.p50, f.p99, f.max);
            int early = figures[0].early + figures[1].early + figures[2].early;
            if (early != 0)
                std::printf(" %d early!", early);  // a deadline can never be met before it
            std::printf("\n");
            std::fflush(stdout);
        }
    }
    timeEndPeriod(1);
    std::printf("idle p99 of the timers: %.0f us (target below 500 us: %s)\n", worstIdleP99,
                worstIdleP99 < 500 ? "met" : "missed");
    return 0;
}
