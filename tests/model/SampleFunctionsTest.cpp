#include "model/Sample.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <vector>

namespace sonlet {
namespace {

// The functions as the Function menu defines them, value by value through GetValue and
// SetValue. The sample's own bulk versions must give exactly the same values.
void ApplyValueByValue(TSample& s, std::int32_t code) {
    const std::int64_t ch = s.Format.nChannels;
    const auto each = [&](auto f) {
        for (std::int64_t frame = s.SelStart; frame <= s.SelEnd; ++frame) {
            for (std::int64_t c = 0; c < ch; ++c) {
                f(frame, frame * ch + c);
            }
        }
    };
    switch (code) {
    case FunctionSilence:
        each([&](std::int64_t, std::int64_t i) { s.SetValue(0, i); });
        break;
    case FunctionTone:
        each([&](std::int64_t f, std::int64_t i) {
            const double x = static_cast<double>(f - s.SelStart) / 60;
            s.SetValue(static_cast<std::int32_t>(std::sin(x) * 256 * 100), i);
        });
        break;
    case FunctionInvert:
        each([&](std::int64_t, std::int64_t i) { s.SetValue(std::min(-s.GetValue(i), 32767), i); });
        break;
    case FunctionSignFlip:
        each([&](std::int64_t, std::int64_t i) { s.SetValue(s.GetValue(i) - 32768, i); });
        break;
    case FunctionReverse: {
        const std::int64_t count = s.SelEnd - s.SelStart + 1;
        for (std::int64_t k = 0; k < count / 2; ++k) {
            for (std::int64_t c = 0; c < ch; ++c) {
                s.SwapValues((s.SelStart + k) * ch + c, (s.SelEnd - k) * ch + c);
            }
        }
        break;
    }
    case FunctionNormalize: {
        std::int32_t peak = 0;
        each([&](std::int64_t, std::int64_t i) { peak = std::max(peak, std::abs(s.GetValue(i))); });
        each([&](std::int64_t, std::int64_t i) {
            const std::int32_t v = s.GetValue(i);
            s.SetValue(peak >= 1 ? v * 32767 / peak : v, i);
        });
        break;
    }
    case FunctionSwapChannels:
        if (ch == 2) {
            each([&](std::int64_t f, std::int64_t i) {
                if (i == f * 2) {
                    s.SwapValues(i, i + 1);
                }
            });
        }
        break;
    case FunctionFlipByZero:
        each([&](std::int64_t, std::int64_t i) { s.SetValue(255 - s.GetValue(i), i); });
        break;
    default:
        break;
    }
}

// A sample of random values; valueCount need not be a whole number of frames.
TSample RandomSample(std::int64_t channels, std::int64_t bytes, std::int64_t valueCount,
                     unsigned seed) {
    TSample s;
    s.SetFormat(channels, bytes, 44100, valueCount * bytes);
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> dist(-32768, 32767);
    for (std::int64_t i = 0; i < valueCount; ++i) {
        s.SetValue(dist(gen), i);
    }
    s.ClearMarks();
    return s;
}

std::vector<std::int32_t> Values(const TSample& s) {
    std::vector<std::int32_t> out;
    for (std::int64_t i = 0; i < s.NumSamples; ++i) {
        out.push_back(s.GetValue(i));
    }
    return out;
}

struct Selection {
    std::int64_t a;
    std::int64_t b;
};

TEST(SampleFunctions, BulkResultsEqualTheValueByValueDefinition) {
    const std::vector<std::int32_t> codes = {FunctionSilence,
                                             FunctionTone,
                                             FunctionInvert,
                                             FunctionSignFlip,
                                             FunctionReverse,
                                             FunctionNormalize,
                                             FunctionEcho,
                                             FunctionVolume,
                                             FunctionSwapChannels,
                                             FunctionFlipByZero,
                                             99};
    // No marks, one mark, a selection in each order, a 5-frame selection, and marks that
    // reach past the end (the view clamps them, the model must not misbehave).
    const std::vector<Selection> selections = {{-1, -1}, {100, -1}, {300, 200},
                                               {1, 5},   {700, 0},  {650, 1040}};
    unsigned seed = 1;
    for (std::int64_t bytes : {1, 2}) {
        for (std::int64_t channels : {1, 2, 3}) {
            // A whole number of frames, and one value more (a partly held last frame).
            for (std::int64_t extra : {0, 1}) {
                for (const Selection& sel : selections) {
                    for (std::int32_t code : codes) {
                        TSample bulk = RandomSample(channels, bytes, 1000 * channels + extra, seed);
                        TSample ref = RandomSample(channels, bytes, 1000 * channels + extra, seed);
                        ++seed;
                        for (TSample* s : {&bulk, &ref}) {
                            s->SetMarkA(sel.a);
                            s->SetMarkB(sel.b);
                        }
                        bulk.ApplyFunction(code);
                        ApplyValueByValue(ref, code);
                        ASSERT_EQ(Values(bulk), Values(ref))
                            << "code " << code << " bytes " << bytes << " channels " << channels
                            << " extra " << extra << " marks " << sel.a << "," << sel.b;
                        EXPECT_EQ(bulk.NumSamples, 1000 * channels + extra);
                    }
                }
            }
        }
    }
}

TEST(SampleFunctions, ExamplesOfEachFunction) {
    TSample s;
    s.SetFormat(1, 2, 44100, 8);
    s.ClearMarks();
    s.ApplyFunction(FunctionTone);
    EXPECT_EQ(Values(s), (std::vector<std::int32_t>{0, 426, 853, 1279}));

    s.SetValue(16384, 0);
    s.SetValue(-8192, 1);
    s.SetValue(0, 2);
    s.SetValue(1, 3);
    s.ApplyFunction(FunctionNormalize);
    EXPECT_EQ(Values(s), (std::vector<std::int32_t>{32767, -16383, 0, 1}));

    s.SetValue(0, 0);
    s.SetValue(1000, 1);
    s.ApplyFunction(FunctionFlipByZero);
    EXPECT_EQ(s.GetValue(0), 255);
    EXPECT_EQ(s.GetValue(1), -745);

    const auto before = Values(s);
    s.ApplyFunction(FunctionSignFlip);
    EXPECT_EQ(s.GetValue(0), 255 - 32768);
    EXPECT_EQ(s.GetValue(1), -745 + 32768);
    s.ApplyFunction(FunctionSignFlip);
    EXPECT_EQ(Values(s), before);

    TSample eight;
    eight.SetFormat(1, 1, 44100, 4);
    eight.Data8.Data()[0] = 128; // signed 0
    eight.Data8.Data()[1] = 129; // signed 1
    eight.Data8.Data()[2] = 100; // signed -28
    eight.ClearMarks();
    eight.ApplyFunction(FunctionFlipByZero);
    EXPECT_EQ(eight.Data8.Data()[0], 128); // -0
    EXPECT_EQ(eight.Data8.Data()[1], 128); // 1 - 1
    EXPECT_EQ(eight.Data8.Data()[2], 156); // 28
    eight.ApplyFunction(FunctionSignFlip);
    EXPECT_EQ(eight.Data8.Data()[0], 0);
}

TEST(SampleFunctions, ReverseAndSilenceTouchOnlyTheSelection) {
    TSample s = RandomSample(2, 2, 2000, 7);
    const auto before = Values(s);
    s.SetMarkA(199);
    s.SetMarkB(100);
    s.ApplyFunction(FunctionReverse);
    for (std::int64_t f = 0; f < 1000; ++f) {
        for (std::int64_t c = 0; c < 2; ++c) {
            const std::int64_t from = (f >= 100 && f <= 199) ? 299 - f : f;
            ASSERT_EQ(s.GetValue(f * 2 + c), before[static_cast<std::size_t>(from * 2 + c)]) << f;
        }
    }
    s.ClearMarks();
    s.ApplyFunction(FunctionSilence);
    EXPECT_EQ(Values(s), std::vector<std::int32_t>(2000, 0));
    EXPECT_EQ(s.Data16.Data()[2000], 0); // nothing beyond the sample was written
}

TEST(SampleFunctions, ReverseUpToTheLargestFrameNumberSilencesWhatItCovers) {
    // Every frame of the data pairs with one far past the end, which reads as silence.
    // The selection's frame count must not overflow on the way (UBSan guards it).
    TSample s = RandomSample(2, 2, 200, 9);
    s.SetMarkA(0);
    s.SetMarkB(std::numeric_limits<std::int64_t>::max());
    s.ApplyFunction(FunctionReverse);
    EXPECT_EQ(Values(s), std::vector<std::int32_t>(200, 0));
}

TEST(SampleFunctions, NoiseStaysInItsRangeOnBothDepths) {
    TSample s16 = RandomSample(1, 2, 5000, 3);
    TSample s8 = RandomSample(2, 1, 5000, 4);
    s8.SetMarkA(0);
    s8.SetMarkB(1999); // the last 500 frames keep their values
    const auto before8 = Values(s8);
    s16.ApplyFunction(FunctionNoise);
    s8.ApplyFunction(FunctionNoise);
    std::int32_t low = 0;
    std::int32_t high = 0;
    for (std::int32_t v : Values(s16)) {
        EXPECT_GE(v, -30000);
        EXPECT_LE(v, 29999);
        low = std::min(low, v);
        high = std::max(high, v);
    }
    EXPECT_LT(low, -25000); // really spread over the range
    EXPECT_GT(high, 25000);
    for (std::int64_t i = 0; i < 4000; ++i) {
        EXPECT_GE(s8.Data8.Data()[i], 11);
        EXPECT_LE(s8.Data8.Data()[i], 245);
    }
    for (std::int64_t i = 4000; i < 5000; ++i) {
        EXPECT_EQ(s8.GetValue(i), before8[static_cast<std::size_t>(i)]);
    }
}

TEST(SampleFunctions, EmptyAndChannellessSamplesAreLeftAlone) {
    TSample fresh; // no format, no blocks
    fresh.SetMarkA(3);
    for (std::int32_t code = 0; code <= FunctionRemoveDc; ++code) {
        fresh.ApplyFunction(code);
    }
    EXPECT_EQ(fresh.NumSamples, 0);
    EXPECT_TRUE(fresh.Data16.Empty());

    TSample empty;
    empty.MakeEmpty();
    empty.ApplyFunction(FunctionReverse);
    empty.ApplyFunction(FunctionNormalize);
    EXPECT_EQ(empty.NumSamples, 0);
}

} // namespace
} // namespace sonlet
