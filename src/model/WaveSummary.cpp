#include "model/WaveSummary.h"

#include "model/Sample.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sonlet {

namespace {

constexpr std::int64_t BaseFrames = std::int64_t{1} << TWaveSummary::BaseShift;
// Frames an unsummarised range reads at most.
constexpr std::int64_t MaxDirectReads = 4096;

std::int64_t HeldValues(const TSample& s) {
    const std::int64_t capacity = s.BytesPerSample == 1 ? s.Data8.Capacity() : s.Data16.Capacity();
    return std::clamp<std::int64_t>(s.NumSamples, 0, capacity);
}

// The frames a summary covers: whole frames whose values are really held, whatever a caller
// left in NumFrames.
std::int64_t SummarisedFrames(const TSample& s) {
    const std::int64_t channels = s.Format.nChannels;
    if (channels <= 0) {
        return 0;
    }
    return std::clamp<std::int64_t>(s.NumFrames, 0, HeldValues(s) / channels);
}

std::int16_t ToScale(std::uint8_t stored) { return static_cast<std::int16_t>(ValueOf8(stored)); }
std::int16_t ToScale(std::int16_t stored) { return stored; }

// The smallest and largest of count values of channel ch, frames apart by stride values. A
// plain loop over the raw values, so the compiler can keep it in registers.
template <typename T>
inline void ScanStrided(const T* v, std::int64_t count, std::int64_t stride, T& lo, T& hi) {
    for (std::int64_t f = 0; f < count; ++f) {
        lo = std::min(lo, v[f * stride]);
        hi = std::max(hi, v[f * stride]);
    }
}

// The peaks of channel over frames from..to-1 (not empty) of values; the stride is fixed for
// mono and stereo, which keeps the loop tight.
template <typename T>
PeakRange ScanFrames(const T* values, std::int64_t channels, std::int32_t channel,
                     std::int64_t from, std::int64_t to) {
    const T* v = values + from * channels + channel;
    T lo = *v;
    T hi = *v;
    if (channels == 1) {
        ScanStrided(v, to - from, 1, lo, hi);
    } else if (channels == 2) {
        ScanStrided(v, to - from, 2, lo, hi);
    } else {
        ScanStrided(v, to - from, channels, lo, hi);
    }
    return {ToScale(lo), ToScale(hi)};
}

// The peaks of each of C channels over one whole block at v, into out (minimum, maximum per
// channel).
#if defined(__SSE2__)
// Sixteen bytes at a time. Each vector holds whole frames, so after the block every lane holds
// the extremes of its channel; halves are then folded onto each other down to one frame.
inline __m128i Lower(__m128i a, __m128i b, std::int16_t) { return _mm_min_epi16(a, b); }
inline __m128i Upper(__m128i a, __m128i b, std::int16_t) { return _mm_max_epi16(a, b); }
inline __m128i Lower(__m128i a, __m128i b, std::uint8_t) { return _mm_min_epu8(a, b); }
inline __m128i Upper(__m128i a, __m128i b, std::uint8_t) { return _mm_max_epu8(a, b); }

template <typename T, std::int64_t C, bool Low> __m128i FoldFrames(__m128i x) {
    const auto op = [](__m128i a, __m128i b) { return Low ? Lower(a, b, T{}) : Upper(a, b, T{}); };
    constexpr std::size_t frameBytes = sizeof(T) * C;
    x = op(x, _mm_srli_si128(x, 8));
    if constexpr (frameBytes <= 4) {
        x = op(x, _mm_srli_si128(x, 4));
    }
    if constexpr (frameBytes <= 2) {
        x = op(x, _mm_srli_si128(x, 2));
    }
    if constexpr (frameBytes <= 1) {
        x = op(x, _mm_srli_si128(x, 1));
    }
    return x;
}

// Stored values in the low lanes as 16-bit values on the common scale.
inline __m128i Widened(__m128i x, std::int16_t) { return x; }
inline __m128i Widened(__m128i x, std::uint8_t) {
    // (stored - 128) * 256: the stored byte with its top bit flipped, as the high byte.
    return _mm_unpacklo_epi8(_mm_setzero_si128(), _mm_xor_si128(x, _mm_set1_epi8(-128)));
}

template <typename T, std::int64_t C> void ScanWholeBlock(const T* v, std::int16_t* out) {
    constexpr std::int64_t perVector = 16 / sizeof(T);
    static_assert((BaseFrames * C) % (2 * perVector) == 0);
    const auto load = [v](std::int64_t i) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + i));
    };
    // Two chains each, so that neither waits on the one before.
    __m128i lo0 = load(0);
    __m128i lo1 = load(perVector);
    __m128i hi0 = lo0;
    __m128i hi1 = lo1;
    for (std::int64_t i = 2 * perVector; i < BaseFrames * C; i += 2 * perVector) {
        const __m128i x = load(i);
        const __m128i y = load(i + perVector);
        lo0 = Lower(lo0, x, T{});
        hi0 = Upper(hi0, x, T{});
        lo1 = Lower(lo1, y, T{});
        hi1 = Upper(hi1, y, T{});
    }
    const __m128i lo = Widened(FoldFrames<T, C, true>(Lower(lo0, lo1, T{})), T{});
    const __m128i hi = Widened(FoldFrames<T, C, false>(Upper(hi0, hi1, T{})), T{});
    // Minimum and maximum side by side for each channel, as the summary keeps them.
    const __m128i pairs = _mm_unpacklo_epi16(lo, hi);
    if constexpr (C == 1) {
        const std::int32_t both = _mm_cvtsi128_si32(pairs);
        std::memcpy(out, &both, sizeof(both));
    } else {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), pairs);
    }
}
#else
template <typename T, std::int64_t C> void ScanWholeBlock(const T* v, std::int16_t* out) {
    for (std::int64_t ch = 0; ch < C; ++ch) {
        T lo = v[ch];
        T hi = v[ch];
        ScanStrided(v + ch, BaseFrames, C, lo, hi);
        out[ch * 2] = ToScale(lo);
        out[ch * 2 + 1] = ToScale(hi);
    }
}
#endif

// Level 0 over blocks b0..b1-1 of a mono or stereo sample: the minimum and maximum of each
// channel of each block. Stored 8-bit values order as their scaled values do, so they are
// compared as stored.
template <typename T, std::int64_t C>
void ScanBlocks(const T* values, std::int64_t frames, std::int64_t b0, std::int64_t b1,
                std::int16_t* out) {
    const std::int64_t whole = std::min(b1, frames / BaseFrames);
    for (std::int64_t b = b0; b < whole; ++b) {
        ScanWholeBlock<T, C>(values + b * BaseFrames * C, out + b * C * 2);
    }
    for (std::int64_t b = std::max(b0, whole); b < b1; ++b) { // the short last block
        const std::int64_t from = b * BaseFrames;
        for (std::int64_t ch = 0; ch < C; ++ch) {
            T lo = values[from * C + ch];
            T hi = lo;
            ScanStrided(values + from * C + ch, frames - from, C, lo, hi);
            out[(b * C + ch) * 2] = ToScale(lo);
            out[(b * C + ch) * 2 + 1] = ToScale(hi);
        }
    }
}

// The same for any other channel count, one channel at a time.
template <typename T>
void ScanBlocksAnyChannels(const T* values, std::int64_t frames, std::int64_t channels,
                           std::int64_t b0, std::int64_t b1, std::int16_t* out) {
    for (std::int64_t b = b0; b < b1; ++b) {
        const std::int64_t from = b * BaseFrames;
        const std::int64_t count = std::min(frames, from + BaseFrames) - from;
        for (std::int64_t ch = 0; ch < channels; ++ch) {
            const T* v = values + from * channels + ch;
            T lo = *v;
            T hi = *v;
            ScanStrided(v, count, channels, lo, hi);
            out[(b * channels + ch) * 2] = ToScale(lo);
            out[(b * channels + ch) * 2 + 1] = ToScale(hi);
        }
    }
}

template <typename T>
void ScanLevel0(const T* values, std::int64_t frames, std::int64_t channels, std::int64_t b0,
                std::int64_t b1, std::int16_t* out) {
    if (channels == 1) {
        ScanBlocks<T, 1>(values, frames, b0, b1, out);
    } else if (channels == 2) {
        ScanBlocks<T, 2>(values, frames, b0, b1, out);
    } else {
        ScanBlocksAnyChannels(values, frames, channels, b0, b1, out);
    }
}

// Blocks j0..j1-1 of a level from the level below, which holds below blocks: each the
// minimum and maximum of its two children (one for an odd last block).
void FoldLevel(const std::int16_t* child, std::int64_t below, std::int64_t channels,
               std::int64_t j0, std::int64_t j1, std::int16_t* out) {
    const std::int64_t width = channels * 2;
    const std::int64_t pairs = std::min(j1, below / 2);
    std::int64_t j = j0;
#if defined(__SSE2__)
    // Mono and stereo a vector of parents at a time: the even and the odd children side by
    // side, then the minima of one and the maxima of the other interleaved.
    if (channels == 1 || channels == 2) {
        const std::int64_t perVector = 8 / width;
        const __m128i minLanes = _mm_set1_epi32(0x0000FFFF);
        for (; j + perVector <= pairs; j += perVector) {
            const auto* from = reinterpret_cast<const __m128i*>(child + 2 * j * width);
            __m128i v0 = _mm_loadu_si128(from);
            __m128i v1 = _mm_loadu_si128(from + 1);
            if (channels == 1) {
                v0 = _mm_shuffle_epi32(v0, _MM_SHUFFLE(3, 1, 2, 0));
                v1 = _mm_shuffle_epi32(v1, _MM_SHUFFLE(3, 1, 2, 0));
            }
            const __m128i even = _mm_unpacklo_epi64(v0, v1);
            const __m128i odd = _mm_unpackhi_epi64(v0, v1);
            const __m128i folded =
                _mm_or_si128(_mm_and_si128(minLanes, _mm_min_epi16(even, odd)),
                             _mm_andnot_si128(minLanes, _mm_max_epi16(even, odd)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j * width), folded);
        }
    }
#endif
    for (; j < pairs; ++j) {
        const std::int16_t* a = child + 2 * j * width;
        const std::int16_t* b = a + width;
        for (std::int64_t i = 0; i < width; i += 2) {
            out[j * width + i] = std::min(a[i], b[i]);
            out[j * width + i + 1] = std::max(a[i + 1], b[i + 1]);
        }
    }
    for (j = std::max(j0, pairs); j < j1; ++j) {
        std::copy_n(child + 2 * j * width, width, out + j * width);
    }
}

void Widen(PeakRange& range, std::int32_t lo, std::int32_t hi) {
    range.Min = std::min(range.Min, lo);
    range.Max = std::max(range.Max, hi);
}

} // namespace

bool TWaveSummary::Matches(const TSample& sample) const {
    return valid_ && frames_ == SummarisedFrames(sample) && channels_ == sample.Format.nChannels &&
           bytes_ == sample.BytesPerSample;
}

void TWaveSummary::Clear() {
    levels_.clear();
    frames_ = 0;
    channels_ = 0;
    bytes_ = 0;
    valid_ = true;
}

void TWaveSummary::Update(const TSample& sample, std::int64_t first, std::int64_t end) {
    const std::int64_t frames = SummarisedFrames(sample);
    std::size_t keptLevels = levels_.size();
    if (!Matches(sample)) {
        const bool sameLayout = valid_ && channels_ == sample.Format.nChannels &&
                                bytes_ == sample.BytesPerSample && frames_ > 0;
        // The block holding the old or new last frame changes whatever the caller says.
        first = sameLayout ? std::min({first, frames_, frames - 1}) : 0;
        end = frames;
        frames_ = frames;
        channels_ = sample.Format.nChannels;
        bytes_ = sample.BytesPerSample;
        if (frames == 0) {
            levels_.clear();
            valid_ = true;
            return;
        }
        try {
            std::vector<std::int64_t> counts;
            for (std::int64_t n = (frames + BaseFrames - 1) / BaseFrames;; n = (n + 1) / 2) {
                counts.push_back(n);
                if (n <= 1) {
                    break;
                }
            }
            // A new layout is recomputed whole below, every level with it.
            keptLevels = sameLayout ? std::min(keptLevels, counts.size()) : counts.size();
            levels_.resize(counts.size());
            for (std::size_t k = 0; k < counts.size(); ++k) {
                levels_[k].resize(static_cast<std::size_t>(counts[k] * channels_ * 2));
            }
            valid_ = true;
        } catch (const std::bad_alloc&) {
            // Painting then reads values directly; the next update tries again.
            levels_.clear();
            levels_.shrink_to_fit();
            valid_ = false;
            return;
        }
    }
    first = std::clamp<std::int64_t>(first, 0, frames);
    end = std::clamp<std::int64_t>(end, first, frames);
    if (first < end) {
        Recompute(sample, first, end);
    }
    // Levels that a longer sample added hold nothing yet: fill them from the level below.
    for (std::size_t k = std::max<std::size_t>(keptLevels, 1); k < levels_.size(); ++k) {
        const auto width = static_cast<std::int64_t>(channels_ * 2);
        FoldLevel(levels_[k - 1].data(), static_cast<std::int64_t>(levels_[k - 1].size()) / width,
                  channels_, 0, static_cast<std::int64_t>(levels_[k].size()) / width,
                  levels_[k].data());
    }
}

void TWaveSummary::Recompute(const TSample& sample, std::int64_t first, std::int64_t end) {
    const std::int64_t b0 = first / BaseFrames;
    const std::int64_t b1 = (end - 1) / BaseFrames + 1;
    const auto count = [this](std::size_t k) {
        return static_cast<std::int64_t>(levels_[k].size()) / (channels_ * 2);
    };
    // In one pass over the values: a stretch of level 0 at a time, and at once the levels
    // above that the stretch alone decides, while its minima are still in the cache.
    constexpr std::int64_t StretchShift = 8;
    const std::size_t nearLevels = std::min<std::size_t>(levels_.size(), StretchShift + 1);
    for (std::int64_t s0 = b0; s0 < b1;) {
        const std::int64_t s1 = std::min(b1, ((s0 >> StretchShift) + 1) << StretchShift);
        if (bytes_ == 1) {
            ScanLevel0(sample.Data8.Data(), frames_, channels_, s0, s1, levels_[0].data());
        } else {
            ScanLevel0(sample.Data16.Data(), frames_, channels_, s0, s1, levels_[0].data());
        }
        for (std::size_t k = 1; k < nearLevels; ++k) {
            FoldLevel(levels_[k - 1].data(), count(k - 1), channels_, s0 >> k, ((s1 - 1) >> k) + 1,
                      levels_[k].data());
        }
        s0 = s1;
    }
    for (std::size_t k = nearLevels; k < levels_.size(); ++k) {
        FoldLevel(levels_[k - 1].data(), count(k - 1), channels_, b0 >> k, ((b1 - 1) >> k) + 1,
                  levels_[k].data());
    }
}

PeakRange TWaveSummary::Block(std::size_t level, std::int64_t block, std::int32_t channel) const {
    const std::int16_t* at = levels_[level].data() + (block * channels_ + channel) * 2;
    return {at[0], at[1]};
}

PeakRange TWaveSummary::Range(const TSample& sample, std::int32_t channel, std::int64_t first,
                              std::int64_t end) const {
    const std::int64_t channels = sample.Format.nChannels;
    const std::int64_t frames = SummarisedFrames(sample);
    first = std::clamp<std::int64_t>(first, 0, frames);
    end = std::clamp<std::int64_t>(end, first, frames);
    if (first >= end || channel < 0 || channel >= channels) {
        return {};
    }
    PeakRange range{std::numeric_limits<std::int32_t>::max(),
                    std::numeric_limits<std::int32_t>::min()};
    const auto direct = [&](std::int64_t from, std::int64_t to, std::int64_t stride) {
        for (std::int64_t f = from; f < to; f += stride) {
            const std::int32_t v = sample.GetValue(f * channels + channel);
            Widen(range, v, v);
        }
    };
    if (!Matches(sample)) {
        direct(first, end, std::max<std::int64_t>(1, (end - first) / MaxDirectReads));
        direct(end - 1, end, 1);
        return range;
    }
    // Frames outside whole blocks, straight from the values (the summary vouches that they
    // are held).
    const auto exact = [&](std::int64_t from, std::int64_t to) {
        if (from >= to) {
            return;
        }
        const PeakRange r = bytes_ == 1
                                ? ScanFrames(sample.Data8.Data(), channels, channel, from, to)
                                : ScanFrames(sample.Data16.Data(), channels, channel, from, to);
        Widen(range, r.Min, r.Max);
    };
    if (end - first < 2 * BaseFrames) {
        exact(first, end);
        return range;
    }
    std::int64_t lo = (first + BaseFrames - 1) / BaseFrames;
    std::int64_t hi = end / BaseFrames;
    exact(first, lo * BaseFrames);
    exact(hi * BaseFrames, end);
    // Whole blocks: take the odd ends of each level and climb with the even middle.
    for (std::size_t k = 0; lo < hi; ++k) {
        if (k + 1 == levels_.size()) {
            for (std::int64_t j = lo; j < hi; ++j) {
                const PeakRange b = Block(k, j, channel);
                Widen(range, b.Min, b.Max);
            }
            break;
        }
        if ((lo & 1) != 0) {
            const PeakRange b = Block(k, lo++, channel);
            Widen(range, b.Min, b.Max);
        }
        if ((hi & 1) != 0) {
            const PeakRange b = Block(k, --hi, channel);
            Widen(range, b.Min, b.Max);
        }
        lo /= 2;
        hi /= 2;
    }
    return range;
}

} // namespace sonlet
