#include "model/SampleFunctions.h"

#include "model/Sample.h"
#include "model/SampleGain.h"
#include "model/SampleValues.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <span>
#include <utility>

namespace sonlet {

namespace {

// A small fast generator (splitmix64), seeded from the clock on every call.
class NoiseSource {
public:
    NoiseSource()
        : state_(static_cast<std::uint64_t>(
              std::chrono::high_resolution_clock::now().time_since_epoch().count())) {}

    // Uniform in -30000..29999.
    std::int32_t Next() { return static_cast<std::int32_t>(Below(60000)) - 30000; }

private:
    std::uint64_t Next64() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Multiply-and-shift with rejection of the few values that would bias the result.
    std::uint32_t Below(std::uint32_t range) {
        for (;;) {
            const auto r = static_cast<std::uint32_t>(Next64() >> 32);
            const std::uint64_t m = static_cast<std::uint64_t>(r) * range;
            const auto low = static_cast<std::uint32_t>(m);
            if (low >= (0U - range) % range) {
                return static_cast<std::uint32_t>(m >> 32);
            }
        }
    }

    std::uint64_t state_;
};

// Applies value -> f(value) to every stored value of the span. An 8-bit sample has only 256
// stored values, so they go through a table built with the exact conversions.
template <typename F> void MapValues(std::span<std::uint8_t> values, F f) {
    std::array<std::uint8_t, 256> table{};
    for (int u = 0; u < 256; ++u) {
        table[static_cast<std::size_t>(u)] = Stored8(f(ValueOf8(static_cast<std::uint8_t>(u))));
    }
    for (std::uint8_t& v : values) {
        v = table[v];
    }
}

template <typename F> void MapValues(std::span<std::int16_t> values, F f) {
    for (std::int16_t& v : values) {
        v = Stored16(f(static_cast<std::int32_t>(v)));
    }
}

std::int32_t Peak(std::span<const std::uint8_t> values) {
    std::int32_t peak = 0;
    for (std::uint8_t v : values) {
        peak = std::max(peak, std::abs(ValueOf8(v)));
    }
    return peak;
}

std::int32_t Peak(std::span<const std::int16_t> values) {
    std::int32_t peak = 0;
    for (std::int16_t v : values) {
        peak = std::max(peak, std::abs(static_cast<std::int32_t>(v)));
    }
    return peak;
}

std::uint8_t StoredOf(std::uint8_t*, std::int32_t value) { return Stored8(value); }
std::int16_t StoredOf(std::int16_t*, std::int32_t value) { return Stored16(value); }

// Reverses the order of the frames of values (channels values per frame).
template <typename T> void ReverseFrames(std::span<T> values, std::size_t channels) {
    if (channels == 1) {
        std::reverse(values.begin(), values.end());
        return;
    }
    std::size_t lo = 0;
    std::size_t hi = values.size() / channels;
    while (hi > lo + 1) {
        --hi;
        std::swap_ranges(values.begin() + static_cast<std::ptrdiff_t>(lo * channels),
                         values.begin() + static_cast<std::ptrdiff_t>((lo + 1) * channels),
                         values.begin() + static_cast<std::ptrdiff_t>(hi * channels));
        ++lo;
    }
}

template <typename T> void SwapPairs(std::span<T> values) {
    for (std::size_t i = 0; i + 1 < values.size(); i += 2) {
        std::swap(values[i], values[i + 1]);
    }
}

// The frame range of the selection as indices of stored values, cut to the sample.
struct IndexRange {
    std::int64_t first = 0;
    std::int64_t end = 0;
    bool Empty() const { return end <= first; }
};

// Frames first..last inclusive, as the marks give them: last may lie past the data.
struct Frames {
    std::int64_t first = 0;
    std::int64_t last = -1;
};

IndexRange SelectedIndices(const TSample& s, Frames frames, std::int64_t channels) {
    if (frames.first >= s.NumSamples || frames.last < frames.first) {
        return {};
    }
    const std::int64_t first = frames.first * channels;
    const std::int64_t framesHeld = (s.NumSamples + channels - 1) / channels;
    const std::int64_t end = frames.last >= framesHeld
                                 ? s.NumSamples
                                 : std::min((frames.last + 1) * channels, s.NumSamples);
    return {first, end};
}

template <typename T>
void RunOnValues(TSample& s, std::span<T> all, std::int32_t code, Frames frames,
                 std::int64_t channels) {
    const IndexRange range = SelectedIndices(s, frames, channels);
    if (range.Empty()) {
        return;
    }
    const auto values = all.subspan(static_cast<std::size_t>(range.first),
                                    static_cast<std::size_t>(range.end - range.first));
    switch (code) {
    case FunctionNoise: {
        NoiseSource noise;
        for (T& v : values) {
            v = StoredOf(static_cast<T*>(nullptr), noise.Next());
        }
        break;
    }
    case FunctionSilence:
        std::fill(values.begin(), values.end(), StoredOf(static_cast<T*>(nullptr), 0));
        break;
    case FunctionTone: {
        const auto perFrame = static_cast<std::size_t>(channels);
        for (std::size_t at = 0; at < values.size(); at += perFrame) {
            const double frame = static_cast<double>(at / perFrame);
            const auto w = static_cast<std::int32_t>(std::sin(frame / 60.0) * 256.0 * 100.0);
            const T stored = StoredOf(static_cast<T*>(nullptr), w);
            std::fill_n(values.begin() + static_cast<std::ptrdiff_t>(at),
                        std::min(perFrame, values.size() - at), stored);
        }
        break;
    }
    case FunctionInvert:
        MapValues(values, [](std::int32_t v) { return std::min(-v, 32767); });
        break;
    case FunctionSignFlip:
        MapValues(values, [](std::int32_t v) { return v - 32768; });
        break;
    case FunctionNormalize: {
        const std::int32_t peak = Peak(std::span<const T>(values));
        if (peak >= 1) {
            MapValues(values, [peak](std::int32_t v) { return v * 32767 / peak; });
        }
        break;
    }
    case FunctionFlipByZero:
        MapValues(values, [](std::int32_t v) { return 255 - v; });
        break;
    default:
        break;
    }
}

// Frames are exchanged pairwise from both ends of the selection. A frame partly or wholly
// past the end of the data reads as silence and takes no value, as SwapValues behaves.
template <typename T>
void ReverseSelection(TSample& s, std::span<T> all, Frames frames, std::int64_t channels) {
    // span + 1 frames are selected; a mark set near the largest frame number must not
    // overflow that count.
    const std::int64_t span = frames.last - frames.first;
    if (span < 1 || frames.first >= s.NumSamples) {
        return;
    }
    const std::int64_t pairs = span / 2 + (span & 1);
    const std::int64_t fullFrames = s.NumSamples / channels;
    const std::int64_t framesHeld = (s.NumSamples + channels - 1) / channels;
    const T silence = StoredOf(static_cast<T*>(nullptr), 0);

    // Pairs whose far frame lies wholly outside the data: the near frame becomes silent.
    std::int64_t k = 0;
    if (frames.last >= framesHeld) {
        const std::int64_t outside = std::min(pairs, frames.last - framesHeld + 1);
        const std::int64_t from = frames.first * channels;
        const std::int64_t nearEnd = std::min(frames.first + outside, framesHeld);
        const std::int64_t to = std::min(nearEnd * channels, s.NumSamples);
        if (to > from) {
            std::fill(all.begin() + from, all.begin() + to, silence);
        }
        k = outside;
    }
    // A far frame that is only partly held goes value by value.
    for (; k < pairs && frames.last - k >= fullFrames; ++k) {
        for (std::int64_t ch = 0; ch < channels; ++ch) {
            s.SwapValues((frames.first + k) * channels + ch, (frames.last - k) * channels + ch);
        }
    }
    if (k < pairs) {
        const std::int64_t lo = frames.first + k;
        const std::int64_t hi = frames.last - k;
        ReverseFrames(all.subspan(static_cast<std::size_t>(lo * channels),
                                  static_cast<std::size_t>((hi - lo + 1) * channels)),
                      static_cast<std::size_t>(channels));
    }
}

template <typename T> void SwapChannels(TSample& s, std::span<T> all, Frames frames) {
    const IndexRange range = SelectedIndices(s, frames, 2);
    if (range.Empty()) {
        return;
    }
    const std::int64_t even = range.first + (range.end - range.first) / 2 * 2;
    SwapPairs(all.subspan(static_cast<std::size_t>(range.first),
                          static_cast<std::size_t>(even - range.first)));
    if (even < range.end) {
        // The last frame holds only its left value; its missing right one reads as silence.
        s.SwapValues(even, even + 1);
    }
}

// One channel of a stereo range becomes a copy of the other.
template <typename T> void CopyChannel(std::span<T> all, IndexRange range, std::size_t from) {
    for (auto i = static_cast<std::size_t>(range.first);
         i + 1 < static_cast<std::size_t>(range.end); i += 2) {
        all[i + 1 - from] = all[i + from];
    }
}

// Subtracts each channel's mean over the range, rounded and saturated.
template <typename T> void RemoveDc(std::span<T> values, std::size_t channels) {
    if (values.size() < channels) {
        return;
    }
    const std::size_t frames = values.size() / channels;
    for (std::size_t c = 0; c < channels; ++c) {
        double sum = 0;
        for (std::size_t f = 0; f < frames; ++f) {
            sum += values::Read(values[f * channels + c]);
        }
        const double mean = sum / static_cast<double>(frames);
        for (std::size_t f = 0; f < frames; ++f) {
            T& v = values[f * channels + c];
            values::Store(v, values::Read(v) - mean);
        }
    }
}

template <typename T> void Apply(TSample& s, std::span<T> all, std::int32_t code, Frames frames) {
    const std::int64_t channels = s.Format.nChannels;
    if (channels == 0) {
        return;
    }
    switch (code) {
    case FunctionReverse:
        ReverseSelection(s, all, frames, channels);
        break;
    case FunctionSwapChannels:
        if (channels == 2) {
            SwapChannels(s, all, frames);
        }
        break;
    case FunctionCopyLeftToRight:
    case FunctionCopyRightToLeft:
        if (channels == 2) {
            CopyChannel(all, SelectedIndices(s, frames, 2),
                        code == FunctionCopyLeftToRight ? 0 : 1);
        }
        break;
    case FunctionRemoveDc: {
        const IndexRange range = SelectedIndices(s, frames, channels);
        const std::int64_t whole = range.first + (range.end - range.first) / channels * channels;
        if (whole > range.first) {
            RemoveDc(all.subspan(static_cast<std::size_t>(range.first),
                                 static_cast<std::size_t>(whole - range.first)),
                     static_cast<std::size_t>(channels));
        }
        break;
    }
    case FunctionFadeIn:
    case FunctionFadeOut:
        break; // ranged only, below
    default:
        RunOnValues(s, all, code, frames, channels);
        break;
    }
}

void Run(TSample& s, std::int32_t code, Frames frames) {
    if (s.NumSamples <= 0) {
        return;
    }
    if (code == FunctionFadeIn || code == FunctionFadeOut) {
        const std::int64_t end = frames.last >= s.NumFrames ? s.NumFrames : frames.last + 1;
        const FrameSpan range = ClampedSpan(s, {frames.first, end});
        code == FunctionFadeIn ? FadeIn(s, range) : FadeOut(s, range);
        return;
    }
    if (s.BytesPerSample == 1) {
        Apply(s, s.Data8.Values(), code, frames);
    } else {
        Apply(s, s.Data16.Values(), code, frames);
    }
    // The partly held frame a last mark past the data may reach counts as changed too.
    const std::int64_t end =
        std::min(frames.last, (s.NumSamples - 1) / std::max<std::int64_t>(s.Format.nChannels, 1));
    if (end >= frames.first) {
        s.ValuesChanged(frames.first, end + 1);
    }
}

} // namespace

void TSample::ApplyFunction(std::int32_t code) { Run(*this, code, {SelStart, SelEnd}); }

void ApplyFunction(TSample& s, std::int32_t code, FrameSpan range) {
    range = ClampedSpan(s, range);
    if (!range.Empty()) {
        Run(s, code, {range.First, range.End - 1});
    }
}

} // namespace sonlet
