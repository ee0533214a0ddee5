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
    // Segment `segment` of pass `passes` of the voices' ring: frames from (passes, segment ×
    // its segment bytes). out holds the segment's values (at most MaxSegmentFrames frames).
    void Mix(VoiceTable& voices, std::int64_t passes, std::int32_t segment, float outputGain,
             std::span<std::int16_t> out);

private:
    // Whether the voice added anything to the block.
    bool MixVoice(VoiceTable& voices, std::int32_t index, std::int64_t passes, std::int32_t segment,
                  std::int32_t frames);

    std::array<float, MaxSegmentFrames> left_{};
    std::array<float, MaxSegmentFrames> right_{};
    // The running state of each voice that plays in tracker mode.
    std::array<TrackerVoice, VoiceCount> tracker_{};
};

// Float mix value to the 16-bit output value: scaled, truncated toward zero, clamped.
std::int16_t ConvertToOutput(float mix, float outputGain);

} // namespace sonlet
