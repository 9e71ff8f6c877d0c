#include "tests/support/TimerHold.h"

#include <thread>  // the clocks; <chrono> has a unit suffix with no cp932 form

TimerHold::TimerHold()
{
    timer = timeSetEvent(1, 1, Hold, reinterpret_cast<DWORD_PTR>(this), TIME_ONESHOT);
    if (timer == 0) {
        problem = "the hold's timer was refused";
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    std::unique_lock guard(lock);
    if (!changed.wait_for(guard, std::chrono::seconds(60), [this] { return holding; })) {
        const auto waited = std::chrono::steady_clock::now() - start;
        problem = "the timer thread had not reached the hold after " +
                  std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(waited).count()) + " ms";
    }
}

TimerHold::~TimerHold()
{
    Release();
    // Returns once the callback is over: it no longer touches this object.
    timeKillEvent(timer);
}

void TimerHold::Release()
{
    std::lock_guard guard(lock);
    released = true;
    changed.notify_all();
}

void CALLBACK TimerHold::Hold(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR)
{
    TimerHold& self = *reinterpret_cast<TimerHold*>(user);
    std::unique_lock guard(self.lock);
    self.holding = true;
    self.changed.notify_all();
    self.changed.wait(guard, [&self] { return self.released; });
}
