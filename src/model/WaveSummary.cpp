#include "model/WaveSummary.h"

#include "model/Sample.h"

#include <algorithm>
#include <limits>
#include <new>

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

// Level 0 over blocks b0..b1-1: the minimum and maximum of each channel of each block. The
// channel count is a template argument for mono and stereo so the inner loop stays tight.
// Stored 8-bit values order as their scaled values do, so they are compared as stored.
template <typename T, std::int64_t FixedChannels>
void ScanBlocks(const T* values, std::int64_t frames, std::int64_t channels, std::int64_t b0,
                std::int64_t b1, std::int16_t* out) {
    const std::int64_t c = FixedChannels > 0 ? FixedChannels : channels;
    for (std::int64_t b = b0; b < b1; ++b) {
        const std::int64_t from = b * BaseFrames;
        const std::int64_t to = std::min(frames, from + BaseFrames);
        for (std::int64_t ch = 0; ch < c; ++ch) {
            const T* v = values + from * c + ch;
            T lo = *v;
            T hi = *v;
            for (std::int64_t f = 1; f < to - from; ++f) {
                lo = std::min(lo, v[f * c]);
                hi = std::max(hi, v[f * c]);
            }
            out[(b * c + ch) * 2] = ToScale(lo);
            out[(b * c + ch) * 2 + 1] = ToScale(hi);
        }
    }
}

template <typename T>
void ScanLevel0(const T* values, std::int64_t frames, std::int64_t channels, std::int64_t b0,
                std::int64_t b1, std::int16_t* out) {
    if (channels == 1) {
        ScanBlocks<T, 1>(values, frames, channels, b0, b1, out);
    } else if (channels == 2) {
        ScanBlocks<T, 2>(values, frames, channels, b0, b1, out);
    } else {
        ScanBlocks<T, 0>(values, frames, channels, b0, b1, out);
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
        const std::int64_t count = static_cast<std::int64_t>(levels_[k].size()) / (channels_ * 2);
        const std::int64_t below =
            static_cast<std::int64_t>(levels_[k - 1].size()) / (channels_ * 2);
        for (std::int64_t j = 0; j < count; ++j) {
            for (std::int64_t ch = 0; ch < channels_; ++ch) {
                PeakRange r = Block(k - 1, 2 * j, static_cast<std::int32_t>(ch));
                if (2 * j + 1 < below) {
                    const PeakRange o = Block(k - 1, 2 * j + 1, static_cast<std::int32_t>(ch));
                    Widen(r, o.Min, o.Max);
                }
                levels_[k][static_cast<std::size_t>((j * channels_ + ch) * 2)] =
                    static_cast<std::int16_t>(r.Min);
                levels_[k][static_cast<std::size_t>((j * channels_ + ch) * 2 + 1)] =
                    static_cast<std::int16_t>(r.Max);
            }
        }
    }
}

void TWaveSummary::Recompute(const TSample& sample, std::int64_t first, std::int64_t end) {
    std::int64_t b0 = first / BaseFrames;
    std::int64_t b1 = (end - 1) / BaseFrames + 1;
    if (bytes_ == 1) {
        ScanLevel0(sample.Data8.Data(), frames_, channels_, b0, b1, levels_[0].data());
    } else {
        ScanLevel0(sample.Data16.Data(), frames_, channels_, b0, b1, levels_[0].data());
    }
    for (std::size_t k = 1; k < levels_.size(); ++k) {
        const std::int64_t below =
            static_cast<std::int64_t>(levels_[k - 1].size()) / (channels_ * 2);
        b0 /= 2;
        b1 = (b1 - 1) / 2 + 1;
        const std::int16_t* child = levels_[k - 1].data();
        std::int16_t* out = levels_[k].data();
        for (std::int64_t j = b0; j < b1; ++j) {
            const bool pair = 2 * j + 1 < below;
            for (std::int64_t ch = 0; ch < channels_; ++ch) {
                const std::int16_t* a = child + (2 * j * channels_ + ch) * 2;
                std::int16_t lo = a[0];
                std::int16_t hi = a[1];
                if (pair) {
                    const std::int16_t* b = a + channels_ * 2;
                    lo = std::min(lo, b[0]);
                    hi = std::max(hi, b[1]);
                }
                out[(j * channels_ + ch) * 2] = lo;
                out[(j * channels_ + ch) * 2 + 1] = hi;
            }
        }
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
    if (end - first < 2 * BaseFrames) {
        direct(first, end, 1);
        return range;
    }
    std::int64_t lo = (first + BaseFrames - 1) / BaseFrames;
    std::int64_t hi = end / BaseFrames;
    direct(first, lo * BaseFrames, 1);
    direct(hi * BaseFrames, end, 1);
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
