#include "model/Sample.h"

#include "CapturingReporter.h"
#include "SampleBuilder.h"

#include <gtest/gtest.h>

namespace sonlet {
namespace {

TEST(SampleStorage, NewSampleIsEmpty) {
    TSample s;
    EXPECT_EQ(s.Format.nChannels, 0);
    EXPECT_EQ(s.NumFrames, 0);
    EXPECT_TRUE(s.Data8.Empty());
    EXPECT_TRUE(s.Data16.Empty());
    EXPECT_EQ(s.GetValue(0), 0);
    s.SetValue(1000, 0); // ignored, nothing to write into
    EXPECT_EQ(s.PlayEnd, -1);
    EXPECT_EQ(s.SelEnd, -1);
    EXPECT_EQ(s.Volume, 64);
    EXPECT_EQ(s.LoopStart, -1);
}

TEST(SampleStorage, MakeSilentAndMakeEmpty) {
    TSample s;
    s.MakeSilent();
    EXPECT_EQ(s.NumSamples, 8192);
    EXPECT_EQ(s.NumFrames, 4096);
    EXPECT_EQ(s.Data16.BlockCount(), 1);
    EXPECT_TRUE(s.Data8.Empty());
    for (std::int64_t i = 0; i < s.NumSamples; ++i) {
        ASSERT_EQ(s.GetValue(i), 0);
    }
    EXPECT_EQ(s.Format.nBlockAlign, 4);
    EXPECT_EQ(s.Format.nAvgBytesPerSec, 176400u);
    s.MakeEmpty();
    EXPECT_EQ(s.NumFrames, 0);
    EXPECT_EQ(s.Format.nChannels, 2);
    EXPECT_EQ(s.Data16.BlockCount(), 1);
}

TEST(SampleStorage, BlockCountKeepsASpareSlot) {
    auto exact = testkit::MakeSample(BlockSize, 1, {}, 2);
    EXPECT_EQ(exact.Data16.BlockCount(), 2);
    exact.SetValue(1234, BlockSize - 1);
    EXPECT_EQ(exact.Data16.Data()[BlockSize - 1], 1234);
    auto twoBlocks = testkit::MakeSample(BlockSize + 1, 1, {}, 2);
    twoBlocks.SetValue(-77, BlockSize);
    EXPECT_EQ(twoBlocks.Data16.Block(1)[0], -77);
    EXPECT_EQ(twoBlocks.GetValue(BlockSize + 1), 0); // past the end
}

TEST(SampleStorage, ResizingKeepsValuesAndZeroFillsNewBlocks) {
    auto s = testkit::MakeSample(100, 1, {}, 2);
    s.SetValue(555, 99);
    s.SetFormat(1, 2, 44100, 2 * 3 * BlockSize);
    EXPECT_EQ(s.Data16.BlockCount(), 4);
    EXPECT_EQ(s.GetValue(99), 555);
    EXPECT_EQ(s.GetValue(2 * BlockSize + 5), 0);
    s.SetFormat(1, 1, 22050, 10); // switching depth drops the other list
    EXPECT_TRUE(s.Data16.Empty());
    EXPECT_EQ(s.Data8.BlockCount(), 1);
    EXPECT_EQ(s.Format.nSamplesPerSec, 22050u);
}

TEST(SampleStorage, SetFormatWithNegativeSizeOnlySetsFormat) {
    auto s = testkit::MakeSample(10, 1, {}, 2);
    s.SetFormat(2, 1, 8000, -1);
    EXPECT_EQ(s.Format.nChannels, 2);
    EXPECT_EQ(s.BytesPerSample, 1);
    EXPECT_EQ(s.NumSamples, 10);
    EXPECT_EQ(s.DataSize, 20);
}

TEST(SampleValues, EightBitConversionsTruncateAndWrap) {
    auto s = testkit::MakeSample(8, 1, {}, 1);
    struct Case {
        std::int32_t set;
        std::uint8_t stored;
        std::int32_t readBack;
    };
    const Case cases[] = {{-1, 128, 0},        {-256, 127, -256}, {32767, 255, 32512},
                          {-32768, 0, -32768}, {255, 128, 0},     {40000, 28, (28 - 128) * 256}};
    for (const auto& c : cases) {
        s.SetValue(c.set, 3);
        EXPECT_EQ(s.Data8.Data()[3], c.stored) << c.set;
        EXPECT_EQ(s.GetValue(3), c.readBack) << c.set;
    }
}

TEST(SampleValues, SixteenBitStoresLowBits) {
    auto s = testkit::MakeSample(4, 1, {}, 2);
    s.SetValue(40000, 1);
    EXPECT_EQ(s.GetValue(1), 40000 - 65536);
    s.SetValue(-32768, 2);
    EXPECT_EQ(s.GetValue(2), -32768);
    s.SetValue(5, -1);
    s.SetValue(5, 4);
    EXPECT_EQ(s.GetValue(-1), 0);
    s.SwapValues(1, 2);
    EXPECT_EQ(s.GetValue(1), -32768);
    EXPECT_EQ(s.GetValue(2), 40000 - 65536);
}

TEST(SampleValues, InterpolationUsesSameChannelOfNextFrame) {
    auto mono = testkit::MakeSample(3, 1, {}, 2);
    mono.SetValue(100, 0);
    mono.SetValue(200, 1);
    mono.SetValue(1001, 2);
    EXPECT_EQ(mono.GetInterpolated(0.5f, 0), 150);
    EXPECT_EQ(mono.GetInterpolated(0.0f, 1), 200);
    EXPECT_EQ(mono.GetInterpolated(0.5f, 2), 1001); // last frame: its own value
    EXPECT_EQ(mono.GetInterpolated(-0.5f, 0), 50);  // extrapolates before the start

    TSample stereo;
    stereo.SetFormat(2, 2, 44100, 16);
    for (int i = 0; i < 8; ++i) {
        stereo.SetValue(i * 10, i);
    }
    EXPECT_EQ(stereo.GetInterpolated(0.5f, 0), 10);  // 0 and 20
    EXPECT_EQ(stereo.GetInterpolated(0.5f, 4), 50);  // 40 and 60: the last left value
    EXPECT_EQ(stereo.GetInterpolated(0.5f, 5), 50);  // last frame's right value stays
    EXPECT_EQ(stereo.GetInterpolated(0.5f, 7), 70);  // beyond the rule's bound: itself
    EXPECT_EQ(stereo.GetInterpolated(0.25f, 1), 15); // truncation toward zero
}

TEST(SampleRanges, SelectionFromMarks) {
    auto s = testkit::MakeSample(1000, 1, {}, 2);
    s.SetMarkA(100);
    EXPECT_EQ(s.SelStart, 0);
    EXPECT_EQ(s.SelEnd, 100);
    s.SetMarkA(300);
    s.SetMarkB(200);
    EXPECT_EQ(s.SelStart, 200);
    EXPECT_EQ(s.SelEnd, 300);
    s.ClearMarks();
    EXPECT_EQ(s.SelStart, 0);
    EXPECT_EQ(s.SelEnd, 999);
}

TEST(SampleRanges, LoopAndPlayRanges) {
    auto s = testkit::MakeSample(4000, 1, {}, 2);
    s.SetLoopStart(1000);
    s.SetLoopLength(500);
    EXPECT_EQ(s.PlayEnd, 3999); // no loop type yet
    s.SetLoopType(LoopForward);
    EXPECT_EQ(s.LoopStartPos, 1000);
    EXPECT_EQ(s.LoopEndPos, 1499);
    EXPECT_EQ(s.PlayEnd, 1499);
    EXPECT_EQ(s.LoopRestart, 1000);
    s.SetLoopType(LoopNone);
    EXPECT_EQ(s.LoopStartPos, -1);
    EXPECT_EQ(s.LoopEndPos, -1);
    EXPECT_EQ(s.PlayEnd, 3999);
    EXPECT_EQ(s.LoopRestart, 0);
    s.SetLoopType(LoopPingpong);
    s.SetLoopStart(-1);
    EXPECT_EQ(s.LoopRestart, 0);
}

TEST(SampleInfo, TenLabelledLines) {
    testkit::CapturingReporter reporter;
    TSample s;
    s.MakeSilent();
    s.Format.wFormatTag = 3;
    s.ShowInfo();
    const std::string expected = "DataSize:        16384\r\n"
                                 "NumSamples:      8192\r\n"
                                 "NumFrames:       4096\r\n"
                                 "wFormatTag:      3\r\n"
                                 "nChannels:       2\r\n"
                                 "nSamplesPerSec:  44100\r\n"
                                 "nAvgBytesPerSec: 176400\r\n"
                                 "nBlockAlign:     4\r\n"
                                 "wBitsPerSample:  16\r\n"
                                 "cbSize:          0";
    ASSERT_EQ(reporter.Messages().size(), 1u);
    EXPECT_EQ(reporter.Messages()[0].text, expected);
}

} // namespace
} // namespace sonlet
