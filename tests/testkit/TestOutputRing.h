#pragma once

#include "playback/OutputRing.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

namespace sonlet {

// A ring without a device, of the standard geometry (four segments of 1024 frames, a note
// 5120 frames after the cursor): the test moves the play cursor and signals the segment
// events, and reads back every segment the player wrote. All members are safe to call from
// any thread.
class TestOutputRing final : public OutputRing {
public:
    struct Failures {
        bool init = false;
        bool streamBuffer = false;
        bool start = false;
        bool unlock = false;
    };

    // One segment as the player wrote it, in write order.
    struct SegmentWrite {
        std::int32_t segment = 0;
        std::array<std::int16_t, SegmentValues> values{};
    };

    TestOutputRing() = default;
    explicit TestOutputRing(Failures failures) : failures_(failures) {}

    // Moves the play cursor to byteOffset (taken modulo RingBytes) without an event.
    void AdvanceTo(std::uint32_t byteOffset);
    // Moves the play cursor to the start of segment k and signals its event.
    void EnterSegment(std::int32_t segment);
    // The next lock attempts fail with these codes, one each, before locks succeed again.
    void FailNextLocks(std::initializer_list<std::int32_t> codes);
    // Marks the output as lost; the next `stillLost` restores answer RingBufferLost.
    void SetLost(bool lost, std::int32_t stillLost = 0);

    // The whole ring as it is now: RingBytes / 2 values.
    std::vector<std::int16_t> Written() const;
    std::vector<SegmentWrite> Writes() const;
    std::size_t WriteCount() const;
    // Waits until at least count segments have been written; false if that did not happen
    // within limit (a safety net against a hung test, never a timing check).
    bool WaitForWrites(std::size_t count,
                       std::chrono::milliseconds limit = std::chrono::seconds(10)) const;
    bool IsPlaying() const;
    std::int32_t StartCount() const;
    std::int32_t RestoreCount() const;

    // What the owner asked with RequestLatency; -1 before any request.
    std::int32_t RequestedLatency() const { return requestedLatency_; }

    void RequestLatency(std::int32_t milliseconds) override { requestedLatency_ = milliseconds; }
    bool InitOutput() override;
    bool CreateStreamBuffer() override;
    bool HasStreamBuffer() const override;
    bool Start() override;
    void Stop() override;
    std::uint32_t PlayCursor() const override;
    std::int32_t LockSegment(std::int32_t segment) override;
    void WriteLocked(std::span<const std::int16_t> values) override;
    bool UnlockSegment() override;
    bool IsLost() override;
    std::int32_t Restore() override;
    std::int32_t WaitForEvent() override;
    void Wake() override;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    Failures failures_;
    std::int32_t requestedLatency_ = -1;
    bool streamBuffer_ = false;
    bool playing_ = false;
    bool lost_ = false;
    bool woken_ = false;
    std::int32_t stillLost_ = 0;
    std::int32_t startCount_ = 0;
    std::int32_t restoreCount_ = 0;
    std::uint32_t cursor_ = 0;
    std::int32_t locked_ = -1;
    std::deque<std::int32_t> lockFailures_;
    std::deque<std::int32_t> events_;
    std::vector<std::int16_t> ring_ = std::vector<std::int16_t>(RingBytes / 2, 0);
    std::vector<SegmentWrite> writes_;
};

// Passes every call on to another ring; a test derives from it to watch or change one call.
class ForwardingRing : public OutputRing {
public:
    explicit ForwardingRing(OutputRing& ring) : ring_(ring) {}

    bool InitOutput() override { return ring_.InitOutput(); }
    bool CreateStreamBuffer() override { return ring_.CreateStreamBuffer(); }
    bool HasStreamBuffer() const override { return ring_.HasStreamBuffer(); }
    RingGeometry Geometry() const override { return ring_.Geometry(); }
    bool Start() override { return ring_.Start(); }
    void Stop() override { ring_.Stop(); }
    std::uint32_t PlayCursor() const override { return ring_.PlayCursor(); }
    std::int32_t LockSegment(std::int32_t segment) override { return ring_.LockSegment(segment); }
    void WriteLocked(std::span<const std::int16_t> values) override { ring_.WriteLocked(values); }
    bool UnlockSegment() override { return ring_.UnlockSegment(); }
    bool IsLost() override { return ring_.IsLost(); }
    std::int32_t Restore() override { return ring_.Restore(); }
    std::int32_t WaitForEvent() override { return ring_.WaitForEvent(); }
    void Wake() override { ring_.Wake(); }

protected:
    OutputRing& ring_;
};

} // namespace sonlet
