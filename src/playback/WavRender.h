#pragma once

#include "playback/VoiceTable.h"

#include <cstdint>
#include <vector>

namespace sonlet {

class FileHandle;

// What to play for an offline render: every note starts at output frame 0.
struct RenderRequest {
    std::vector<std::int32_t> notes;
    std::int32_t velocity = 100;
    std::int64_t frames = 88200;
    // The output frame at which every note is released; negative: never.
    std::int64_t releaseFrame = -1;
    float outputGain = 0.5f;
    PlaybackMode mode = PlaybackMode::Standard;
};

// The largest frame count a WAV file's 32-bit sizes can describe at 4 bytes per frame.
inline constexpr std::int64_t MaxRenderFrames = (0xFFFFFFFFLL - 36) / 4;

// Writes a 44100 Hz 16-bit stereo WAV file of request.frames frames of the notes played on
// the instrument in slot, through the player's mixing, one segment at a time (memory stays
// the same for any length). False when a write failed. At most VoiceCount notes sound; the
// rest are dropped as the player drops them.
bool RenderToWav(const InstrumentSlot& slot, const RenderRequest& request, FileHandle& file);

} // namespace sonlet
