#include "model/Instrument.h"
#include "playback/OfflineRenderer.h"

#include <array>
#include <future>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace sonlet {
namespace {

// A 16-bit sample whose value at frame f (every channel) is value(f).
template <typename ValueOf>
void FillSample(TInstrument& instrument, std::int64_t frames, std::int64_t channels,
                ValueOf value) {
    instrument.InitNew();
    TSample& sample = *instrument.CurrentSample();
    sample.SetFormat(channels, 2, 44100, frames * channels * 2);
    sample.ResetParams();
    for (std::int64_t f = 0; f < frames; ++f) {
        for (std::int64_t ch = 0; ch < channels; ++ch) {
            sample.SetValue(value(f), f * channels + ch);
        }
    }
}

void SetLoop(TInstrument& instrument, std::uint8_t type, std::int64_t start, std::int64_t length) {
    TSample& sample = *instrument.CurrentSample();
    sample.SetLoopStart(start);
    sample.SetLoopLength(length);
    sample.SetLoopType(type);
}

struct Rendered {
    std::vector<float> left;
    std::vector<float> right;
    std::int16_t status = VoiceHeld;
    // First frame after which the voice was free; -1 if it never ended.
    std::int64_t freedAt = -1;
};

// Renders n frames of one voice in blocks of 1024 with a volume that leaves every value as
// the sample frame gives it (volume / 32768 = 1).
Rendered Render(const TInstrument& instrument, std::int32_t note, std::int64_t frames,
                std::int16_t status = VoiceHeld, std::int64_t sinceOn = 0,
                std::int64_t sinceOff = -1'000'000) {
    Rendered out;
    out.status = status;
    const double ratio = PitchRatioFor(note);
    for (std::int64_t done = 0; done < frames; done += SegmentFrames) {
        std::array<float, SegmentFrames> left{};
        std::array<float, SegmentFrames> right{};
        instrument.RenderBlock(sinceOn + done, sinceOff + done, 32768.0f, ratio, out.status,
                               SegmentFrames, left, right);
        out.left.insert(out.left.end(), left.begin(), left.end());
        out.right.insert(out.right.end(), right.begin(), right.end());
        if (out.status == VoiceFree && out.freedAt < 0) {
            out.freedAt = done;
        }
    }
    out.left.resize(static_cast<std::size_t>(frames));
    out.right.resize(static_cast<std::size_t>(frames));
    return out;
}

TEST(Render, PitchStepsFollowNoteAndTranspose) {
    TInstrument instrument;
    FillSample(instrument, 20000, 1, [](std::int64_t f) { return static_cast<std::int32_t>(f); });
    const Rendered unison = Render(instrument, 60, 4096);
    for (std::size_t k = 0; k < 4096; ++k) {
        ASSERT_EQ(unison.left[k], static_cast<float>(k)) << k;
    }
    // Note 48 steps half a frame (interpolated), 72 two frames.
    const Rendered low = Render(instrument, 48, 2048);
    EXPECT_EQ(low.left[1], 0.0f);
    EXPECT_EQ(low.left[3], 1.0f);
    EXPECT_EQ(low.left[2000], 1000.0f);
    const Rendered high = Render(instrument, 72, 2048);
    EXPECT_EQ(high.left[1000], 2000.0f);
    // Note 61: the step is the float nearest 1.059463094359, so frame 1000 sits at
    // position 1059.46...; the value is truncated.
    const Rendered up = Render(instrument, 61, 2048);
    EXPECT_EQ(up.left[1000], 1059.0f);
    // Transpose +12 doubles the step of note 60.
    instrument.CurrentSample()->Transpose = 12;
    EXPECT_EQ(Render(instrument, 60, 2048).left[1000], 2000.0f);
}

TEST(Render, StereoChannelsAndMonoCopy) {
    TInstrument instrument;
    instrument.InitNew();
    TSample& sample = *instrument.CurrentSample();
    sample.SetFormat(2, 2, 44100, 100 * 4);
    sample.ResetParams();
    for (std::int64_t f = 0; f < 100; ++f) {
        sample.SetValue(static_cast<std::int32_t>(f), 2 * f);
        sample.SetValue(static_cast<std::int32_t>(-f), 2 * f + 1);
    }
    const Rendered stereo = Render(instrument, 60, 64);
    EXPECT_EQ(stereo.left[10], 10.0f);
    EXPECT_EQ(stereo.right[10], -10.0f);

    FillSample(instrument, 100, 1, [](std::int64_t f) { return static_cast<std::int32_t>(f); });
    const Rendered mono = Render(instrument, 60, 64);
    EXPECT_EQ(mono.right[10], 10.0f);
}

TEST(Render, PositionsBeforeTheStart) {
    TInstrument instrument;
    FillSample(instrument, 100, 1, [](std::int64_t f) { return 100 + 100 * static_cast<int>(f); });
    // Note 48: one frame before the start is position -0.5, which extrapolates from frames 0
    // and 1 (100 × 1.5 - 200 × 0.5); two frames before is -1.0 and silent.
    const Rendered r = Render(instrument, 48, 8, VoiceHeld, -2);
    EXPECT_EQ(r.left[0], 0.0f);
    EXPECT_EQ(r.left[1], 50.0f);
    EXPECT_EQ(r.left[2], 100.0f);
}

TEST(Render, ForwardLoopRepeatsItsRange) {
    TInstrument instrument;
    FillSample(instrument, 3000, 1, [](std::int64_t f) { return static_cast<std::int32_t>(f); });
    SetLoop(instrument, LoopForward, 1000, 500);
    const Rendered r = Render(instrument, 60, 4000);
    for (std::int64_t k = 0; k < 4000; ++k) {
        const std::int64_t expected = k < 1500 ? k : 1000 + (k - 1500) % 500;
        ASSERT_EQ(r.left[static_cast<std::size_t>(k)], static_cast<float>(expected)) << k;
    }
    EXPECT_EQ(r.status, VoiceHeld);
}

TEST(Render, PingpongLoopTurnsOnBothEnds) {
    TInstrument instrument;
    FillSample(instrument, 3000, 1, [](std::int64_t f) { return static_cast<std::int32_t>(f); });
    SetLoop(instrument, LoopPingpong, 1000, 500);
    const Rendered r = Render(instrument, 60, 4000);
    for (std::int64_t k = 0; k < 4000; ++k) {
        std::int64_t expected = k;
        if (k >= 1500) {
            const std::int64_t rel = k - 1000;
            const std::int64_t within = rel % 500;
            expected = (rel / 500) % 2 != 0 ? 1499 - within : 1000 + within;
        }
        ASSERT_EQ(r.left[static_cast<std::size_t>(k)], static_cast<float>(expected)) << k;
    }

    // Half steps (note 48) on a ramp of 100 per frame, loop 100..149: position x on the way
    // back plays frame 299 - x, so odd output frames fall between two frames.
    FillSample(instrument, 200, 1, [](std::int64_t f) { return 100 * static_cast<int>(f); });
    SetLoop(instrument, LoopPingpong, 100, 50);
    const Rendered half = Render(instrument, 48, 500);
    for (std::int64_t m = 300; m < 500; ++m) {
        const std::int64_t expected = m < 400 ? 29900 - 50 * m : 50 * m - 10000;
        ASSERT_EQ(half.left[static_cast<std::size_t>(m)], static_cast<float>(expected)) << m;
    }
}

TEST(Render, UnloopedSampleEndsItsVoice) {
    TInstrument instrument;
    FillSample(instrument, 1500, 1,
               [](std::int64_t f) { return 1 + static_cast<std::int32_t>(f); });
    const Rendered r = Render(instrument, 60, 2048);
    EXPECT_EQ(r.left[1499], 1500.0f);
    EXPECT_EQ(r.left[1500], 0.0f);
    EXPECT_EQ(r.left[2000], 0.0f);
    EXPECT_EQ(r.status, VoiceFree);
    EXPECT_EQ(r.freedAt, 1024);
}

TEST(Render, EmptyLoopRangeEndsTheVoiceInsteadOfDividingByZero) {
    TInstrument instrument;
    FillSample(instrument, 1000, 1, [](std::int64_t) { return 500; });
    // Loop length 0: the play range ends at frame 49, before the loop's restart frame 50.
    SetLoop(instrument, LoopForward, 50, 0);
    const Rendered forward = Render(instrument, 60, 1024);
    EXPECT_EQ(forward.left[49], 500.0f);
    EXPECT_EQ(forward.left[50], 0.0f);
    EXPECT_EQ(forward.status, VoiceFree);
    SetLoop(instrument, LoopPingpong, 50, 0);
    EXPECT_EQ(Render(instrument, 60, 1024).status, VoiceFree);
}

TEST(Render, EmptySampleEndsAtOnce) {
    TInstrument instrument;
    instrument.InitNew();
    instrument.CurrentSample()->MakeEmpty();
    const Rendered r = Render(instrument, 60, 16);
    EXPECT_EQ(r.status, VoiceFree);
    EXPECT_EQ(r.left[0], 0.0f);
}

// Frames after the release until the voice frees itself, and whether it is still audible on
// the frame before.
std::int64_t FramesUntilFree(std::uint16_t fadeout, std::int64_t limit) {
    TInstrument instrument;
    FillSample(instrument, 1000, 1, [](std::int64_t) { return 20000; });
    SetLoop(instrument, LoopForward, 0, 1000);
    instrument.Fadeout = fadeout;
    std::int16_t status = VoiceReleased;
    for (std::int64_t done = 0; done < limit; done += SegmentFrames) {
        std::array<float, SegmentFrames> left{};
        std::array<float, SegmentFrames> right{};
        instrument.RenderBlock(100'000 + done, done, 32768.0f, 1.0, status, SegmentFrames, left,
                               right);
        for (std::size_t m = 0; m < left.size(); ++m) {
            if (left[m] == 0.0f) {
                EXPECT_EQ(status, VoiceFree);
                return done + static_cast<std::int64_t>(m);
            }
        }
        EXPECT_EQ(status, VoiceReleased);
    }
    return -1;
}

TEST(Render, FadeoutFreesTheVoiceAfterItsFrameCount) {
    EXPECT_EQ(FramesUntilFree(1024, 20000), 8614);
    EXPECT_EQ(FramesUntilFree(2047, 20000), 4309);
    EXPECT_EQ(FramesUntilFree(0, 200000), -1);
}

TEST(Render, FadeIsLinearAndHeldBeforeTheRelease) {
    TInstrument instrument;
    FillSample(instrument, 1000, 1, [](std::int64_t) { return 10000; });
    SetLoop(instrument, LoopForward, 0, 1000);
    instrument.Fadeout = 1024;
    // Released 100 frames into the block: full level until then.
    const Rendered r = Render(instrument, 60, 4410, VoiceReleased, 0, -100);
    EXPECT_EQ(r.left[99], 10000.0f);
    EXPECT_EQ(r.left[100], 10000.0f);
    // 4306.6 frames after the release the gain is 50 %.
    EXPECT_NEAR(r.left[100 + 4307], 5000.0f, 2.0f);
}

// Levels and clipping, end to end through the segment conversion.
class Levels : public ::testing::Test {
protected:
    void SetUp() override {
        slot.store(&instrument);
        instrument.InitNew();
        TSample& sample = *instrument.CurrentSample();
        sample.SetFormat(2, 2, 44100, 4096 * 4);
        sample.ResetParams();
        sample.SetLoopStart(0);
        sample.SetLoopLength(4096);
        sample.SetLoopType(LoopForward);
    }
    void Fill(std::int32_t value) {
        TSample& sample = *instrument.CurrentSample();
        for (std::int64_t i = 0; i < sample.NumSamples; ++i) {
            sample.SetValue(value, i);
        }
    }
    std::array<std::int16_t, SegmentValues> Segment(OfflineRenderer& renderer) {
        std::array<std::int16_t, SegmentValues> out{};
        renderer.RenderSegment(out);
        return out;
    }

    TInstrument instrument;
    InstrumentSlot slot{nullptr};
};

TEST_F(Levels, OneVoiceTwoVoicesAndClipping) {
    Fill(16384);
    OfflineRenderer one;
    one.StartNote(slot, 60, 127, 0);
    for (std::int16_t v : Segment(one)) {
        ASSERT_EQ(v, 8191);
    }
    OfflineRenderer two;
    two.StartNote(slot, 60, 127, 0);
    two.StartNote(slot, 60, 127, 0);
    EXPECT_EQ(Segment(two)[100], 16383);

    Fill(32767);
    OfflineRenderer three;
    for (int i = 0; i < 3; ++i) {
        three.StartNote(slot, 60, 127, 0);
    }
    EXPECT_EQ(Segment(three)[100], 32767);
    Fill(-32768);
    OfflineRenderer low;
    for (int i = 0; i < 3; ++i) {
        low.StartNote(slot, 60, 127, 0);
    }
    EXPECT_EQ(Segment(low)[100], -32768);
}

TEST_F(Levels, NoteStartsAtItsExactFrame) {
    Fill(16384);
    OfflineRenderer renderer;
    renderer.StartNote(slot, 60, 127, 1500);
    Segment(renderer);
    const auto second = Segment(renderer);
    EXPECT_EQ(second[2 * (1500 - 1024) - 1], 0);
    EXPECT_EQ(second[2 * (1500 - 1024)], 8191);
}

TEST_F(Levels, EmptySlotOrNoSampleFreesTheVoice) {
    Fill(16384);
    InstrumentSlot empty{nullptr};
    OfflineRenderer renderer;
    renderer.StartNote(empty, 60, 127, 0);
    EXPECT_EQ(Segment(renderer)[0], 0);
    EXPECT_EQ(renderer.Voices().Read(0).Status, VoiceFree);

    OfflineRenderer noSample;
    noSample.StartNote(slot, 60, 127, 0);
    instrument.SetCurrentSample(-1);
    EXPECT_EQ(Segment(noSample)[0], 0);
    EXPECT_EQ(noSample.Voices().Read(0).Status, VoiceFree);
}

TEST_F(Levels, EditLockHeldElsewhereSilencesTheSegmentAndTimeGoesOn) {
    Fill(16384);
    OfflineRenderer renderer;
    renderer.StartNote(slot, 60, 127, 0);
    std::promise<void> locked;
    std::promise<void> release;
    std::thread editor([&] {
        InstrumentEditGuard guard(instrument.EditLock());
        locked.set_value();
        release.get_future().wait();
    });
    locked.get_future().wait();
    const auto during = Segment(renderer);
    release.set_value();
    editor.join();
    EXPECT_EQ(during[0], 0);
    EXPECT_EQ(renderer.Voices().Read(0).Status, VoiceHeld);
    EXPECT_EQ(Segment(renderer)[0], 8191);
}

} // namespace
} // namespace sonlet
