// How late the multimedia timers fire: actual minus requested firing time of
// one-shot timers, idle and with the other cores kept busy, beside a plain
// thread sleeping with std::this_thread::sleep_until as the baseline.
// Prints p50 / p99 / max lateness in microseconds per delay.

// <chrono> itself does not compile under -fexec-charset=CP932 (its "\u00b5s"
// unit suffix has no cp932 form); <thread> brings the clocks and durations.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

#include "platform/Win32.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Shot {
    std::atomic<bool> done{false};
    Clock::time_point fired;
};

void CALLBACK Fire(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) {
    auto* shot = reinterpret_cast<Shot*>(user);
    shot->fired = Clock::now();
    shot->done.store(true);
    shot->done.notify_one();
}

double Microseconds(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// Lateness in microseconds of samples one-shot timers, one after another.
std::vector<double> TimerLateness(UINT delay, int samples) {
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

// The same measurement with a thread of its own that sleeps until each deadline.
std::vector<double> SleepLateness(UINT delay, int samples) {
    std::vector<double> lateness;
    lateness.reserve(samples);
    std::thread sleeper([&] {
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

Figures Summarize(std::vector<double> values) {
    Figures figures;
    if (values.empty()) return figures;
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
    explicit BusyCores(bool on) {
        if (!on) return;
        unsigned count = std::max(1u, std::thread::hardware_concurrency() - 1);
        for (unsigned i = 0; i < count; ++i)
            spinners.emplace_back([this] {
                while (!stop.load(std::memory_order_relaxed)) {
                }
            });
    }
    ~BusyCores() {
        stop = true;
        for (std::thread& spinner : spinners) spinner.join();
    }
    BusyCores(const BusyCores&) = delete;
    BusyCores& operator=(const BusyCores&) = delete;

private:
    std::atomic<bool> stop{false};
    std::vector<std::thread> spinners;
};

}  // namespace

int main() {
    struct Delay {
        UINT ms;
        int samples;
    };
    const Delay delays[] = {{1, 200}, {5, 200}, {25, 200}, {100, 30}};

    timeBeginPeriod(1);
    Shot warmUp;  // starts the timer thread
    timeSetEvent(1, 1, Fire, reinterpret_cast<DWORD_PTR>(&warmUp), TIME_ONESHOT);
    warmUp.done.wait(false);

    std::printf("Timer lateness in microseconds (actual minus requested firing time); %u cores\n",
                std::thread::hardware_concurrency());
    std::printf("%-7s %-5s %5s | %-28s | %-28s\n", "delay", "load", "n", "      timeSetEvent", "   sleep_until thread");
    std::printf("%-7s %-5s %5s | %8s %8s %8s %2s | %8s %8s %8s %2s\n", "", "", "", "p50", "p99", "max", "<0", "p50",
                "p99", "max", "<0");
    double worstIdleP99 = 0;
    for (bool busy : {false, true}) {
        BusyCores load(busy);
        for (const Delay& delay : delays) {
            Figures timer = Summarize(TimerLateness(delay.ms, delay.samples));
            Figures sleep = Summarize(SleepLateness(delay.ms, delay.samples));
            if (!busy) worstIdleP99 = std::max(worstIdleP99, timer.p99);
            std::printf("%4u ms %-5s %5d | %8.0f %8.0f %8.0f %2d | %8.0f %8.0f %8.0f %2d\n", delay.ms,
                        busy ? "busy" : "idle", delay.samples, timer.p50, timer.p99, timer.max, timer.early, sleep.p50,
                        sleep.p99, sleep.max, sleep.early);
            std::fflush(stdout);
        }
    }
    timeEndPeriod(1);
    std::printf("idle p99 of the timers: %.0f us (target below 500 us: %s)\n", worstIdleP99,
                worstIdleP99 < 500 ? "met" : "missed");
    return 0;
}
