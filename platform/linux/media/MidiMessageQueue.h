#pragma once
// A fixed ring of short MIDI messages between any number of senders and one
// reader at a time, without a lock and without allocating: the dialog and
// timer threads send, an output's writer (a JACK cycle, the sequencer's
// drain) takes them in the order they were sent. Each cell carries a
// sequence number that tells a sender whether it is free and the reader
// whether it is filled. Internal to platform/.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/Win32.h"

namespace platform {

struct TimedMessage {
    DWORD message = 0;
    std::uint64_t time = 0;  // on the output's own clock
};

template <std::size_t Capacity>
class MidiMessageQueue {
    static_assert((Capacity & (Capacity - 1)) == 0, "a power of two");

public:
    MidiMessageQueue()
    {
        for (std::size_t i = 0; i < Capacity; ++i)
            cells[i].sequence.store(i, std::memory_order_relaxed);
    }

    // Any thread. False, with nothing queued, when the ring is full.
    bool Push(TimedMessage item)
    {
        std::size_t position = tail.load(std::memory_order_relaxed);
        for (;;) {
            Cell& cell = cells[position % Capacity];
            const std::size_t sequence = cell.sequence.load(std::memory_order_acquire);
            const auto lag = static_cast<std::ptrdiff_t>(sequence - position);
            if (lag == 0) {
                if (tail.compare_exchange_weak(position, position + 1, std::memory_order_relaxed)) {
                    cell.item = item;
                    cell.sequence.store(position + 1, std::memory_order_release);
                    return true;
                }
            } else if (lag < 0) {
                return false;  // the reader has not yet freed this cell
            } else {
                position = tail.load(std::memory_order_relaxed);
            }
        }
    }

    // The reader only. The oldest message, or nothing.
    std::optional<TimedMessage> Pop()
    {
        const std::size_t position = head.load(std::memory_order_relaxed);
        Cell& cell = cells[position % Capacity];
        if (cell.sequence.load(std::memory_order_acquire) != position + 1)
            return std::nullopt;
        TimedMessage item = cell.item;
        cell.sequence.store(position + Capacity, std::memory_order_release);
        head.store(position + 1, std::memory_order_relaxed);
        return item;
    }

    // Any thread: whether nothing waits to be read.
    bool Empty() const
    {
        const std::size_t position = head.load(std::memory_order_seq_cst);
        return cells[position % Capacity].sequence.load(std::memory_order_seq_cst) != position + 1;
    }

private:
    struct Cell {
        std::atomic<std::size_t> sequence;
        TimedMessage item;
    };
    std::array<Cell, Capacity> cells;
    std::atomic<std::size_t> tail{0};
    std::atomic<std::size_t> head{0};  // written by the reader only
};

}  // namespace platform
