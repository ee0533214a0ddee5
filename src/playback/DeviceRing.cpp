#include "playback/DeviceRing.h"

#include <algorithm>
#include <chrono>

namespace sonlet {

namespace {

constexpr auto Relaxed = std::memory_order_relaxed;

std::int64_t FloorMod(std::int64_t value, std::int64_t modulus) {
    return ((value % modulus) + modulus) % modulus;
}

std::int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Bursts of callbacks up to this many frames in all are played without a gap after the first.
constexpr std::int64_t BurstFrames = 4096;
// How long a burst's need for lag is remembered: one to two of these.
constexpr std::int64_t NeedWindowFrames = 2 * OutputRate;

} // namespace

RingGeometry RingGeometry::ForDevicePeriod(std::int32_t period) {
    RingGeometry g;
    // Half a period, so that every callback starts on a segment boundary; an odd period is one
    // segment.
    const std::int64_t p = std::max(period, 1);
    g.segmentFrames = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(p % 2 == 0 ? p / 2 : p, MinSegmentFrames, MaxSegmentFrames));
    const std::int64_t s = g.segmentFrames;
    g.noteDelayFrames = 2 * s;
    // Longer periods than two of the largest segments, and bursts, are met by the lag.
    g.maxLagFrames = std::max({3 * s, BurstFrames, std::int64_t{period} - 2 * s});
    // The slots must outlast the lag and the player's lead of two segments; eight at least, so
    // that the note commands place a cursor that runs up to a period ahead of the player.
    g.segmentCount =
        static_cast<std::int32_t>(std::max<std::int64_t>(8, (g.maxLagFrames + s - 1) / s + 4));
    return g;
}

void DeviceRing::SetDevicePeriod(std::int32_t period) {
    if (!frames_) {
        geometry_ = RingGeometry::ForDevicePeriod(period);
    }
}

bool DeviceRing::CreateStreamBuffer() {
    if (!frames_) {
        const auto frames = static_cast<std::size_t>(geometry_.RingFrames());
        frames_ = std::make_unique<std::atomic<std::uint32_t>[]>(frames);
        for (std::size_t i = 0; i < frames; ++i) {
            frames_[i].store(0, Relaxed);
        }
        const auto slots = static_cast<std::size_t>(geometry_.segmentCount);
        tags_ = std::make_unique<std::atomic<std::int64_t>[]>(slots);
        for (std::size_t i = 0; i < slots; ++i) {
            tags_[i].store(-1, Relaxed);
        }
    }
    return true;
}

bool DeviceRing::HasStreamBuffer() const { return frames_ != nullptr; }

std::uint32_t DeviceRing::PlayCursor() const {
    if (!frames_) {
        return 0;
    }
    std::int64_t clock = clock_.load(Relaxed);
    if (predict_) {
        const std::int64_t last = pullEndNs_.load(std::memory_order_acquire);
        const std::int64_t period = pullFrames_.load(Relaxed);
        if (last > 0 && period > 0) {
            const std::int64_t elapsed = (NowNs() - last) * OutputRate / 1'000'000'000;
            clock += std::clamp<std::int64_t>(elapsed, 0, period - 1);
        }
    }
    return static_cast<std::uint32_t>(clock % geometry_.RingFrames()) * FrameBytes;
}

std::int32_t DeviceRing::LockSegment(std::int32_t segment) {
    if (!frames_ || segment < 0 || segment >= geometry_.segmentCount) {
        return RingGenericFailure;
    }
    if (IsLost()) {
        return RingBufferLost;
    }
    locked_ = segment;
    return RingOk;
}

void DeviceRing::WriteLocked(std::span<const std::int16_t> values) {
    const std::int64_t count = geometry_.segmentCount;
    const std::int64_t frames = geometry_.segmentFrames;
    if (locked_ < 0 || values.size() < geometry_.SegmentValues()) {
        return;
    }
    // The player writes the segment after the event it was woken by; a ring segment index
    // names the next absolute segment with that index.
    const std::int64_t absolute = nextWrite_ + FloorMod(locked_ - nextWrite_, count);
    const std::int64_t slot = absolute % count;
    std::atomic<std::uint32_t>* first = &frames_[static_cast<std::size_t>(slot * frames)];
    for (std::size_t m = 0; m < static_cast<std::size_t>(frames); ++m) {
        const auto left = static_cast<std::uint16_t>(values[2 * m]);
        const auto right = static_cast<std::uint16_t>(values[2 * m + 1]);
        first[m].store(static_cast<std::uint32_t>(right) << 16 | left, Relaxed);
    }
    // The tag is published last: the device reads the frames only after seeing it.
    tags_[static_cast<std::size_t>(slot)].store(absolute, std::memory_order_release);
    nextWrite_ = absolute + 1;
    lastWritten_.store(absolute, std::memory_order_release);
}

bool DeviceRing::UnlockSegment() {
    const bool wasLocked = locked_ >= 0;
    locked_ = -1;
    return wasLocked;
}

std::int32_t DeviceRing::WaitForEvent() {
    const std::int64_t event = events_.Wait();
    if (event < 0) {
        return WokenByRequest;
    }
    nextWrite_ = event + 1;
    return static_cast<std::int32_t>(event % geometry_.segmentCount);
}

void DeviceRing::Wake() { events_.Wake(); }

void DeviceRing::Rewind() {
    const std::int64_t written = lastWritten_.load(Relaxed);
    const std::int64_t count = geometry_.segmentCount;
    const std::int64_t start =
        written < 0 ? 0 : (written - written % count) * geometry_.segmentFrames;
    clock_.store(start, Relaxed);
    read_.store(start, Relaxed);
    pullEndNs_.store(0, Relaxed);
    burstWritten_ = -2;
    burstFrames_ = 0;
    windowNeed_ = 0;
    previousNeed_ = 0;
    windowEnd_ = start;
    dozed_ = false;
    quietThrough_ = -1;
    // Playback enters segment 0 as it starts.
    PostEvent(start / geometry_.segmentFrames);
}

void DeviceRing::PostEvent(std::int64_t segment) {
    events_.Post(segment);
    lastPosted_.store(segment, std::memory_order_release);
    posted_.fetch_add(1, Relaxed);
}

void DeviceRing::PostEvents(std::int64_t segment) {
    // Twice a pass, or four times in the smallest rings: often enough that the note commands,
    // which place the cursor by the segment the player last wrote, find it within a pass of
    // that segment even when the player is three segments late.
    const std::int64_t count = geometry_.segmentCount;
    const std::int64_t step = std::max<std::int64_t>(1, std::min(count / 2, count - 6));
    const auto woken = [count, step](std::int64_t s) { return s % count % step == 0; };
    // Ordered against the note command, which ends the doze before it reads the cursor.
    if (dozing_.load(std::memory_order_seq_cst)) {
        dozed_ = true;
        quietThrough_ = segment;
        if (woken(segment)) {
            PostEvent(segment);
        }
        return;
    }
    if (dozed_) {
        dozed_ = false;
        // This segment is written late, if at all: what is missing of it is silence.
        quietThrough_ = segment;
        if (segment >= 1 && !woken(segment - 1)) {
            PostEvent(segment - 1);
        }
    }
    PostEvent(segment);
}

void DeviceRing::Pull(std::uint8_t* stream, std::int32_t frames) {
    const std::int64_t segmentFrames = geometry_.segmentFrames;
    const std::int64_t count = geometry_.segmentCount;
    std::int64_t clock = clock_.load(Relaxed);
    std::int64_t read = read_.load(Relaxed);
    // The frames taken since the player last wrote, less its lead, is the lag this burst of
    // callbacks needs; the most of the last two windows of NeedWindowFrames is kept.
    const std::int64_t written = lastWritten_.load(std::memory_order_acquire);
    if (written != burstWritten_) {
        burstWritten_ = written;
        burstFrames_ = 0;
    }
    // A dozing player writes seldom on purpose: that is no burst to keep a lag for.
    burstFrames_ = dozed_ ? 0 : burstFrames_ + frames;
    const std::int64_t need =
        std::clamp<std::int64_t>(burstFrames_ - 2 * segmentFrames, 0, geometry_.maxLagFrames);
    if (clock >= windowEnd_) {
        previousNeed_ = windowNeed_;
        windowNeed_ = 0;
        windowEnd_ = clock + NeedWindowFrames;
    }
    windowNeed_ = std::max(windowNeed_, need);
    const std::int64_t keep = std::max(windowNeed_, previousNeed_);
    // Divisions once per callback; the loop steps segment and offset itself.
    std::int64_t untilEvent = segmentFrames - clock % segmentFrames;
    std::int64_t segment = read / segmentFrames;
    std::int64_t within = read % segmentFrames;
    auto slot = static_cast<std::size_t>(segment % count);
    for (std::int32_t i = 0; i < frames; ++i) {
        std::uint32_t value = 0;
        std::int64_t advance = 0;
        if (tags_[slot].load(std::memory_order_acquire) == segment) {
            const std::size_t at =
                slot * static_cast<std::size_t>(segmentFrames) + static_cast<std::size_t>(within);
            value = frames_[at].load(Relaxed);
            advance = 1;
            // Silence with more lag than needed: the next frame, silent too, is left out.
            if (value == 0 && clock - read > keep && within + 1 < segmentFrames &&
                frames_[at + 1].load(Relaxed) == 0) {
                advance = 2;
            }
        } else if (segment <= quietThrough_) {
            advance = clock - read > keep && within + 1 < segmentFrames ? 2 : 1;
        } else if (clock - read >= geometry_.maxLagFrames) {
            advance = 1;
        }
        if (advance > 0) {
            read += advance;
            within += advance;
            if (within == segmentFrames) {
                within = 0;
                ++segment;
                slot = static_cast<std::size_t>(segment % count);
            }
        }
        ++clock;
        clock_.store(clock, Relaxed);
        // The event comes as soon as the clock reaches the segment, so a cursor on a segment
        // boundary never belongs to a segment whose event has not been posted.
        if (--untilEvent == 0) {
            untilEvent = segmentFrames;
            PostEvents(clock / segmentFrames);
        }
        std::uint8_t* out = stream + static_cast<std::ptrdiff_t>(i) * FrameBytes;
        out[0] = static_cast<std::uint8_t>(value);
        out[1] = static_cast<std::uint8_t>(value >> 8);
        out[2] = static_cast<std::uint8_t>(value >> 16);
        out[3] = static_cast<std::uint8_t>(value >> 24);
    }
    read_.store(read, Relaxed);
    if (predict_) {
        pullFrames_.store(frames, Relaxed);
        pullEndNs_.store(NowNs(), std::memory_order_release);
    }
}

} // namespace sonlet
