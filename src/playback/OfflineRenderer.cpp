#include "playback/OfflineRenderer.h"

namespace sonlet {

TimePoint OfflineRenderer::AtFrame(std::int64_t frame) {
    const std::int64_t bytes = frame * FrameBytes;
    return {bytes / RingBytes, bytes % RingBytes};
}

std::int32_t OfflineRenderer::StartNote(const InstrumentSlot& slot, std::int32_t note,
                                        std::int32_t velocity, std::int64_t frame,
                                        PlaybackMode mode) {
    return voices_.StartAt(slot, note, velocity, AtFrame(frame), mode);
}

std::int32_t OfflineRenderer::ReleaseNote(const InstrumentSlot& slot, std::int32_t note,
                                          std::int64_t frame) {
    return voices_.ReleaseAt(slot, note, AtFrame(frame));
}

void OfflineRenderer::RenderSegment(std::span<std::int16_t, SegmentValues> out) {
    // Voice choice spares held notes that start beyond the next pass; here the "play cursor"
    // is the segment being rendered.
    voices_.SetLastWrapPass(pass_);
    voices_.SetPasses(pass_);
    mixer_.Mix(voices_, pass_, segment_, OutputGain, out);
    if (++segment_ == SegmentCount) {
        segment_ = 0;
        ++pass_;
    }
}

} // namespace sonlet
