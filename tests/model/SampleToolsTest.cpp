// The sample functions beyond the classic ones: gains and fades, echo, conversions,
// resampling and the loop tools, each checked against values worked out here independently.
#include "SampleBuilder.h"
#include "model/AudioImport.h"
#include "model/SampleConvert.h"
#include "model/SampleEcho.h"
#include "model/SampleFunctions.h"
#include "model/SampleGain.h"
#include "model/SampleLoop.h"
#include "model/SampleResample.h"
#include "model/SampleTone.h"
#include "model/XiLayout.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <random>
#include <vector>

namespace sonlet {
namespace {

using testkit::MakeSample;

std::vector<std::int32_t> Values(const TSample& s) {
    std::vector<std::int32_t> out;
    for (std::int64_t i = 0; i < s.NumSamples; ++i) {
        out.push_back(s.GetValue(i));
    }
    return out;
}

TSample Random(std::int64_t frames, int channels, int bytes, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> dist(-32768, 32767);
    return MakeSample(
        frames, channels, [&](std::int64_t, int) { return dist(gen); }, bytes);
}

// What storing x rounded and saturated gives, read back, on either depth.
std::int32_t Saturated(double x, int bytes) {
    if (bytes == 1) {
        return static_cast<std::int32_t>(std::clamp(std::round(x / 256), -128.0, 127.0)) * 256;
    }
    return static_cast<std::int32_t>(std::clamp(std::round(x), -32768.0, 32767.0));
}

TEST(SampleTools, GainsAndFadesFollowTheirFormulasAndSaturate) {
    struct Case {
        GainRamp ramp;
        const char* name;
        double (*gain)(double t); // t from 0 at the first frame to 1 at the last
    };
    const std::vector<Case> cases = {
        {{0.5, 0.5}, "constant 50%", [](double) { return 0.5; }},
        {{10.0, 10.0}, "1000% saturates", [](double) { return 10.0; }},
        {{0.2, 3.0}, "linear ramp", [](double t) { return 0.2 + 2.8 * t; }},
        {{0.0, 1.0, FadeLaw::EqualPower},
         "equal-power in",
         [](double t) { return std::sin(t * std::numbers::pi / 2); }},
        {{1.0, 0.0, FadeLaw::EqualPower},
         "equal-power out",
         [](double t) { return std::cos(t * std::numbers::pi / 2); }},
        {{DecibelsToGain(-6.0), DecibelsToGain(-6.0)},
         "-6 dB",
         [](double) { return 0.501187233627; }},
    };
    const FrameSpan range{100, 900};
    for (int bytes : {1, 2}) {
        for (int channels : {1, 2}) {
            for (const Case& c : cases) {
                TSample s = Random(1000, channels, bytes, 5);
                const auto before = Values(s);
                ApplyGain(s, range, c.ramp);
                for (std::int64_t f = 0; f < 1000; ++f) {
                    const double t = static_cast<double>(f - range.First) / (range.Count() - 1);
                    for (int ch = 0; ch < channels; ++ch) {
                        const auto i = static_cast<std::size_t>(f * channels + ch);
                        const std::int32_t expected = f < range.First || f >= range.End
                                                          ? before[i]
                                                          : Saturated(before[i] * c.gain(t), bytes);
                        ASSERT_NEAR(s.GetValue(static_cast<std::int64_t>(i)), expected,
                                    bytes == 1 ? 256 * 1e-9 : 1e-9)
                            << c.name << " bytes " << bytes << " frame " << f;
                    }
                }
            }
        }
    }
    // The menu's fades: silence at the first frame, the values as they were at the last.
    TSample s = MakeSample(11, 2, [](std::int64_t, int ch) { return ch ? -20000 : 20000; });
    FadeIn(s, AllFrames(s));
    EXPECT_EQ(s.GetValue(0), 0);
    EXPECT_EQ(s.GetValue(10), 10000);
    EXPECT_EQ(s.GetValue(21), -20000);
    ApplyFunction(s, FunctionFadeOut, {0, 11});
    EXPECT_EQ(s.GetValue(10), 5000);
    EXPECT_EQ(s.GetValue(20), 0);
}

TEST(SampleTools, EchoRepeatsInsideTheRangeOnly) {
    for (int bytes : {1, 2}) {
        // An impulse at frame 10, a delay of 100 frames (at 1000 Hz, 100 ms), range 0..349.
        TSample s = MakeSample(
            400, 2,
            [](std::int64_t f, int ch) {
                return f == 10 ? (ch ? -16384 : 16384) : (f >= 350 ? 1280 : 0);
            },
            bytes);
        ApplyEcho(s, {0, 350}, {100.0, 0.5, 0.5}, 1000.0);
        EXPECT_EQ(s.GetValue(20), 16384) << bytes; // the sound itself
        EXPECT_EQ(s.GetValue(2 * 110), 8192);
        EXPECT_EQ(s.GetValue(2 * 110 + 1), -8192);
        EXPECT_EQ(s.GetValue(2 * 210), 4096);
        EXPECT_EQ(s.GetValue(2 * 310), 2048);
        for (std::int64_t f : {11, 109, 111, 209, 349}) {
            EXPECT_EQ(s.GetValue(2 * f), 0) << f;
        }
        // The repeat due at 410 lies past the range: the frames after it keep their values.
        EXPECT_EQ(s.GetValue(2 * 360), 1280);
        EXPECT_EQ(s.GetValue(2 * 399), 1280);
    }
    // Loud repeats saturate instead of wrapping.
    TSample loud = MakeSample(3, 1, [](std::int64_t, int) { return 30000; });
    ApplyEcho(loud, AllFrames(loud), {1.0, 1.0, 1.0}, 1000.0);
    EXPECT_EQ(Values(loud), (std::vector<std::int32_t>{30000, 32767, 32767}));
}

TEST(SampleTools, ConversionsKeepValuesAndPitch) {
    // Invert: exact on both depths, with the most negative value saturating.
    TSample s16 = MakeSample(4, 1, [](std::int64_t f, int) {
        return std::array{-32768, 32767, -5, 0}[static_cast<std::size_t>(f)];
    });
    ApplyFunction(s16, FunctionInvert, AllFrames(s16));
    EXPECT_EQ(Values(s16), (std::vector<std::int32_t>{32767, -32767, 5, 0}));
    TSample s8 = MakeSample(
        3, 1,
        [](std::int64_t f, int) {
            return std::array{-32768, 32512, -256}[static_cast<std::size_t>(f)];
        },
        1);
    ApplyFunction(s8, FunctionInvert, AllFrames(s8));
    EXPECT_EQ(Values(s8), (std::vector<std::int32_t>{32512, -32512, 256}));
    // The sign-bit flip is the old operation and its own inverse.
    TSample flipped = Random(500, 2, 2, 11);
    const auto original = Values(flipped);
    ApplyFunction(flipped, FunctionSignFlip, AllFrames(flipped));
    EXPECT_EQ(flipped.GetValue(0), original[0] < 0 ? original[0] + 32768 : original[0] - 32768);
    ApplyFunction(flipped, FunctionSignFlip, AllFrames(flipped));
    EXPECT_EQ(Values(flipped), original);

    // Depth: 16 to 8 rounds (or dithers, about the same on average); 8 back to 16 is exact.
    TSample wide = Random(20000, 2, 2, 12);
    wide.Finetune = 10;
    const auto exact = ConvertedTo8Bit(wide, false);
    const auto dithered = ConvertedTo8Bit(wide, true);
    double errorSum = 0;
    for (std::int64_t i = 0; i < wide.NumSamples; ++i) {
        ASSERT_EQ(exact->GetValue(i), Saturated(wide.GetValue(i), 1)) << i;
        errorSum += dithered->GetValue(i) - wide.GetValue(i);
        ASSERT_LE(std::abs(dithered->GetValue(i) - wide.GetValue(i)), 2 * 256);
    }
    EXPECT_LT(std::abs(errorSum / static_cast<double>(wide.NumSamples)), 8.0);
    EXPECT_NE(Values(*exact), Values(*dithered));
    // The XI file stores the finetune relative to the depth: the saved pitch stays.
    EXPECT_EQ(exact->Finetune - xi::FinetuneOffset8, wide.Finetune - xi::FinetuneOffset16);
    const auto back = ConvertedTo16Bit(*exact);
    EXPECT_EQ(Values(*back), Values(*exact));
    EXPECT_EQ(back->Finetune, wide.Finetune);
    EXPECT_EQ(ConvertedTo8Bit(*exact, false), nullptr);

    // Channels.
    TSample stereo = MakeSample(
        3, 2, [](std::int64_t f, int ch) { return ch ? -1000 * static_cast<int>(f) - 1 : 3000; });
    EXPECT_EQ(Values(*ConvertedToMono(stereo, MonoSource::Mix)),
              (std::vector<std::int32_t>{1500, 1000, 500}));
    EXPECT_EQ(Values(*ConvertedToMono(stereo, MonoSource::Right)),
              (std::vector<std::int32_t>{-1, -1001, -2001}));
    const auto twice = ConvertedToStereo(*ConvertedToMono(stereo, MonoSource::Left));
    EXPECT_EQ(Values(*twice), (std::vector<std::int32_t>{3000, 3000, 3000, 3000, 3000, 3000}));
    ApplyFunction(stereo, FunctionCopyRightToLeft, {1, 2});
    EXPECT_EQ(Values(stereo), (std::vector<std::int32_t>{3000, -1, -1001, -1001, 3000, -2001}));

    // DC removal: each channel's mean over the range goes, nothing outside it changes.
    TSample offset = MakeSample(
        1000, 2, [](std::int64_t f, int ch) { return (ch ? -3000 : 5000) + (f % 2 ? 700 : -700); });
    ApplyFunction(offset, FunctionRemoveDc, {0, 998});
    EXPECT_EQ(offset.GetValue(0), -700);
    EXPECT_EQ(offset.GetValue(3), 3000 + 700 - 3000);
    EXPECT_EQ(offset.GetValue(1994), 700);
    EXPECT_EQ(offset.GetValue(1996), 4300); // frame 998 lies after the range
    EXPECT_EQ(offset.GetValue(1998), 5700);
}

TEST(SampleTools, ToneDefaultsAreTheClassicToneAndTheWavesHaveTheirShapes) {
    for (int bytes : {1, 2}) {
        TSample classic = Random(3000, 2, bytes, 21);
        TSample tone = Random(3000, 2, bytes, 21);
        classic.SetMarkA(17);
        classic.SetMarkB(2900);
        classic.ApplyFunction(FunctionTone);
        WriteTone(tone, {17, 2901}, ToneParams{});
        EXPECT_EQ(Values(tone), Values(classic)) << bytes;
    }
    TSample s = MakeSample(8, 1);
    const double perRadian = FramesPerRadianOf(44100.0 / 8, 44100.0); // 8 frames a cycle
    WriteTone(s, AllFrames(s), {perRadian, 1000, ToneWave::Square});
    EXPECT_EQ(Values(s),
              (std::vector<std::int32_t>{1000, 1000, 1000, 1000, -1000, -1000, -1000, -1000}));
    WriteTone(s, AllFrames(s), {perRadian, 1000, ToneWave::Triangle});
    EXPECT_EQ(Values(s), (std::vector<std::int32_t>{0, 500, 1000, 500, 0, -500, -1000, -500}));
    WriteTone(s, AllFrames(s), {perRadian, 1000, ToneWave::Saw});
    EXPECT_EQ(Values(s), (std::vector<std::int32_t>{0, 250, 500, 750, -1000, -750, -500, -250}));
}

// Amplitude of the component at exactly `cycles` cycles over values[first..first+n).
double Amplitude(const TSample& s, std::int64_t first, std::int64_t n, double cycles) {
    double a = 0;
    double b = 0;
    for (std::int64_t k = 0; k < n; ++k) {
        const double phase = 2 * std::numbers::pi * cycles * static_cast<double>(k) / n;
        a += s.GetValue(first + k) * std::sin(phase);
        b += s.GetValue(first + k) * std::cos(phase);
    }
    return 2 * std::hypot(a, b) / static_cast<double>(n);
}

TEST(SampleTools, ResamplingKeepsTheSoundClean) {
    if (!CanResample()) {
        GTEST_SKIP() << "built without a resampler";
    }
    // A 1 kHz sine at -1 dBFS, down to 22050 Hz and back.
    const double amplitude = 29204;
    TSample sine = MakeSample(44100, 1, [&](std::int64_t f, int) {
        return static_cast<std::int32_t>(
            std::lround(amplitude * std::sin(2 * std::numbers::pi * 1000 * f / 44100.0)));
    });
    const auto down = Resampled(sine, FramesAtRate(sine, 22050), ResampleKeep::Pitch);
    ASSERT_EQ(down->NumFrames, 22050);
    EXPECT_EQ(RateOfTuning(*down), 22050U);
    const auto up = Resampled(*down, FramesAtRate(*down, 44100), ResampleKeep::Pitch);
    ASSERT_EQ(up->NumFrames, 44100);
    EXPECT_EQ(up->Transpose, sine.Transpose);
    EXPECT_EQ(up->Finetune, sine.Finetune);
    double signal = 0;
    double noise = 0;
    for (std::int64_t f = 2000; f < 42100; ++f) { // the ends see the silence around the sample
        const double d = up->GetValue(f) - sine.GetValue(f);
        signal += static_cast<double>(sine.GetValue(f)) * sine.GetValue(f);
        noise += d * d;
    }
    const double snr = 10 * std::log10(signal / noise);
    std::printf("1 kHz round trip 44100 -> 22050 -> 44100 Hz: SNR %.1f dB\n", snr);
    EXPECT_GE(snr, 90.0);

    // Tones up to 0.45 x the lower rate pass with at most 0.1 dB of ripple.
    constexpr std::int64_t Window = 16384;
    double lowest = 100;
    double highest = -100;
    for (double cycles = 40; cycles * 22050.0 / Window <= 0.45 * 22050; cycles += 367) {
        const double hz = cycles * 22050.0 / Window;
        TSample tone = MakeSample(2 * Window + 8000, 1, [&](std::int64_t f, int) {
            return static_cast<std::int32_t>(
                std::lround(16000 * std::sin(2 * std::numbers::pi * hz * f / 44100.0)));
        });
        const auto out = Resampled(tone, FramesAtRate(tone, 22050), ResampleKeep::Tuning);
        const double db = 20 * std::log10(Amplitude(*out, 2000, Window, cycles) / 16000);
        lowest = std::min(lowest, db);
        highest = std::max(highest, db);
    }
    std::printf("passband up to 0.45 x 22050 Hz: %.5f .. %.5f dB\n", lowest, highest);
    EXPECT_LE(highest - lowest, 0.1);

    // Keeping the tuning: the same tuning, twice the frames, the loop and marks scaled.
    TSample looped = MakeSample(1000, 2, {}, 1);
    looped.LoopType = LoopForward;
    looped.LoopStart = 100;
    looped.LoopLength = 800;
    looped.SetMarkA(999);
    const auto longer = Resampled(looped, 2000, ResampleKeep::Tuning);
    EXPECT_EQ(longer->BytesPerSample, 1);
    EXPECT_EQ(longer->Transpose, looped.Transpose);
    EXPECT_EQ(longer->LoopStart, 200);
    EXPECT_EQ(longer->LoopLength, 1600);
    EXPECT_EQ(longer->MarkA, 1998);
    EXPECT_EQ(Resampled(looped, 0, ResampleKeep::Pitch), nullptr);
}

TEST(SampleTools, LoopToolsLeaveASeamlessLoop) {
    TSample s = MakeSample(1000, 2, [](std::int64_t f, int ch) {
        return static_cast<std::int32_t>(10000 * std::sin(f / 7.3 + ch)) + 300;
    });
    ASSERT_TRUE(SetLoopToRange(s, {400, 801}));
    EXPECT_EQ(s.LoopType, LoopForward);
    EXPECT_EQ(s.LoopEndPos, 800);
    EXPECT_FALSE(SetLoopToRange(s, {1200, 1300}));

    EXPECT_EQ(MaxCrossfadeFrames(s), 400); // the frames before the loop start
    const auto before = Values(s);
    const FrameSpan faded = CrossfadeLoop(s, 5000);
    EXPECT_EQ(faded, (FrameSpan{401, 801}));
    for (int ch = 0; ch < 2; ++ch) {
        // The wrap from the loop end to its start steps as the frames before the start do.
        EXPECT_EQ(s.GetValue(800 * 2 + ch), before[399 * 2 + ch]);
        EXPECT_EQ(s.GetValue(400 * 2 + ch), before[400 * 2 + ch]);
        // Halfway the two are mixed equally.
        EXPECT_NEAR(s.GetValue(600 * 2 + ch), (before[600 * 2 + ch] + before[199 * 2 + ch]) / 2.0,
                    1.0);
    }
    for (std::int64_t i = 0; i < 802; ++i) {
        ASSERT_EQ(s.GetValue(i), before[static_cast<std::size_t>(i)]) << i;
    }

    const auto trimmed = TrimmedAfterLoop(s);
    ASSERT_NE(trimmed, nullptr);
    EXPECT_EQ(trimmed->NumFrames, 801);
    EXPECT_EQ(trimmed->LoopEndPos, 800);
    EXPECT_EQ(trimmed->GetValue(1601), s.GetValue(1601));
    EXPECT_EQ(TrimmedAfterLoop(*trimmed), nullptr);

    // Zero crossings: the nearest one, or the nearest of the same direction.
    TSample wave = MakeSample(
        100, 1, [](std::int64_t f, int) { return f < 30 ? -100 : (f < 60 ? 100 : -100); });
    EXPECT_EQ(CrossingAt(wave, 30), Crossing::Rising);
    EXPECT_EQ(CrossingAt(wave, 60), Crossing::Falling);
    EXPECT_EQ(NearestZeroCrossing(wave, 50, Crossing::Any), 60);
    EXPECT_EQ(NearestZeroCrossing(wave, 50, Crossing::Rising), 30);
    EXPECT_EQ(NearestZeroCrossing(wave, 5, Crossing::Falling), 60);
    EXPECT_EQ(NearestZeroCrossing(wave, 5, Crossing::Falling, 10), 5);
}

} // namespace
} // namespace sonlet
