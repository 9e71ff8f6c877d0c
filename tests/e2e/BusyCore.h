#pragma once
// Keeps one core busy while it lives, as another program would: for strums
// that must be heard right on a loaded machine.

#include <atomic>
#include <thread>

class BusyCore {
public:
    BusyCore()
        : thread([this] {
              while (!stop) {
              }
          })
    {}
    ~BusyCore()
    {
        stop = true;
        thread.join();
    }
    BusyCore(const BusyCore&) = delete;
    BusyCore& operator=(const BusyCore&) = delete;

private:
    std::atomic<bool> stop{false};
    std::thread thread;
};
