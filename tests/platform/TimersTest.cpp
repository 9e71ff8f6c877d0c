#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <set>
#include <thread>
#include <vector>

#include "platform/Win32.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// What one timer saw of its callback.
struct Probe {
    std::atomic<int> calls{0};
    std::atomic<UINT> id{0};
    std::atomic<Clock::rep> firedAt{0};
    std::atomic<bool> started{false};
    std::atomic<bool> finished{false};
};

void CALLBACK Record(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR)
{
    auto* probe = reinterpret_cast<Probe*>(user);
    probe->firedAt = Clock::now().time_since_epoch().count();
    probe->id = id;
    ++probe->calls;
}

// Polls until the condition holds. The bound only keeps a broken timer from
// hanging the test, far beyond what a loaded machine needs; when it ends the
// wait, the failure tells how long that was.
template <class Condition>
bool WaitUntil(Condition condition)
{
    const Clock::time_point start = Clock::now();
    for (auto limit = start + 60s; Clock::now() < limit; std::this_thread::sleep_for(200us))
        if (condition())
            return true;
    if (condition())
        return true;
    ADD_FAILURE() << "still waiting after "
                  << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count() << " ms";
    return false;
}

// Timers fire in deadline order, one at a time: once a timer armed now with
// this delay has fired, every timer that was due earlier has run or was
// cancelled for good.
void WaitPast(UINT delay)
{
    Probe sentinel;
    ASSERT_NE(timeSetEvent(delay, 1, Record, reinterpret_cast<DWORD_PTR>(&sentinel), TIME_ONESHOT), 0u);
    ASSERT_TRUE(WaitUntil([&] { return sentinel.calls == 1; }));
}

TEST(Timers, OneShotFiresOnceNotBeforeItsDeadline)
{
    for (UINT delay : {1u, 5u, 30u}) {
        SCOPED_TRACE(delay);
        Probe probe;
        Clock::time_point before = Clock::now();
        UINT id =
            timeSetEvent(delay, 1, Record, reinterpret_cast<DWORD_PTR>(&probe), TIME_ONESHOT | TIME_CALLBACK_FUNCTION);
        ASSERT_NE(id, 0u);
        ASSERT_TRUE(WaitUntil([&] { return probe.calls > 0; }));
        EXPECT_GE(Clock::time_point(Clock::duration(probe.firedAt)), before + std::chrono::milliseconds(delay));
        EXPECT_EQ(probe.id, id);
        WaitPast(delay + 20);
        EXPECT_EQ(probe.calls, 1);
        EXPECT_EQ(timeKillEvent(id), MMSYSERR_INVALPARAM) << "a spent timer";
    }
}

TEST(Timers, RefusesWhatItCannotArm)
{
    Probe probe;
    auto user = reinterpret_cast<DWORD_PTR>(&probe);
    EXPECT_EQ(timeSetEvent(10, 1, nullptr, user, TIME_ONESHOT), 0u);
    EXPECT_EQ(timeSetEvent(0, 1, Record, user, TIME_ONESHOT), 0u);
    EXPECT_EQ(timeSetEvent(1000001, 1, Record, user, TIME_ONESHOT), 0u);
    EXPECT_EQ(timeSetEvent(10, 1, Record, user, 0x0001), 0u) << "periodic";
    EXPECT_EQ(timeSetEvent(10, 1, Record, user, 0x0010), 0u) << "event callback";

    UINT longest = timeSetEvent(1000000, 0, Record, user, TIME_ONESHOT);
    EXPECT_NE(longest, 0u);
    EXPECT_EQ(timeKillEvent(longest), TIMERR_NOERROR);
    EXPECT_EQ(probe.calls, 0);
}

TEST(Timers, KilledTimerNeverFires)
{
    Probe probe;
    // Due long after the kill, however slowly this thread runs.
    UINT id = timeSetEvent(600000, 1, Record, reinterpret_cast<DWORD_PTR>(&probe), TIME_ONESHOT);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
    EXPECT_EQ(timeKillEvent(id), MMSYSERR_INVALPARAM) << "killed twice";
    WaitPast(60);
    EXPECT_EQ(probe.calls, 0);
}

TEST(Timers, KillRefusesUnknownIds)
{
    for (UINT id : {0u, 1u, 12345u, 0xFFFFFFFFu})
        EXPECT_EQ(timeKillEvent(id), MMSYSERR_INVALPARAM) << id;
}

struct KillFromCallback {
    UINT other = 0;
    std::atomic<MMRESULT> ownResult{TIMERR_NOERROR};
    std::atomic<MMRESULT> otherResult{MMSYSERR_ERROR};
    std::atomic<bool> done{false};
};

void CALLBACK KillSelfAndOther(UINT id, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR)
{
    auto* state = reinterpret_cast<KillFromCallback*>(user);
    state->ownResult = timeKillEvent(id);  // must not wait for itself
    state->otherResult = timeKillEvent(state->other);
    state->done = true;
}

TEST(Timers, CallbackKillsItselfAndAnotherTimer)
{
    Probe other;
    KillFromCallback state;
    // Due long after the callback that kills it, however slowly this thread runs.
    state.other = timeSetEvent(600000, 1, Record, reinterpret_cast<DWORD_PTR>(&other), TIME_ONESHOT);
    ASSERT_NE(state.other, 0u);
    ASSERT_NE(timeSetEvent(5, 1, KillSelfAndOther, reinterpret_cast<DWORD_PTR>(&state), TIME_ONESHOT), 0u);
    ASSERT_TRUE(WaitUntil([&] { return state.done.load(); }));
    EXPECT_EQ(state.ownResult, MMSYSERR_INVALPARAM);
    EXPECT_EQ(state.otherResult, TIMERR_NOERROR);
    WaitPast(60);
    EXPECT_EQ(other.calls, 0);
}

void CALLBACK Linger(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR)
{
    auto* probe = reinterpret_cast<Probe*>(user);
    probe->started = true;
    std::this_thread::sleep_for(300us);
    probe->finished = true;
    ++probe->calls;
}

// The kill lands before, during or after the callback. Whatever it returns,
// once it is back the callback is either over or will never start.
TEST(Timers, KillRacingTheCallbackWaitsForIt)
{
    constexpr int Rounds = 300;
    std::vector<Probe> probes(Rounds);
    std::vector<MMRESULT> results(Rounds);
    std::vector<bool> startedAtReturn(Rounds), finishedAtReturn(Rounds);
    for (int i = 0; i < Rounds; ++i) {
        Probe& probe = probes[i];
        UINT id = timeSetEvent(1, 1, Linger, reinterpret_cast<DWORD_PTR>(&probe), TIME_ONESHOT);
        ASSERT_NE(id, 0u);
        if (i % 3 == 0) {
            while (!probe.started)
                std::this_thread::yield();  // surely inside the callback
        } else {
            auto until = Clock::now() + std::chrono::microseconds(i % 1500);
            while (Clock::now() < until)
                std::this_thread::yield();
        }
        results[i] = timeKillEvent(id);
        startedAtReturn[i] = probe.started;
        finishedAtReturn[i] = probe.finished;
    }
    WaitPast(5);
    for (int i = 0; i < Rounds; ++i) {
        SCOPED_TRACE(i);
        if (results[i] == TIMERR_NOERROR) {
            EXPECT_FALSE(startedAtReturn[i]);
            EXPECT_EQ(probes[i].calls, 0);
        } else {
            EXPECT_EQ(results[i], MMSYSERR_INVALPARAM);
            EXPECT_TRUE(finishedAtReturn[i]) << "kill returned while the callback ran";
            EXPECT_EQ(probes[i].calls, 1);
        }
    }
}

struct FiringOrder {
    std::vector<int> order;
    std::atomic<int> fired{0};
    std::vector<std::atomic<int>> calls;
    explicit FiringOrder(int count) : order(count, -1), calls(count) {}
};

struct OrderedTimer {
    FiringOrder* log;
    int index;
};

void CALLBACK LogOrder(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR)
{
    auto* timer = reinterpret_cast<OrderedTimer*>(user);
    ++timer->log->calls[timer->index];
    int position = timer->log->fired.load();  // only the timer thread writes
    if (position < static_cast<int>(timer->log->order.size()))
        timer->log->order[position] = timer->index;
    timer->log->fired = position + 1;
}

// Arms count timers, the i-th with delay(i), and returns the order they fired in.
template <class Delay>
std::vector<int> FireAll(int count, Delay delay)
{
    FiringOrder log(count);
    std::vector<OrderedTimer> timers(count);
    std::set<UINT> ids;
    for (int i = 0; i < count; ++i) {
        timers[i] = {&log, i};
        UINT id = timeSetEvent(delay(i), 1, LogOrder, reinterpret_cast<DWORD_PTR>(&timers[i]), TIME_ONESHOT);
        EXPECT_NE(id, 0u);
        EXPECT_TRUE(ids.insert(id).second) << "id " << id << " handed out twice";
    }
    EXPECT_TRUE(WaitUntil([&] { return log.fired == count; }));
    WaitPast(delay(count - 1) + 10);
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(log.calls[i], 1) << i;
    return log.order;
}

std::vector<int> Sequence(int count)
{
    std::vector<int> sequence(count);
    for (int i = 0; i < count; ++i)
        sequence[i] = i;
    return sequence;
}

TEST(Timers, ManyTimersFireOnceEachInDeadlineOrder)
{
    // Armed in order of rising deadline: each one is due after the one before.
    EXPECT_EQ(FireAll(500, [](int i) { return UINT(1 + i); }), Sequence(500));
}

TEST(Timers, EqualDelaysFireInArmingOrder)
{
    EXPECT_EQ(FireAll(200, [](int) { return 30u; }), Sequence(200));
}

// Deadlines in scrambled order, a third of the timers killed from the middle of
// the queue: the rest still fire once each, in deadline order.
TEST(Timers, KillsAmongManyKeepTheRestInOrder)
{
    constexpr int Count = 300;
    FiringOrder log(Count);
    std::vector<OrderedTimer> timers(Count);
    std::vector<UINT> ids(Count), delays(Count);
    std::vector<Clock::time_point> before(Count), after(Count);
    for (int i = 0; i < Count; ++i) {
        timers[i] = {&log, i};
        delays[i] = 1 + 2 * ((i * 7919) % Count);  // every delay once, scrambled
        before[i] = Clock::now();
        ids[i] = timeSetEvent(delays[i], 1, LogOrder, reinterpret_cast<DWORD_PTR>(&timers[i]), TIME_ONESHOT);
        after[i] = Clock::now();
        ASSERT_NE(ids[i], 0u);
    }
    int killed = 0;
    for (int i = 1; i < Count; i += 3) {
        if (timeKillEvent(ids[i]) == TIMERR_NOERROR) {
            ++killed;
            log.calls[i] += 100;  // a killed timer that fired anyway would show 101
        }
    }

    WaitPast(2 * Count + 10);
    ASSERT_EQ(log.fired + killed, Count);
    for (int i = 0; i < Count; ++i)
        EXPECT_TRUE(log.calls[i] == 1 || log.calls[i] == 100) << i;
    // Each timer fired no earlier than the one before it could have been due.
    for (int k = 1; k < log.fired; ++k) {
        int a = log.order[k - 1], b = log.order[k];
        EXPECT_GE(after[b] + std::chrono::milliseconds(delays[b]), before[a] + std::chrono::milliseconds(delays[a]))
            << "timer " << b << " fired after timer " << a;
    }
}

TEST(Timers, FullPoolRefusesThenRecovers)
{
    Probe probe;
    auto user = reinterpret_cast<DWORD_PTR>(&probe);
    std::vector<UINT> live;
    std::set<UINT> distinct;
    for (int i = 0; i < 100000; ++i) {
        UINT id = timeSetEvent(600000, 1, Record, user, TIME_ONESHOT);
        if (id == 0)
            break;
        live.push_back(id);
        distinct.insert(id);
    }
    ASSERT_GE(live.size(), 256u);
    ASSERT_LT(live.size(), 100000u) << "the pool never ran out";
    EXPECT_EQ(distinct.size(), live.size());
    EXPECT_EQ(distinct.count(0), 0u);
    EXPECT_EQ(timeSetEvent(600000, 1, Record, user, TIME_ONESHOT), 0u);

    EXPECT_EQ(timeKillEvent(live[7]), TIMERR_NOERROR);
    UINT again = timeSetEvent(600000, 1, Record, user, TIME_ONESHOT);
    EXPECT_NE(again, 0u);
    EXPECT_EQ(distinct.count(again), 0u) << "a live id came back";
    live[7] = again;

    for (UINT id : live)
        EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR) << id;
    EXPECT_NE(timeSetEvent(1, 1, Record, user, TIME_ONESHOT), 0u);
    EXPECT_TRUE(WaitUntil([&] { return probe.calls == 1; }));
}

TEST(Timers, PeriodRequestsSucceedWithinRange)
{
    EXPECT_EQ(timeBeginPeriod(1), TIMERR_NOERROR);
    EXPECT_EQ(timeEndPeriod(1), TIMERR_NOERROR);
    EXPECT_EQ(timeBeginPeriod(0), TIMERR_NOCANDO);
    EXPECT_EQ(timeEndPeriod(0), TIMERR_NOCANDO);
}

std::atomic<bool> lingering{false};

void CALLBACK LingerLong(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR)
{
    lingering = true;
    std::this_thread::sleep_for(50ms);
}

void CALLBACK ExitNow(UINT, UINT, DWORD_PTR code, DWORD_PTR, DWORD_PTR)
{
    std::exit(static_cast<int>(code));
}

void CALLBACK Nothing(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR)
{}

TEST(TimersDeathTest, ProcessExitsWithTimersPendingAndRunning)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            for (int i = 0; i < 100; ++i)
                timeSetEvent(60000, 1, Nothing, 0, TIME_ONESHOT);
            timeSetEvent(1, 1, LingerLong, 0, TIME_ONESHOT);
            WaitUntil([] { return lingering.load(); });
            std::exit(3);
        },
        testing::ExitedWithCode(3), "");
}

TEST(TimersDeathTest, CallbackMayEndTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            for (int i = 0; i < 10; ++i)
                timeSetEvent(60000, 1, Nothing, 0, TIME_ONESHOT);
            timeSetEvent(1, 1, ExitNow, 4, TIME_ONESHOT);
            std::this_thread::sleep_for(20s);
            std::exit(5);
        },
        testing::ExitedWithCode(4), "");
}

}  // namespace
