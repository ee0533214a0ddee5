#pragma once

// Helpers of the sample functions: the stored values of a sample as a span of either depth,
// read on the common 16-bit scale and stored back rounded and saturated.
#include "model/FrameSpan.h"
#include "model/Sample.h"

#include <cstdint>
#include <span>

namespace sonlet::values {

inline double Read(std::uint8_t stored) { return ValueOf8(stored); }
inline double Read(std::int16_t stored) { return stored; }

// Rounds half away from zero onto the stored depth and saturates; never wraps.
inline void Store(std::int16_t& stored, double value) {
    if (value != value) {
        stored = 0;
        return;
    }
    if (value <= -32768.0) {
        stored = -32768;
        return;
    }
    if (value >= 32767.0) {
        stored = 32767;
        return;
    }
    stored = static_cast<std::int16_t>(value < 0 ? value - 0.5 : value + 0.5);
}
inline void Store(std::uint8_t& stored, double value) {
    const double s = value / 256.0;
    if (s != s) {
        stored = 128;
        return;
    }
    if (s <= -128.0) {
        stored = 0;
        return;
    }
    if (s >= 127.0) {
        stored = 255;
        return;
    }
    stored = static_cast<std::uint8_t>(static_cast<int>(s < 0 ? s - 0.5 : s + 0.5) + 128);
}

// Stores a value already on the 16-bit scale as SetValue does (truncating toward zero).
inline void StoreTruncated(std::int16_t& stored, std::int32_t value) { stored = Stored16(value); }
inline void StoreTruncated(std::uint8_t& stored, std::int32_t value) { stored = Stored8(value); }

// Calls f with the span of the stored values of the frames of range (whole frames only).
template <typename F> void WithValues(TSample& s, FrameSpan range, F&& f) {
    const std::int64_t channels = s.Format.nChannels;
    range = ClampedSpan(s, range);
    if (channels <= 0 || range.Empty()) {
        return;
    }
    const auto first = static_cast<std::size_t>(range.First * channels);
    const auto count = static_cast<std::size_t>(range.Count() * channels);
    if (s.BytesPerSample == 1) {
        f(s.Data8.Values().subspan(first, count));
    } else {
        f(s.Data16.Values().subspan(first, count));
    }
}

template <typename F> void WithValues(const TSample& s, FrameSpan range, F&& f) {
    WithValues(const_cast<TSample&>(s), range, [&](auto values) {
        using T = typename decltype(values)::element_type;
        f(std::span<const T>(values));
    });
}

} // namespace sonlet::values
