#include "playback/DeviceRing.h"

namespace sonlet {

namespace {

constexpr std::int64_t RingFrames = RingBytes / FrameBytes;
constexpr auto Relaxed = std::memory_order_relaxed;

std::int64_t FloorMod(std::int64_t value, std::int64_t modulus) {
    return ((value % modulus) + modulus) % modulus;
}

} // namespace

bool DeviceRing::CreateStreamBuffer() {
    if (!frames_) {
        const auto frames = static_cast<std::size_t>(SlotCount * SegmentFrames);
        frames_ = std::make_unique<std::atomic<std::uint32_t>[]>(frames);
        for (std::size_t i = 0; i < frames; ++i) {
            frames_[i].store(0, Relaxed);
        }
        tags_ = std::make_unique<std::atomic<std::int64_t>[]>(static_cast<std::size_t>(SlotCount));
        for (std::size_t i = 0; i < static_cast<std::size_t>(SlotCount); ++i) {
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
    return static_cast<std::uint32_t>(clock_.load(Relaxed) % RingFrames) * FrameBytes;
}

std::int32_t DeviceRing::LockSegment(std::int32_t segment) {
    if (!frames_ || segment < 0 || segment >= SegmentCount) {
        return RingGenericFailure;
    }
    if (IsLost()) {
        return RingBufferLost;
    }
    locked_ = segment;
    return RingOk;
}

void DeviceRing::WriteLocked(std::span<const std::int16_t, SegmentValues> values) {
    if (locked_ < 0) {
        return;
    }
    // The player writes the segment after the event it was woken by; a ring segment index
    // names the next absolute segment with that index.
    const std::int64_t absolute = nextWrite_ + FloorMod(locked_ - nextWrite_, SegmentCount);
    const std::int64_t slot = absolute % SlotCount;
    std::atomic<std::uint32_t>* first = &frames_[static_cast<std::size_t>(slot * SegmentFrames)];
    for (std::size_t m = 0; m < static_cast<std::size_t>(SegmentFrames); ++m) {
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
    return static_cast<std::int32_t>(event % SegmentCount);
}

void DeviceRing::Wake() { events_.Wake(); }

void DeviceRing::Rewind() {
    const std::int64_t written = lastWritten_.load(Relaxed);
    const std::int64_t start = written < 0 ? 0 : (written - written % SegmentCount) * SegmentFrames;
    clock_.store(start, Relaxed);
    read_.store(start, Relaxed);
    // Playback enters segment 0 as it starts.
    PostEvent(start / SegmentFrames);
}

void DeviceRing::PostEvent(std::int64_t segment) {
    events_.Post(segment);
    lastPosted_.store(segment, std::memory_order_release);
}

void DeviceRing::Pull(std::uint8_t* stream, std::int32_t frames) {
    std::int64_t clock = clock_.load(Relaxed);
    std::int64_t read = read_.load(Relaxed);
    for (std::int32_t i = 0; i < frames; ++i) {
        std::uint32_t value = 0;
        const std::int64_t segment = read / SegmentFrames;
        const auto slot = static_cast<std::size_t>(segment % SlotCount);
        if (tags_[slot].load(std::memory_order_acquire) == segment) {
            value =
                frames_[slot * SegmentFrames + static_cast<std::size_t>(read % SegmentFrames)].load(
                    Relaxed);
            ++read;
        } else if (clock - read >= MaxLagFrames) {
            ++read;
        }
        ++clock;
        clock_.store(clock, Relaxed);
        // The event comes as soon as the clock reaches the segment, so a cursor on a segment
        // boundary never belongs to a segment whose event has not been posted.
        if (clock % SegmentFrames == 0) {
            PostEvent(clock / SegmentFrames);
        }
        std::uint8_t* out = stream + static_cast<std::ptrdiff_t>(i) * FrameBytes;
        out[0] = static_cast<std::uint8_t>(value);
        out[1] = static_cast<std::uint8_t>(value >> 8);
        out[2] = static_cast<std::uint8_t>(value >> 16);
        out[3] = static_cast<std::uint8_t>(value >> 24);
    }
    read_.store(read, Relaxed);
}

} // namespace sonlet
