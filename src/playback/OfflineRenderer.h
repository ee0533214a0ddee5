#pragma once

#include "playback/OutputRing.h"
#include "playback/SegmentMixer.h"
#include "playback/VoiceTable.h"

#include <span>

namespace sonlet {

// Runs the player's voices and mixing without a device or thread: notes start and end at
// exact output frames, and segments are produced one after another on the same timeline the
// player uses. Used for offline previews and to check the engine end to end.
class OfflineRenderer {
public:
    // A voice index, or -1 when the note was dropped (no voice may be taken).
    std::int32_t StartNote(const InstrumentSlot& slot, std::int32_t note, std::int32_t velocity,
                           std::int64_t frame, PlaybackMode mode = PlaybackMode::Standard);
    std::int32_t ReleaseNote(const InstrumentSlot& slot, std::int32_t note, std::int64_t frame);

    // Mixes the next segment (SegmentFrames frames).
    void RenderSegment(std::span<std::int16_t, SegmentValues> out);

    const VoiceTable& Voices() const { return voices_; }

    float OutputGain = 0.5f;

private:
    static TimePoint AtFrame(std::int64_t frame);

    VoiceTable voices_;
    SegmentMixer mixer_;
    std::int64_t pass_ = 0;
    std::int32_t segment_ = 0;
};

} // namespace sonlet
