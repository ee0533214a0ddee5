#pragma once

#include "playback/OutputRing.h"
#include "playback/WakeSignal.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace sonlet {

// Segment events (absolute segment indices) from a real-time producer (the device callback)
// to the player thread, in the order they happened, plus a wake-up request from any thread. Post
// never blocks, locks or allocates; a full queue drops the event (the player is a whole ring behind
// anyway).
class SegmentEventQueue {
public:
    // Producer side: one thread only.
    void Post(std::int64_t segment) {
        const std::uint32_t head = head_.load(std::memory_order_relaxed);
        if (head - tail_.load(std::memory_order_acquire) >= Capacity) {
            return;
        }
        entries_[head % Capacity].store(segment, std::memory_order_relaxed);
        head_.store(head + 1, std::memory_order_release);
        signal_.Release();
    }
    // Any thread.
    void Wake() {
        woken_.store(true, std::memory_order_release);
        signal_.Release();
    }
    // Consumer side: one thread only. Blocks until an event or a wake-up.
    std::int64_t Wait() {
        for (;;) {
            signal_.Acquire();
            if (woken_.exchange(false, std::memory_order_acq_rel)) {
                return WokenByRequest;
            }
            const std::uint32_t tail = tail_.load(std::memory_order_relaxed);
            if (tail != head_.load(std::memory_order_acquire)) {
                const std::int64_t segment =
                    entries_[tail % Capacity].load(std::memory_order_relaxed);
                tail_.store(tail + 1, std::memory_order_release);
                return segment;
            }
        }
    }

private:
    // More than a whole ring of the smallest segments: a burst of callbacks posts many at once.
    static constexpr std::uint32_t Capacity = 256;
    std::array<std::atomic<std::int64_t>, Capacity> entries_{};
    std::atomic<std::uint32_t> head_{0};
    std::atomic<std::uint32_t> tail_{0};
    std::atomic<bool> woken_{false};
    WakeSignal signal_;
};

} // namespace sonlet
