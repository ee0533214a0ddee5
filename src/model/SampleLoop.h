#pragma once

#include "model/FrameSpan.h"

#include <cstdint>
#include <memory>

namespace sonlet {

// The loop's frames (empty when the sample has no loop), cut to the sample.
FrameSpan LoopFrames(const TSample& s);

// A forward loop over the range (a ping-pong loop stays ping-pong); false, with nothing
// changed, for an empty range.
bool SetLoopToRange(TSample& s, FrameSpan range);

// The sample without the frames after its loop end; null when it has no loop or nothing
// follows the loop.
std::unique_ptr<TSample> TrimmedAfterLoop(const TSample& s);

// The most frames a crossfade of the loop can span: the loop's length, and no more than the
// frames before the loop start that it fades in from.
std::int64_t MaxCrossfadeFrames(const TSample& s);

// Fades the last `frames` frames of the loop into the frames just before the loop start,
// linearly, so the loop end leads into the loop start as the frames before the start do:
// the wrap makes no step. frames is cut to MaxCrossfadeFrames; returns the frames changed.
FrameSpan CrossfadeLoop(TSample& s, std::int64_t frames);

// Which way the waveform (all channels summed) passes zero from frame f - 1 to frame f.
enum class Crossing : std::uint8_t { None, Rising, Falling, Any };
Crossing CrossingAt(const TSample& s, std::int64_t frame);

// The frame nearest to `frame` where the waveform crosses zero the given way (Any: either),
// searched up to `reach` frames on each side; frame itself when there is none.
std::int64_t NearestZeroCrossing(const TSample& s, std::int64_t frame, Crossing way,
                                 std::int64_t reach = 1 << 16);

} // namespace sonlet
