// The mixing path must not allocate: this binary counts every operator new while a scope
// asks for it.
#include "model/Instrument.h"
#include "playback/OfflineRenderer.h"

#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>
#include <new>

namespace {
std::atomic<bool> counting{false};
std::atomic<int> allocations{0};
} // namespace

void* operator new(std::size_t size) {
    if (counting.load()) {
        allocations.fetch_add(1);
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace sonlet {
namespace {

TEST(MixAllocation, SegmentsOfFullVoicesAllocateNothing) {
    TInstrument instrument;
    instrument.InitNew();
    TSample& sample = *instrument.CurrentSample();
    for (std::int64_t i = 0; i < sample.NumSamples; ++i) {
        sample.SetValue(static_cast<std::int32_t>(i * 37 % 20000), i);
    }
    sample.SetLoopStart(100);
    sample.SetLoopLength(2000);
    sample.SetLoopType(LoopPingpong);
    InstrumentSlot slot{&instrument};
    OfflineRenderer renderer;
    for (std::int32_t v = 0; v < VoiceCount; ++v) {
        // Every other voice in tracker playback, whose state the mixer keeps from tick to tick.
        const PlaybackMode mode = v % 2 ? PlaybackMode::Tracker : PlaybackMode::Standard;
        renderer.StartNote(slot, 40 + v, 100, v * 100, mode);
        renderer.ReleaseNote(slot, 40 + v, 3000 + v * 500);
    }
    std::array<std::int16_t, SegmentValues> out{};
    counting = true;
    for (int s = 0; s < 64; ++s) {
        renderer.RenderSegment(out);
    }
    counting = false;
    EXPECT_EQ(allocations.load(), 0);
}

} // namespace
} // namespace sonlet
