#pragma once

#include "model/Sample.h"

#include <algorithm>
#include <cstdint>

namespace sonlet {

// Frames First..End-1 of a sample.
struct FrameSpan {
    std::int64_t First = 0;
    std::int64_t End = 0;

    std::int64_t Count() const { return End > First ? End - First : 0; }
    bool Empty() const { return End <= First; }
    friend bool operator==(const FrameSpan&, const FrameSpan&) = default;
};

inline FrameSpan AllFrames(const TSample& s) { return {0, std::max<std::int64_t>(s.NumFrames, 0)}; }

// range cut to the whole frames the sample holds.
inline FrameSpan ClampedSpan(const TSample& s, FrameSpan range) {
    const std::int64_t frames = std::max<std::int64_t>(s.NumFrames, 0);
    const std::int64_t first = std::clamp<std::int64_t>(range.First, 0, frames);
    return {first, std::clamp<std::int64_t>(range.End, first, frames)};
}

// The selection (the whole sample with no mark set), cut to the frames the sample holds.
inline FrameSpan SelectionOrAll(const TSample& s) {
    if (s.SelEnd < s.SelStart || s.SelEnd < 0) {
        return {};
    }
    // SelEnd may be the largest frame number; End must not overflow.
    const std::int64_t end = s.SelEnd >= s.NumFrames ? s.NumFrames : s.SelEnd + 1;
    return ClampedSpan(s, {s.SelStart, end});
}

} // namespace sonlet
