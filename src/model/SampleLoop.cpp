#include "model/SampleLoop.h"

#include "model/SampleConvert.h"
#include "model/SampleValues.h"

#include <algorithm>
#include <cstring>

namespace sonlet {

namespace {

// The sum of a frame's channels, so a crossing is where the mix passes zero.
double FrameSum(const TSample& s, std::int64_t frame) {
    const std::int64_t channels = s.Format.nChannels;
    double sum = 0;
    for (std::int64_t c = 0; c < channels; ++c) {
        sum += s.GetValue(frame * channels + c);
    }
    return sum;
}

bool Matches(Crossing found, Crossing way) {
    return found != Crossing::None && (way == Crossing::Any || found == way);
}

} // namespace

FrameSpan LoopFrames(const TSample& s) {
    if (s.LoopType == LoopNone || s.LoopLength <= 0 || s.LoopStart < 0) {
        return {};
    }
    return ClampedSpan(s, {s.LoopStart, s.LoopStart + s.LoopLength});
}

bool SetLoopToRange(TSample& s, FrameSpan range) {
    range = ClampedSpan(s, range);
    if (range.Empty()) {
        return false;
    }
    s.LoopStart = range.First;
    s.LoopLength = range.Count();
    if (s.LoopType == LoopNone) {
        s.LoopType = LoopForward;
    }
    s.UpdateRanges();
    return true;
}

std::unique_ptr<TSample> TrimmedAfterLoop(const TSample& s) {
    const FrameSpan loop = LoopFrames(s);
    if (loop.Empty() || loop.End >= s.NumFrames) {
        return nullptr;
    }
    auto out = SampleLike(s, s.Format.nChannels, s.BytesPerSample, loop.End);
    const auto count = static_cast<std::size_t>(out->NumSamples);
    if (s.BytesPerSample == 1) {
        std::memcpy(out->Data8.Data(), s.Data8.Data(), count);
    } else {
        std::memcpy(out->Data16.Data(), s.Data16.Data(), count * sizeof(std::int16_t));
    }
    out->MarkA = std::min(out->MarkA, loop.End - 1);
    out->MarkB = std::min(out->MarkB, loop.End - 1);
    out->UpdateRanges();
    out->ValuesChanged(0, out->NumFrames);
    return out;
}

std::int64_t MaxCrossfadeFrames(const TSample& s) {
    const FrameSpan loop = LoopFrames(s);
    return std::min(loop.Count(), loop.First);
}

FrameSpan CrossfadeLoop(TSample& s, std::int64_t frames) {
    const FrameSpan loop = LoopFrames(s);
    const std::int64_t n = std::min(frames, MaxCrossfadeFrames(s));
    if (n <= 0) {
        return {};
    }
    const std::int64_t channels = s.Format.nChannels;
    const FrameSpan changed{loop.End - n, loop.End};
    // The faded frames lie inside the loop and the frames faded in from lie before it, so
    // they never overlap, whatever n is.
    for (std::int64_t k = 0; k < n; ++k) {
        const double t = static_cast<double>(k + 1) / static_cast<double>(n);
        for (std::int64_t c = 0; c < channels; ++c) {
            const std::int64_t to = (changed.First + k) * channels + c;
            const std::int64_t from = (loop.First - n + k) * channels + c;
            const double v = s.GetValue(to) * (1 - t) + s.GetValue(from) * t;
            if (s.BytesPerSample == 1) {
                values::Store(s.Data8.Data()[to], v);
            } else {
                values::Store(s.Data16.Data()[to], v);
            }
        }
    }
    s.ValuesChanged(changed.First, changed.End);
    return changed;
}

Crossing CrossingAt(const TSample& s, std::int64_t frame) {
    if (frame <= 0 || frame >= s.NumFrames) {
        return Crossing::None;
    }
    const double before = FrameSum(s, frame - 1);
    const double at = FrameSum(s, frame);
    if (before < 0 && at >= 0) {
        return Crossing::Rising;
    }
    if (before >= 0 && at < 0) {
        return Crossing::Falling;
    }
    return Crossing::None;
}

std::int64_t NearestZeroCrossing(const TSample& s, std::int64_t frame, Crossing way,
                                 std::int64_t reach) {
    for (std::int64_t d = 0; d <= reach; ++d) {
        if (Matches(CrossingAt(s, frame - d), way)) {
            return frame - d;
        }
        if (d > 0 && Matches(CrossingAt(s, frame + d), way)) {
            return frame + d;
        }
        if (frame - d <= 0 && frame + d >= s.NumFrames) {
            break;
        }
    }
    return frame;
}

} // namespace sonlet
