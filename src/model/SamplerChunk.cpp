#include "model/SamplerChunk.h"

#include "model/AudioImport.h"
#include "support/FileIO.h"

#include <algorithm>
#include <cmath>

namespace sonlet {

namespace {

constexpr std::size_t UnityNoteOffset = 12;
constexpr std::size_t PitchFractionOffset = 16;
constexpr std::size_t LoopCountOffset = 28;
constexpr std::size_t LoopTypeOffset = 4;
constexpr std::size_t LoopFirstOffset = 8;
constexpr std::size_t LoopLastOffset = 12;
// The player's note that plays a sample frame for frame before its tuning.
constexpr double UntunedNote = 60.0;

} // namespace

std::optional<SmplLoop> FirstSmplLoop(std::span<const std::uint8_t> body) {
    if (body.size() < SmplHeaderSize + SmplLoopSize || LoadLE32(&body[LoopCountOffset]) == 0) {
        return std::nullopt;
    }
    const std::uint8_t* loop = &body[SmplHeaderSize];
    return SmplLoop{LoadLE32(loop + LoopTypeOffset), LoadLE32(loop + LoopFirstOffset),
                    LoadLE32(loop + LoopLastOffset)};
}

void TakeFileLoop(TSample& sample, const SmplLoop& loop) {
    const std::int64_t last = std::min(loop.Last, sample.NumFrames - 1);
    const bool known = loop.Type == SmplLoopForward || loop.Type == SmplLoopAlternating ||
                       loop.Type == SmplLoopBackward;
    if (!known || loop.First < 0 || loop.First > last) {
        return;
    }
    sample.LoopType = loop.Type == SmplLoopAlternating ? LoopPingpong : LoopForward;
    sample.LoopStart = loop.First;
    sample.LoopLength = last - loop.First + 1;
    sample.UpdateRanges();
}

std::vector<std::uint8_t> SmplChunk(const TSample& sample, std::uint32_t rate) {
    const bool looped = (sample.LoopType == LoopForward || sample.LoopType == LoopPingpong) &&
                        sample.LoopStart >= 0 && sample.LoopLength > 0 &&
                        sample.LoopStart < sample.NumFrames;
    const std::size_t size = SmplHeaderSize + (looped ? SmplLoopSize : 0);
    std::vector<std::uint8_t> chunk(8 + size);
    std::copy_n("smpl", 4, chunk.begin());
    StoreLE32(&chunk[4], static_cast<std::uint32_t>(size));
    std::uint8_t* body = &chunk[8];
    StoreLE32(body + 8, static_cast<std::uint32_t>(std::lround(1e9 / std::max(rate, 1u))));

    // The note at which the tuning plays the frames at the file's rate: a whole note and the
    // fraction of a semitone above it. A rest just below the next note is rounding.
    const double note = UntunedNote + 12.0 * std::log2(rate / ExactRateOfTuning(sample));
    double unity = std::floor(note);
    double fraction = note - unity;
    if (fraction > 1.0 - 1.0 / 64) {
        unity += 1;
        fraction = 0;
    }
    if (unity < 0 || unity > 127) {
        unity = std::clamp(unity, 0.0, 127.0);
        fraction = 0;
    }
    StoreLE32(body + UnityNoteOffset, static_cast<std::uint32_t>(unity));
    StoreLE32(body + PitchFractionOffset,
              static_cast<std::uint32_t>(std::min(fraction * 4294967296.0, 4294967295.0)));
    if (looped) {
        StoreLE32(body + LoopCountOffset, 1);
        std::uint8_t* loop = body + SmplHeaderSize;
        const std::int64_t last =
            std::min(sample.LoopStart + sample.LoopLength, sample.NumFrames) - 1;
        StoreLE32(loop + LoopTypeOffset,
                  sample.LoopType == LoopPingpong ? SmplLoopAlternating : SmplLoopForward);
        StoreLE32(loop + LoopFirstOffset, static_cast<std::uint32_t>(sample.LoopStart));
        StoreLE32(loop + LoopLastOffset, static_cast<std::uint32_t>(last));
    }
    return chunk;
}

} // namespace sonlet
