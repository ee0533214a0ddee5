#pragma once

#include "playback/OutputRing.h"
#include "playback/SegmentEventQueue.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace sonlet {

// The output ring for a device that pulls its audio through a callback (Pull), in chunks
// and bursts of whatever size the device uses. The device class adds opening, starting,
// stopping and restoring the device.
//
// Two positions run on the timeline of absolute frames since the start:
// - the ring clock: what PlayCursor reports and what the segment events follow. It moves
//   one frame for every frame the device takes, and the event of a segment is posted as the
//   clock reaches it, so the player always has the next segment written before the clock
//   enters it.
// - the read position: the frame the device is handed next. It stays at or behind the
//   clock by the lag.
// A segment reaches the device only once the player has written it for that pass: every
// written segment is tagged with its absolute index, and the device reads a segment only
// when its tag matches. A device period of more than two segments runs into a segment the
// player was woken for in the same burst and has not written yet: the device gets silence
// there and the read position waits while the clock runs on. That happens at the start
// only; the lag has then grown to what the bursts need (a device period less two segments)
// and stays, so every later burst finds its segments written. A note started at the cursor
// sounds the lag later than with a device of short periods. A lag beyond what the bursts
// of the last seconds needed (one a stalled player left) drains while the output is silent,
// so a note keeps its delay once the stall is over.
//
// The geometry comes from the device's period (RingGeometry::ForDevicePeriod): two segments
// per period, so a device that takes one period at a time never runs into an unwritten
// segment and never lags. The lag never exceeds the geometry's maxLagFrames; beyond that an
// unwritten frame is skipped as silence, so a stalled player costs a gap, never a stale
// block. Each ring segment has its own slot, more than the lag and the player's lead need, so
// the player never overwrites a segment the device has yet to take.
//
// While the player dozes (SetDozing), the ring posts the events of two segments a pass only
// and plays every segment the player has not written as silence, without lag. The first
// segment the clock enters after the doze ends brings its own event and the one before it,
// if that was not posted, so that a note placed just before the doze ended is written in time.
//
// With cursor prediction on (a device paced by a real clock), PlayCursor runs on between two
// callbacks at the output rate, up to one period past the clock, so a note keeps the same
// delay from its NoteOn wherever in the device's period it comes.
//
// Threads: Pull runs on the device's thread and never locks, allocates or mixes. PlayCursor
// and Wake run on any thread; everything else on the player thread.
class DeviceRing : public OutputRing {
public:
    // Sizes the ring for a device period; call before CreateStreamBuffer.
    void SetDevicePeriod(std::int32_t period);
    void PredictCursor(bool on) { predict_ = on; }

    RingGeometry Geometry() const override { return geometry_; }
    bool CreateStreamBuffer() override;
    bool HasStreamBuffer() const override;
    std::uint32_t PlayCursor() const override;
    std::int32_t LockSegment(std::int32_t segment) override;
    void WriteLocked(std::span<const std::int16_t> values) override;
    bool UnlockSegment() override;
    std::int32_t WaitForEvent() override;
    void Wake() override;
    void SetDozing(bool on) override { dozing_.store(on, std::memory_order_seq_cst); }
    bool PacedByDevice() const override { return true; }

    // The device's callback: hands over the next `frames` frames as little-endian 16-bit
    // left/right pairs and posts an event for every segment the clock enters.
    void Pull(std::uint8_t* stream, std::int32_t frames);

    // Absolute index of the last segment event posted and of the last segment written; -1
    // before the first.
    std::int64_t LastPostedSegment() const { return lastPosted_.load(std::memory_order_acquire); }
    std::int64_t LastWrittenSegment() const { return lastWritten_.load(std::memory_order_acquire); }
    // How many times the player has been woken for a segment.
    std::int64_t PostedEvents() const { return posted_.load(std::memory_order_relaxed); }

protected:
    // Puts clock and read position at the start of the pass of the last written segment,
    // with no lag, and posts the event of that first segment. Call while the device's
    // callback cannot run.
    void Rewind();

private:
    void PostEvent(std::int64_t segment);
    // The events of the segment the clock has just entered, as the doze asks.
    void PostEvents(std::int64_t segment);

    RingGeometry geometry_ = RingGeometry::ForDevicePeriod(2 * SegmentFrames);
    bool predict_ = false;
    std::unique_ptr<std::atomic<std::uint32_t>[]> frames_; // (right << 16) | left
    std::unique_ptr<std::atomic<std::int64_t>[]> tags_;
    std::atomic<std::int64_t> clock_{0};
    std::atomic<std::int64_t> read_{0};
    std::atomic<std::int64_t> lastPosted_{-1};
    std::atomic<std::int64_t> lastWritten_{-1};
    std::atomic<std::int64_t> posted_{0};
    // Device thread only (and Rewind): the lag the callbacks have needed lately. A lag beyond
    // it, left by a stalled player, drains while the output is silent.
    std::int64_t burstWritten_ = -2;
    std::int64_t burstFrames_ = 0;
    std::int64_t windowNeed_ = 0;
    std::int64_t previousNeed_ = 0;
    std::int64_t windowEnd_ = 0;
    std::atomic<bool> dozing_{false};
    // Device thread only (and Rewind): the doze as the last segment boundary saw it, and the
    // last segment whose unwritten frames are silence without lag.
    bool dozed_ = false;
    std::int64_t quietThrough_ = -1;
    // Steady-clock time at the end of the last callback and the frames it took.
    std::atomic<std::int64_t> pullEndNs_{0};
    std::atomic<std::int32_t> pullFrames_{0};
    SegmentEventQueue events_;
    // Player thread only: the absolute segment the player writes next, and the locked one.
    std::int64_t nextWrite_ = 0;
    std::int32_t locked_ = -1;
};

} // namespace sonlet
