#pragma once
// Keeps every timer callback from running while it is held: a timer of its
// own fires at once and its callback, on the one timer thread, waits for
// Release. So a test can look at a stroke between its first string and the
// next ones however slowly the machine runs. Released at the latest on
// destruction; the strings then come at their time, or at once when it has
// passed.

#include "platform/Win32.h"

#include <condition_variable>
#include <mutex>
#include <string>

class TimerHold {
public:
    TimerHold();
    ~TimerHold();
    TimerHold(const TimerHold&) = delete;
    TimerHold& operator=(const TimerHold&) = delete;

    // Empty once the timer thread is held; else what kept it from being held
    // (after a minute's wait, with the time it waited).
    const std::string& Problem() const { return problem; }

    void Release();

private:
    static void CALLBACK Hold(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR);

    std::mutex lock;
    std::condition_variable changed;
    bool holding = false;
    bool released = false;
    UINT timer = 0;
    std::string problem;
};
