#pragma once

#include "model/Sample.h"

#include <cstdint>
#include <memory>

namespace sonlet {

// A new sample of frames frames of channels channels at depth bytes (1 or 2), silent, with
// every parameter of s: name, volume, panning, tuning (Finetune kept at the same pitch when
// the depth changes, as the XI file stores it relative to the depth), loop, marks, rate and
// the rest of its XI header. Throws std::bad_alloc when memory runs out.
std::unique_ptr<TSample> SampleLike(const TSample& s, std::int64_t channels, std::int64_t bytes,
                                    std::int64_t frames);

// A copy of the whole sample, values and parameters.
std::unique_ptr<TSample> CopiedSample(const TSample& s);

enum class MonoSource : std::uint8_t { Mix, Left, Right };

// The whole sample converted; the originals are left as they are. Null when there is nothing
// to convert (the sample already has that depth or channel count, or no channels).
std::unique_ptr<TSample> ConvertedTo8Bit(const TSample& s, bool dither);
std::unique_ptr<TSample> ConvertedTo16Bit(const TSample& s);
// Mix: the mean of both channels, rounded.
std::unique_ptr<TSample> ConvertedToMono(const TSample& s, MonoSource source);
// Both channels a copy of the mono one.
std::unique_ptr<TSample> ConvertedToStereo(const TSample& s);

} // namespace sonlet
