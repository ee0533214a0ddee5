#include "model/Sample.h"

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

IndexRange SelectedIndices(const TSample& s, std::int64_t channels) {
    if (s.SelStart >= s.NumSamples || s.SelEnd < s.SelStart) {
        return {};
    }
    const std::int64_t first = s.SelStart * channels;
    const std::int64_t framesHeld = (s.NumSamples + channels - 1) / channels;
    const std::int64_t end =
        s.SelEnd >= framesHeld ? s.NumSamples : std::min((s.SelEnd + 1) * channels, s.NumSamples);
    return {first, end};
}

template <typename T>
void RunOnValues(TSample& s, std::span<T> all, std::int32_t code, std::int64_t channels) {
    const IndexRange range = SelectedIndices(s, channels);
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
        MapValues(values, [](std::int32_t v) { return v - 32768; });
        break;
    case FunctionNormalize:
    case FunctionFadeIn:
    case FunctionFadeOut: {
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
template <typename T> void ReverseSelection(TSample& s, std::span<T> all, std::int64_t channels) {
    // span + 1 frames are selected; a mark set near the largest frame number must not
    // overflow that count.
    const std::int64_t span = s.SelEnd - s.SelStart;
    if (span < 1 || s.SelStart >= s.NumSamples) {
        return;
    }
    const std::int64_t pairs = span / 2 + (span & 1);
    const std::int64_t fullFrames = s.NumSamples / channels;
    const std::int64_t framesHeld = (s.NumSamples + channels - 1) / channels;
    const T silence = StoredOf(static_cast<T*>(nullptr), 0);

    // Pairs whose far frame lies wholly outside the data: the near frame becomes silent.
    std::int64_t k = 0;
    if (s.SelEnd >= framesHeld) {
        const std::int64_t outside = std::min(pairs, s.SelEnd - framesHeld + 1);
        const std::int64_t from = s.SelStart * channels;
        const std::int64_t nearEnd = std::min(s.SelStart + outside, framesHeld);
        const std::int64_t to = std::min(nearEnd * channels, s.NumSamples);
        if (to > from) {
            std::fill(all.begin() + from, all.begin() + to, silence);
        }
        k = outside;
    }
    // A far frame that is only partly held goes value by value.
    for (; k < pairs && s.SelEnd - k >= fullFrames; ++k) {
        for (std::int64_t ch = 0; ch < channels; ++ch) {
            s.SwapValues((s.SelStart + k) * channels + ch, (s.SelEnd - k) * channels + ch);
        }
    }
    if (k < pairs) {
        const std::int64_t lo = s.SelStart + k;
        const std::int64_t hi = s.SelEnd - k;
        ReverseFrames(all.subspan(static_cast<std::size_t>(lo * channels),
                                  static_cast<std::size_t>((hi - lo + 1) * channels)),
                      static_cast<std::size_t>(channels));
    }
}

template <typename T> void SwapChannels(TSample& s, std::span<T> all) {
    const IndexRange range = SelectedIndices(s, 2);
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

template <typename T> void Apply(TSample& s, std::span<T> all, std::int32_t code) {
    const std::int64_t channels = s.Format.nChannels;
    if (channels == 0) {
        return;
    }
    switch (code) {
    case FunctionReverse:
        ReverseSelection(s, all, channels);
        break;
    case FunctionSwapChannels:
        if (channels == 2) {
            SwapChannels(s, all);
        }
        break;
    default:
        RunOnValues(s, all, code, channels);
        break;
    }
}

} // namespace

void TSample::ApplyFunction(std::int32_t code) {
    if (NumSamples <= 0) {
        return;
    }
    if (BytesPerSample == 1) {
        Apply(*this, Data8.Values(), code);
    } else {
        Apply(*this, Data16.Values(), code);
    }
    // SelEnd may lie anywhere past the data; the hook clamps.
    ValuesChanged(SelStart, SelEnd < NumFrames ? SelEnd + 1 : NumFrames);
}

} // namespace sonlet
