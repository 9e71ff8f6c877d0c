// winmm: one-shot multimedia timers and the timer period.
//
// One thread serves every timer, one callback at a time. Pending timers live
// in a fixed pool ordered by a binary heap on their CLOCK_MONOTONIC deadline;
// the thread sleeps on a condition variable until the earliest deadline (an
// absolute wait on the monotonic clock) or until an earlier timer is armed.
// Arming and killing allocate nothing: they are the key-press path.

#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/Win32.h"

namespace {

using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC

constexpr UINT MinDelay = 1;  // milliseconds, the range Windows accepts
constexpr UINT MaxDelay = 1000000;
constexpr std::size_t PoolSize = 1024;  // a power of two: ids map onto slots
static_assert((PoolSize & (PoolSize - 1)) == 0);

class TimerQueue {
public:
    UINT Add(UINT delay, LPTIMECALLBACK callback, DWORD_PTR user);
    MMRESULT Kill(UINT id);
    // Starts the thread now, if it has not started and the queue has not stopped.
    void Prepare();
    // Drops every pending timer, lets a running callback finish and ends the
    // thread. Runs at process exit; later calls to Add fail.
    void Stop();

private:
    enum class State : std::uint8_t { Free, Pending, Running };

    struct Record {
        UINT id = 0;
        State state = State::Free;
        std::uint32_t heapIndex = 0;
        Clock::time_point deadline;
        std::uint64_t order = 0;  // arming order: equal deadlines fire first come, first served
        LPTIMECALLBACK callback = nullptr;
        DWORD_PTR user = 0;
    };

    // The slot of an id is its low bits, so looking an id up is one index.
    static std::size_t SlotOf(UINT id) { return id & (PoolSize - 1); }

    bool Earlier(std::uint32_t a, std::uint32_t b) const;
    void Place(std::size_t position, std::uint32_t slot);
    void SiftUp(std::size_t position);
    void SiftDown(std::size_t position);
    void Push(std::uint32_t slot);
    void RemoveAt(std::size_t position);

    void StartThread();  // with the lock held
    void Run();
    bool OnTimerThread() const { return started && std::this_thread::get_id() == threadId; }

    std::mutex lock;
    std::condition_variable wake;      // the timer thread: an earlier deadline, or stop
    std::condition_variable finished;  // killers waiting for a running callback
    std::array<Record, PoolSize> records{};
    std::array<std::uint32_t, PoolSize> heap{};  // slots of pending timers, earliest first
    std::size_t heapSize = 0;
    UINT nextId = 1;
    std::uint64_t nextOrder = 0;
    bool started = false;
    bool stopping = false;
    std::thread thread;
    std::thread::id threadId;
};

// Never destroyed: static objects of the program may still kill timers from
// their destructors at exit, after the thread has been stopped.
TimerQueue& Queue()
{
    static TimerQueue* queue = new TimerQueue;
    return *queue;
}

void StopAtExit()
{
    Queue().Stop();
}

// The timer thread serves short callbacks that must start on time, whatever
// else the machine runs: like the system's own timer thread it runs above
// ordinary threads. The lowest real-time priority where the process may take
// one (the kernel still keeps 5% of each core for ordinary threads), else a
// raised nice level, else it stays as it is.
void RaisePriority()
{
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_FIFO);
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0)
        return;
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), -10);
}

bool TimerQueue::Earlier(std::uint32_t a, std::uint32_t b) const
{
    const Record& x = records[a];
    const Record& y = records[b];
    return x.deadline != y.deadline ? x.deadline < y.deadline : x.order < y.order;
}

void TimerQueue::Place(std::size_t position, std::uint32_t slot)
{
    heap[position] = slot;
    records[slot].heapIndex = static_cast<std::uint32_t>(position);
}

void TimerQueue::SiftUp(std::size_t position)
{
    std::uint32_t slot = heap[position];
    while (position > 0) {
        std::size_t parent = (position - 1) / 2;
        if (!Earlier(slot, heap[parent]))
            break;
        Place(position, heap[parent]);
        position = parent;
    }
    Place(position, slot);
}

void TimerQueue::SiftDown(std::size_t position)
{
    std::uint32_t slot = heap[position];
    for (;;) {
        std::size_t child = 2 * position + 1;
        if (child >= heapSize)
            break;
        if (child + 1 < heapSize && Earlier(heap[child + 1], heap[child]))
            ++child;
        if (!Earlier(heap[child], slot))
            break;
        Place(position, heap[child]);
        position = child;
    }
    Place(position, slot);
}

void TimerQueue::Push(std::uint32_t slot)
{
    Place(heapSize++, slot);
    SiftUp(heapSize - 1);
}

void TimerQueue::RemoveAt(std::size_t position)
{
    std::uint32_t last = heap[--heapSize];
    if (position == heapSize)
        return;
    Place(position, last);
    SiftUp(position);
    SiftDown(records[last].heapIndex);
}

UINT TimerQueue::Add(UINT delay, LPTIMECALLBACK callback, DWORD_PTR user)
{
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(delay);
    std::lock_guard guard(lock);
    if (stopping)
        return 0;
    if (!started)
        StartThread();
    if (!started)
        return 0;

    // Ids count up and skip 0 and ids whose slot is taken, so an id comes back
    // only after the 32-bit counter wraps and never while its namesake lives.
    UINT id = 0;
    for (std::size_t tries = 0; tries < PoolSize; ++tries) {
        UINT candidate = nextId++;
        if (candidate != 0 && records[SlotOf(candidate)].state == State::Free) {
            id = candidate;
            break;
        }
    }
    if (id == 0)
        return 0;  // every slot is in use

    std::uint32_t slot = static_cast<std::uint32_t>(SlotOf(id));
    Record& record = records[slot];
    record.id = id;
    record.state = State::Pending;
    record.deadline = deadline;
    record.order = nextOrder++;
    record.callback = callback;
    record.user = user;
    Push(slot);
    if (heap[0] == slot)
        wake.notify_one();  // the thread sleeps towards a later deadline
    return id;
}

void TimerQueue::Prepare()
{
    std::lock_guard guard(lock);
    if (!started && !stopping)
        StartThread();
}

MMRESULT TimerQueue::Kill(UINT id)
{
    std::unique_lock guard(lock);
    Record& record = records[SlotOf(id)];
    if (id == 0 || record.id != id)
        return MMSYSERR_INVALPARAM;
    if (record.state == State::Pending) {
        // A pending timer leaves the heap; the thread, if it sleeps towards
        // this deadline, wakes up to an earlier one or to nothing and goes on.
        RemoveAt(record.heapIndex);
        record = Record{};
        return TIMERR_NOERROR;
    }
    // Its callback runs now: the timer is spent, but the caller must be able
    // to rely on the callback being over, unless the caller is the callback.
    if (!OnTimerThread())
        finished.wait(guard, [&] { return record.id != id; });
    return MMSYSERR_INVALPARAM;
}

void TimerQueue::StartThread()
{
    // The thread takes no signals: they belong to the program's own threads.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    try {
        thread = std::thread([this] { Run(); });
        threadId = thread.get_id();
        started = true;
        std::atexit(StopAtExit);
    } catch (const std::system_error&) {
        // No thread: timeSetEvent fails and a later call tries again.
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void TimerQueue::Run()
{
    // Timer slack is in nanoseconds: wake within a microsecond of the
    // deadline instead of the default 50 us.
    prctl(PR_SET_TIMERSLACK, 1000UL, 0UL, 0UL, 0UL);
    pthread_setname_np(pthread_self(), "mm-timer");
    RaisePriority();

    std::unique_lock guard(lock);
    while (!stopping) {
        if (heapSize == 0) {
            wake.wait(guard);
            continue;
        }
        std::uint32_t slot = heap[0];
        Record& record = records[slot];
        if (Clock::time_point deadline = record.deadline; Clock::now() < deadline) {
            // Absolute: a late wake-up does not push the deadline back. A copy,
            // as the record may be killed and cleared while the thread sleeps.
            wake.wait_until(guard, deadline);
            continue;
        }
        RemoveAt(0);
        record.state = State::Running;
        UINT id = record.id;
        LPTIMECALLBACK callback = record.callback;
        DWORD_PTR user = record.user;

        guard.unlock();
        callback(id, 0, user, 0, 0);
        guard.lock();

        record = Record{};
        finished.notify_all();
    }
}

void TimerQueue::Stop()
{
    std::unique_lock guard(lock);
    if (stopping)
        return;
    stopping = true;
    heapSize = 0;
    for (Record& record : records)
        if (record.state == State::Pending)
            record = Record{};
    if (!started)
        return;
    wake.notify_one();
    if (OnTimerThread()) {
        // exit() called from a callback: the thread cannot wait for itself,
        // and it never gets back from the callback anyway.
        thread.detach();
        return;
    }
    guard.unlock();
    thread.join();  // after a running callback has returned
}

}  // namespace

MMRESULT timeSetEvent(UINT delay, UINT /*resolution*/, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags)
{
    if (callback == nullptr || delay < MinDelay || delay > MaxDelay)
        return 0;
    if (flags != (TIME_ONESHOT | TIME_CALLBACK_FUNCTION))
        return 0;
    return Queue().Add(delay, callback, user);
}

MMRESULT timeKillEvent(UINT timerId)
{
    return Queue().Kill(timerId);
}

MMRESULT timeBeginPeriod(UINT period)
{
    if (period < MinDelay || period > MaxDelay)
        return TIMERR_NOCANDO;
    Queue().Prepare();
    return TIMERR_NOERROR;
}

MMRESULT timeEndPeriod(UINT period)
{
    return period >= MinDelay && period <= MaxDelay ? TIMERR_NOERROR : TIMERR_NOCANDO;
}
