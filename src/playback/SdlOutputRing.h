#pragma once

#include "playback/OutputRing.h"
#include "playback/SegmentEventQueue.h"

#include <atomic>
#include <memory>

namespace sonlet {

// The output ring on an SDL2 audio device. SDL's audio thread runs Callback, which copies
// from the ring at the play cursor, advances the cursor and posts an event whenever playback
// enters a segment; it never locks, allocates or mixes. The ring holds one atomic word per
// frame so the player may write a segment while the callback reads another (or, when the
// player is late, the same one) without a data race.
//
// A removed device counts as a lost buffer; Restore reopens the default device.
class SdlOutputRing final : public OutputRing {
public:
    SdlOutputRing() = default;
    SdlOutputRing(const SdlOutputRing&) = delete;
    SdlOutputRing& operator=(const SdlOutputRing&) = delete;
    ~SdlOutputRing() override;

    bool InitOutput() override;
    bool CreateStreamBuffer() override;
    bool HasStreamBuffer() const override;
    bool Start() override;
    void Stop() override;
    std::uint32_t PlayCursor() const override;
    std::int32_t LockSegment(std::int32_t segment) override;
    void WriteLocked(std::span<const std::int16_t, SegmentValues> values) override;
    bool UnlockSegment() override;
    bool IsLost() override;
    std::int32_t Restore() override;
    std::int32_t WaitForEvent() override;
    void Wake() override;

private:
    static void Callback(void* self, std::uint8_t* stream, int length);
    void Fill(std::uint8_t* stream, int length);
    bool OpenDevice();
    void CloseDevice();

    std::uint32_t device_ = 0;
    bool audioInitialized_ = false;
    bool started_ = false;
    std::int32_t locked_ = -1;
    // Frames as (right << 16) | left, little-endian 16-bit each.
    std::unique_ptr<std::atomic<std::uint32_t>[]> frames_;
    std::atomic<std::uint32_t> cursorFrame_{0};
    SegmentEventQueue events_;
};

} // namespace sonlet
