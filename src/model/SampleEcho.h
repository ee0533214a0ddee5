#pragma once

#include "model/FrameSpan.h"

namespace sonlet {

// An echo: the first repeat Delay after the sound at Mix of its level, every further one Delay
// after the one before at Feedback of that one's level (fractions, 0..1). The sound itself
// stays at its level.
struct EchoParams {
    double DelayMs = 250.0;
    double Feedback = 0.4;
    double Mix = 0.5;
};

// The delay in frames at rate Hz; at least one frame.
std::int64_t EchoDelayFrames(const EchoParams& echo, double rate);

// Adds the echo of the range's frames to the range itself, saturating. The echo stays inside
// the range: what would sound after its last frame is dropped, and nothing from outside the
// range is echoed.
void ApplyEcho(TSample& s, FrameSpan range, const EchoParams& echo, double rate);

} // namespace sonlet
