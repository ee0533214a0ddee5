#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace sonlet {

// The output timeline: 44100 frames per second, a frame is two signed 16-bit values (left,
// right, little-endian), a looping ring of segments.
inline constexpr std::int32_t OutputRate = 44100;
inline constexpr std::int32_t OutputChannels = 2;
inline constexpr std::int32_t FrameBytes = 4;
// The standard ring: four segments of 1024 frames. Offline renders and the deterministic
// test ring use it; a device's ring is sized from its period (RingGeometry).
inline constexpr std::int32_t RingBytes = 16384;
inline constexpr std::int32_t SegmentCount = 4;
inline constexpr std::int32_t SegmentBytes = RingBytes / SegmentCount;
inline constexpr std::int32_t SegmentFrames = SegmentBytes / FrameBytes;
inline constexpr std::int32_t SegmentValues = SegmentFrames * OutputChannels;
// Bounds of a device ring's segment: the mixer's blocks are this long at most.
inline constexpr std::int32_t MinSegmentFrames = 64;
inline constexpr std::int32_t MaxSegmentFrames = 8192;

// The shape of an output ring and how far ahead of the play cursor a note starts.
struct RingGeometry {
    std::int32_t segmentFrames = SegmentFrames;
    std::int32_t segmentCount = SegmentCount;
    // From the play cursor at NoteOn or NoteOff to the note's start or release: more than
    // the player can have written ahead of the cursor, so a note never lands in a segment
    // already mixed.
    std::int64_t noteDelayFrames = SegmentCount * SegmentFrames + SegmentFrames;
    // How far the device may fall behind the ring clock waiting for unwritten segments
    // (DeviceRing).
    std::int64_t maxLagFrames = 3 * SegmentFrames;

    std::int64_t SegmentBytes() const { return std::int64_t{segmentFrames} * FrameBytes; }
    std::int64_t RingFrames() const { return std::int64_t{segmentFrames} * segmentCount; }
    std::int64_t RingBytes() const { return RingFrames() * FrameBytes; }
    std::size_t SegmentValues() const {
        return static_cast<std::size_t>(segmentFrames) * OutputChannels;
    }

    // The ring for a device that takes `period` frames at a time: two segments cover one
    // period, since the player writes the segment after the one the device has entered, so
    // the device never waits for the player and a note starts two segments (one period)
    // after the cursor. Enough segments for the lag of a device that takes several periods
    // back to back.
    static RingGeometry ForDevicePeriod(std::int32_t period);
};

// Result codes of the ring operations; 0 is success. The lost-buffer code keeps the value the
// user has always been shown for it.
inline constexpr std::int32_t RingOk = 0;
inline constexpr std::int32_t RingBufferLost = static_cast<std::int32_t>(0x88780096u);
inline constexpr std::int32_t RingGenericFailure = static_cast<std::int32_t>(0x80004005u);

// What woke a WaitForEvent call.
inline constexpr std::int32_t WokenByRequest = -1;

// The audio output: a looping ring that plays continuously once started and wakes the
// player each time playback enters a segment.
//
// Threads: InitOutput and CreateStreamBuffer run on the owner's (GUI) thread before the
// player thread starts. PlayCursor and Wake may be called from any thread at any time. Every
// other operation runs on the player thread.
class OutputRing {
public:
    virtual ~OutputRing() = default;

    // Asks for about this much time from a note command to its sound (0: as little as the
    // device allows); call before InitOutput. A ring without a device ignores it.
    virtual void RequestLatency(std::int32_t /*milliseconds*/) {}
    // Opens the output device; false when there is no usable output.
    virtual bool InitOutput() = 0;
    // Creates the ring and its segment events; the result is checked later by HasStreamBuffer.
    virtual bool CreateStreamBuffer() = 0;
    virtual bool HasStreamBuffer() const = 0;
    // The ring's shape, fixed once InitOutput has opened the device.
    virtual RingGeometry Geometry() const { return {}; }

    // Sets the play position to 0 and starts looping playback; false when it did not start.
    virtual bool Start() = 0;
    virtual void Stop() = 0;
    // The byte offset in the ring that playback has reached; 0 without a stream buffer.
    virtual std::uint32_t PlayCursor() const = 0;

    // Makes segment k (0..segmentCount-1) writable; RingOk or a failure code.
    virtual std::int32_t LockSegment(std::int32_t segment) = 0;
    // Stores the segment's values (Geometry().SegmentValues() of them) while it is locked.
    virtual void WriteLocked(std::span<const std::int16_t> values) = 0;
    // Ends the write; false when the ring refused it.
    virtual bool UnlockSegment() = 0;

    // Whether the output was lost (device removed) and needs Restore.
    virtual bool IsLost() = 0;
    // Tries to get the output back; RingOk, RingBufferLost while it is still gone, or another
    // failure code.
    virtual std::int32_t Restore() = 0;

    // Blocks until playback enters a segment (returns its index, in the order playback
    // entered them) or Wake is called (returns WokenByRequest). No time limit.
    virtual std::int32_t WaitForEvent() = 0;
    // Makes the current or next WaitForEvent return WokenByRequest.
    virtual void Wake() = 0;

    // While no voice sounds, a ring that can play silence by itself wakes the player only a
    // few times a pass; the player writes only the segments it is woken for. A ring that
    // cannot ignores this and wakes it for every segment. Any thread.
    virtual void SetDozing(bool /*on*/) {}
    // Whether a device takes the ring's audio on its own clock, so that the player must keep
    // its deadlines even on a busy machine.
    virtual bool PacedByDevice() const { return false; }
};

} // namespace sonlet
