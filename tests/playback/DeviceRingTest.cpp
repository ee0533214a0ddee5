// A device that takes the ring in chunks and bursts of its own size, driven by the test's
// thread against the real player thread.
#include "playback/DeviceRing.h"

#include "CapturingReporter.h"
#include "SampleBuilder.h"
#include "model/Instrument.h"
#include "playback/Player.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <vector>

namespace sonlet {
namespace {

using namespace std::chrono_literals;

// The player learns of the events of a burst only when the whole burst is over, as with a
// device that takes its callbacks back to back faster than the player can run. Its ring is
// sized for one callback, the period the device grants.
class SimulatedDevice final : public DeviceRing {
public:
    explicit SimulatedDevice(std::int32_t period) { SetDevicePeriod(period); }
    void PullBurst(std::uint8_t* stream, std::int32_t chunk, std::int32_t burst) {
        std::lock_guard lock(burst_);
        for (std::int32_t b = 0; b < burst; ++b) {
            Pull(stream + static_cast<std::ptrdiff_t>(b) * chunk * FrameBytes, chunk);
        }
    }
    std::int32_t WaitForEvent() override {
        const std::int32_t event = DeviceRing::WaitForEvent();
        std::scoped_lock lock(burst_, stall_);
        return event;
    }
    // While the returned lock is held the player handles no event, as if the machine had
    // stopped scheduling it.
    std::unique_lock<std::mutex> StallPlayer() { return std::unique_lock(stall_); }
    bool InitOutput() override { return true; }
    bool Start() override {
        Rewind();
        return true;
    }
    void Stop() override {}
    bool IsLost() override { return false; }
    std::int32_t Restore() override { return RingOk; }

private:
    std::mutex burst_;
    std::mutex stall_;
};

// Waits for a condition the player thread brings about; the limit is a safety net against a
// hung test, never a timing check.
template <typename Condition> bool Eventually(Condition condition) {
    const auto limit = std::chrono::steady_clock::now() + 10s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > limit) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

struct DevicePattern {
    std::int32_t chunk; // frames per callback
    std::int32_t burst; // callbacks back to back, without the player running in between
};

class DevicePeriods : public ::testing::TestWithParam<DevicePattern> {};

TEST_P(DevicePeriods, NoBlockIsStaleNoFrameSilentAndANoteKeepsItsDelayEvenFromADoze) {
    const DevicePattern pattern = GetParam();
    const std::int64_t period = static_cast<std::int64_t>(pattern.chunk) * pattern.burst;
    testkit::CapturingReporter reporter;

    // A looped ramp of 1000 frames: any block from an earlier pass breaks the sequence.
    TInstrument instrument;
    instrument.InitNew();
    TSample& sample = testkit::FillSample(*instrument.CurrentSample(), 1000, 1,
                                          [](std::int64_t f, int) { return (f + 1) * 16; });
    sample.SetLoopStart(0);
    sample.SetLoopLength(1000);
    sample.SetLoopType(LoopForward);
    InstrumentSlot slot{&instrument};

    auto owned = std::make_unique<SimulatedDevice>(pattern.chunk);
    SimulatedDevice& device = *owned;
    const RingGeometry g = device.Geometry();
    // Two segments hold one callback; a burst of several waits for the rest once, at the
    // start, and plays that much later from then on.
    EXPECT_GE(2 * g.segmentFrames, std::min(pattern.chunk, 2 * MaxSegmentFrames));
    const std::int64_t lag = std::max<std::int64_t>(0, period - 2 * g.segmentFrames);
    const std::int64_t segment = g.segmentFrames;
    auto player = TWavePlayer::Create(std::move(owned));
    ASSERT_TRUE(player);
    player->OutputGain = 0.5f;
    player->Resume();
    ASSERT_TRUE(Eventually([&] { return player->Playing(); }));

    // The left channel of everything the device was handed, in order.
    std::vector<std::int16_t> stream;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(period) * FrameBytes);
    // Until the next period, the player writes what the last one woke it for.
    const auto caughtUp = [&] {
        return Eventually([&] { return device.LastWrittenSegment() > device.LastPostedSegment(); });
    };
    const auto playBurst = [&] {
        device.PullBurst(bytes.data(), pattern.chunk, pattern.burst);
        for (std::size_t i = 0; i < bytes.size(); i += FrameBytes) {
            stream.push_back(static_cast<std::int16_t>(bytes[i] | bytes[i + 1] << 8));
        }
        return caughtUp();
    };
    ASSERT_TRUE(caughtUp());

    // With nothing to play, the player is woken a few times a pass, not for every segment.
    const std::int64_t postedBefore = device.PostedEvents();
    while (static_cast<std::int64_t>(stream.size()) < 3 * g.RingFrames() + 2 * period) {
        ASSERT_TRUE(playBurst());
    }
    const std::int64_t passes = static_cast<std::int64_t>(stream.size()) / g.RingFrames() + 1;
    EXPECT_LE(device.PostedEvents() - postedBefore, 4 * passes);
    const auto handed = static_cast<std::int64_t>(stream.size());
    player->NoteOn(slot, 60, 127);
    while (static_cast<std::int64_t>(stream.size()) <
           handed + g.noteDelayFrames + lag + period + std::max<std::int64_t>(24 * segment, 8192)) {
        ASSERT_TRUE(playBurst());
    }
    const std::size_t steady = stream.size();

    // A stalled player: the device plays what was written before, then silence, never the
    // ring's older contents. Afterwards the note goes on without a stale block.
    constexpr std::int64_t SilentFrames = 4096;
    {
        const auto stalled = device.StallPlayer();
        while (static_cast<std::int64_t>(stream.size()) <
               static_cast<std::int64_t>(steady) + 2 * segment + g.maxLagFrames + SilentFrames) {
            device.PullBurst(bytes.data(), pattern.chunk, pattern.burst);
            for (std::size_t i = 0; i < bytes.size(); i += FrameBytes) {
                stream.push_back(static_cast<std::int16_t>(bytes[i] | bytes[i + 1] << 8));
            }
        }
    }
    const std::size_t recovered = stream.size();
    for (std::size_t i = recovered - static_cast<std::size_t>(SilentFrames); i < recovered; ++i) {
        ASSERT_EQ(stream[i], 0) << "frame " << i - steady << " of the stall";
    }
    ASSERT_TRUE(caughtUp());
    while (static_cast<std::int64_t>(stream.size()) <
           static_cast<std::int64_t>(recovered) + std::max<std::int64_t>(8 * segment, 2 * period)) {
        ASSERT_TRUE(playBurst());
    }
    const std::size_t afterStall = stream.size();
    // The stall's lag drains once the note has faded: a few seconds later a new note keeps
    // the delay of the first.
    player->NoteOff(slot, 60);
    while (static_cast<std::int64_t>(stream.size()) <
           static_cast<std::int64_t>(afterStall) + 5 * OutputRate) {
        ASSERT_TRUE(playBurst());
    }
    const auto again = static_cast<std::int64_t>(stream.size());
    player->NoteOn(slot, 60, 127);
    while (static_cast<std::int64_t>(stream.size()) < again + g.noteDelayFrames + lag + period) {
        ASSERT_TRUE(playBurst());
    }
    player->RequestTermination();
    ASSERT_TRUE(player->WaitForEnd(10s));
    std::int64_t second = again;
    while (second < static_cast<std::int64_t>(stream.size()) && stream[second] == 0) {
        ++second;
    }
    EXPECT_EQ(second - again, g.noteDelayFrames + lag) << "after the stall";
    stream.resize(afterStall);
    ASSERT_NE(stream[recovered], 0);
    for (std::size_t i = recovered + 1; i < stream.size(); ++i) {
        ASSERT_EQ(stream[i], (stream[i - 1] + 1) % 8000 + 7)
            << "frame " << i - recovered << " after the stall";
    }
    stream.resize(steady);

    std::int64_t first = 0;
    while (first < static_cast<std::int64_t>(stream.size()) && stream[first] == 0) {
        ++first;
    }
    const std::int64_t delay = first - handed;
    std::printf("[ measured ] chunk %d x %d: NoteOn to first audible frame %lld frames\n",
                pattern.chunk, pattern.burst, static_cast<long long>(delay));
    EXPECT_EQ(delay, g.noteDelayFrames + lag);
    // Ramp value (p + 1) × 16 at full velocity and gain 0.5 comes out as 8p + 7.
    for (std::int64_t t = 0; first + t < static_cast<std::int64_t>(stream.size()); ++t) {
        ASSERT_EQ(stream[static_cast<std::size_t>(first + t)], 8 * (t % 1000) + 7)
            << "frame " << t << " after the note's start";
    }
    EXPECT_TRUE(reporter.Texts().empty());
}

INSTANTIATE_TEST_SUITE_P(
    ChunksAndBursts, DevicePeriods,
    ::testing::Values(DevicePattern{128, 1}, DevicePattern{256, 1}, DevicePattern{256, 8},
                      DevicePattern{512, 1}, DevicePattern{1024, 1}, DevicePattern{1024, 3},
                      DevicePattern{2048, 1}, DevicePattern{2048, 2}, DevicePattern{4096, 1},
                      DevicePattern{256, 16}, DevicePattern{8192, 1}, DevicePattern{16384, 1},
                      DevicePattern{1000, 1}),
    [](const ::testing::TestParamInfo<DevicePattern>& param) {
        return std::to_string(param.param.chunk) + "x" + std::to_string(param.param.burst);
    });

} // namespace
} // namespace sonlet
