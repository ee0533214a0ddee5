#pragma once

#include "playback/OutputRing.h"
#include "playback/TrackerVoice.h"
#include "playback/VoiceTable.h"

#include <array>
#include <span>

namespace sonlet {

// Mixes one segment of all active voices and converts it to 16-bit output. The player
// thread and the offline renderer both fill their segments through it. Allocates nothing.
//
// Each voice's instrument is rendered under its edit lock, taken with try_lock: while the
// GUI thread holds the lock (loading, deleting, resizing, editing), that voice is silent for
// the segment and its time runs on.
class SegmentMixer {
public:
    // Segment `segment` (0..3) of pass `passes`: frames from (passes, segment × SegmentBytes).
    void Mix(VoiceTable& voices, std::int64_t passes, std::int32_t segment, float outputGain,
             std::span<std::int16_t, SegmentValues> out);

private:
    void MixVoice(VoiceTable& voices, std::int32_t index, std::int64_t passes,
                  std::int32_t segment);

    std::array<float, SegmentFrames> left_{};
    std::array<float, SegmentFrames> right_{};
    // The running state of each voice that plays in tracker mode.
    std::array<TrackerVoice, VoiceCount> tracker_{};
};

// Float mix value to the 16-bit output value: scaled, truncated toward zero, clamped.
std::int16_t ConvertToOutput(float mix, float outputGain);

} // namespace sonlet
