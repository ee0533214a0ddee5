#pragma once

#include "model/FrameSpan.h"

#include <cstdint>

namespace sonlet {

// How a gain moves from its start to its end across a range: in a straight line, or along a
// quarter sine, which keeps the power of a crossfade constant.
enum class FadeLaw : std::uint8_t { Linear, EqualPower };

// A gain (1 = unchanged) that runs from Start at the range's first frame to End at its last.
struct GainRamp {
    double Start = 1.0;
    double End = 1.0;
    FadeLaw Law = FadeLaw::Linear;
};

double DecibelsToGain(double db);

// The gain at frame k of a range of n frames.
double GainAt(const GainRamp& ramp, std::int64_t k, std::int64_t n);

// Scales every channel of the range's frames by the ramp, rounded and saturated.
void ApplyGain(TSample& s, FrameSpan range, const GainRamp& ramp);
// From silence at the first frame to the values as they are at the last, and back.
void FadeIn(TSample& s, FrameSpan range, FadeLaw law = FadeLaw::Linear);
void FadeOut(TSample& s, FrameSpan range, FadeLaw law = FadeLaw::Linear);

// The largest magnitude of the range's values on the 16-bit scale.
std::int32_t PeakOf(const TSample& s, FrameSpan range);

} // namespace sonlet
