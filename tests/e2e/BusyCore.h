#pragma once
// Keeps one core busy while it lives, as another program would: for strums
// that must be heard right on a loaded machine.

#include <atomic>
#include <thread>

class BusyCore {
public:
    BusyCore()
        : thread_([this] {
              while (!stop_) {
              }
          })
    {}
    ~BusyCore()
    {
        stop_ = true;
        thread_.join();
    }
    BusyCore(const BusyCore&) = delete;
    BusyCore& operator=(const BusyCore&) = delete;

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
