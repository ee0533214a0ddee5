#pragma once

#include <cstdint>
#include <vector>

namespace sonlet {

class TSample;

// The smallest and largest value of a stretch of one channel, on the common 16-bit scale.
struct PeakRange {
    std::int32_t Min = 0;
    std::int32_t Max = 0;
    bool operator==(const PeakRange&) const = default;
};

// Minima and maxima of a sample's values over blocks of frames: level 0 covers
// 2^BaseShift frames a block, each further level twice as many, up to one block for the
// whole sample. It takes about one thirtieth of the values' memory, and answers the peaks of
// any stretch exactly from a few dozen reads, so a lane paints in time that does not grow
// with the sample's length.
//
// Thread use: only the thread that edits the sample updates or reads its summary (the GUI
// thread); the player never reads it.
class TWaveSummary {
public:
    static constexpr int BaseShift = 6;

    // True when the summary was last updated for a sample of this sample's shape (frames,
    // channels, bytes per value).
    bool Matches(const TSample& sample) const;
    // Follows a change of frames first..end-1 of sample; any range is accepted and clamped.
    // When the shape changed, everything from the first frame that may differ to the end is
    // recomputed (the whole sample when channels or depth changed). Cost: the changed frames
    // plus a few values per level.
    void Update(const TSample& sample, std::int64_t first, std::int64_t end);
    void Clear();

    // The exact peaks of channel over frames first..end-1, clamped to the sample; {0, 0} for
    // an empty range. When the summary does not describe this sample (it was never updated,
    // or memory ran out), the values are read directly, at most a few thousand of them, so the
    // answer is then only approximate.
    PeakRange Range(const TSample& sample, std::int32_t channel, std::int64_t first,
                    std::int64_t end) const;

    std::int64_t Levels() const { return static_cast<std::int64_t>(levels_.size()); }

private:
    void Recompute(const TSample& sample, std::int64_t first, std::int64_t end);
    PeakRange Block(std::size_t level, std::int64_t block, std::int32_t channel) const;

    std::int64_t frames_ = 0;
    std::int64_t channels_ = 0;
    std::int32_t bytes_ = 0;
    bool valid_ = true;
    // Level k: for each block, for each channel, the minimum and then the maximum.
    std::vector<std::vector<std::int16_t>> levels_;
};

} // namespace sonlet
