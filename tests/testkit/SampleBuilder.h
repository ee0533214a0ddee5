#pragma once

#include "model/Sample.h"

#include <cstdint>
#include <functional>

namespace sonlet::testkit {

// The value of one channel of one frame.
using ValueOf = std::function<std::int32_t(std::int64_t frame, int channel)>;

// Makes s a sample of frames frames of channels channels at depth bytes (1 or 2) and rate, with
// each value from value(frame, channel) (the zero-filled blocks without one), marks cleared.
inline TSample& FillSample(TSample& s, std::int64_t frames, int channels, const ValueOf& value = {},
                           int bytes = 2, std::int64_t rate = 44100) {
    s.SetFormat(channels, bytes, rate, frames * channels * bytes);
    if (value) {
        for (std::int64_t f = 0; f < frames; ++f) {
            for (int c = 0; c < channels; ++c) {
                s.SetValue(value(f, c), f * channels + c);
            }
        }
    }
    s.ClearMarks();
    s.ValuesChanged(0, frames);
    return s;
}

inline TSample MakeSample(std::int64_t frames, int channels, const ValueOf& value = {},
                          int bytes = 2, std::int64_t rate = 44100) {
    TSample s;
    FillSample(s, frames, channels, value, bytes, rate);
    return s;
}

} // namespace sonlet::testkit
