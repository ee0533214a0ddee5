#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace sonlet {

// The output timeline: 44100 frames per second, a frame is two signed 16-bit values (left,
// right, little-endian), a looping ring of four segments.
inline constexpr std::int32_t OutputRate = 44100;
inline constexpr std::int32_t OutputChannels = 2;
inline constexpr std::int32_t FrameBytes = 4;
inline constexpr std::int32_t RingBytes = 16384;
inline constexpr std::int32_t SegmentCount = 4;
inline constexpr std::int32_t SegmentBytes = RingBytes / SegmentCount;
inline constexpr std::int32_t SegmentFrames = SegmentBytes / FrameBytes;
inline constexpr std::int32_t SegmentValues = SegmentFrames * OutputChannels;

// Result codes of the ring operations; 0 is success. The lost-buffer code keeps the value the
// user has always been shown for it.
inline constexpr std::int32_t RingOk = 0;
inline constexpr std::int32_t RingBufferLost = static_cast<std::int32_t>(0x88780096u);
inline constexpr std::int32_t RingGenericFailure = static_cast<std::int32_t>(0x80004005u);

// What woke a WaitForEvent call.
inline constexpr std::int32_t WokenByRequest = -1;

// The audio output: a looping ring of RingBytes that plays continuously once started and
// wakes the player each time playback enters a segment.
//
// Threads: InitOutput and CreateStreamBuffer run on the owner's (GUI) thread before the
// player thread starts. PlayCursor and Wake may be called from any thread at any time. Every
// other operation runs on the player thread.
class OutputRing {
public:
    virtual ~OutputRing() = default;

    // Opens the output device; false when there is no usable output.
    virtual bool InitOutput() = 0;
    // Creates the ring and its segment events; the result is checked later by HasStreamBuffer.
    virtual bool CreateStreamBuffer() = 0;
    virtual bool HasStreamBuffer() const = 0;

    // Sets the play position to 0 and starts looping playback; false when it did not start.
    virtual bool Start() = 0;
    virtual void Stop() = 0;
    // The byte offset 0..RingBytes-1 that playback has reached; 0 without a stream buffer.
    virtual std::uint32_t PlayCursor() const = 0;

    // Makes segment k (0..3) writable; RingOk or a failure code.
    virtual std::int32_t LockSegment(std::int32_t segment) = 0;
    // Stores the segment's SegmentValues values while it is locked.
    virtual void WriteLocked(std::span<const std::int16_t, SegmentValues> values) = 0;
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
};

} // namespace sonlet
