#include "model/WavWriter.h"

#include "CapturingReporter.h"
#include "TempDir.h"
#include "WavBuilder.h"
#include "model/Instrument.h"
#include "model/SampleDigest.h"

#include <gtest/gtest.h>

namespace sonlet {
namespace {

TEST(WavWriter, WrittenFilesReadBackUnchanged) {
    testkit::CapturingReporter reporter;
    testkit::TempDir dir;
    struct Case {
        std::int64_t channels;
        std::int64_t bytes;
        std::int64_t rate;
        std::int64_t values;
    };
    for (const Case& c : {Case{1, 2, 22050, 5}, Case{2, 2, 44100, 70000}, Case{2, 1, 8000, 7},
                          Case{1, 1, 11025, 3}}) {
        TSample s;
        s.SetFormat(c.channels, c.bytes, c.rate, c.values * c.bytes);
        for (std::int64_t i = 0; i < c.values; ++i) {
            s.SetValue(static_cast<std::int32_t>(i * 977 % 65536 - 32768), i);
        }
        const std::string path = dir.File("out.wav");
        ASSERT_TRUE(SaveSampleAsWav(s, path));
        TSample back;
        back.LoadFromWav(path);
        EXPECT_EQ(back.Format.nChannels, c.channels);
        EXPECT_EQ(back.BytesPerSample, c.bytes);
        EXPECT_EQ(back.Format.nSamplesPerSec, c.rate);
        // Only whole frames are written.
        EXPECT_EQ(back.NumSamples, c.values / c.channels * c.channels);
        EXPECT_EQ(back.NumFrames, s.NumFrames);
        for (std::int64_t i = 0; i < back.NumSamples; ++i) {
            ASSERT_EQ(back.GetValue(i), s.GetValue(i)) << i;
        }
        // An odd data size is padded to keep the chunks aligned.
        EXPECT_EQ(testkit::ReadAll(path).size() % 2, 0u);
    }
    EXPECT_TRUE(reporter.Messages().empty());
    EXPECT_FALSE(SaveSampleAsWav(TSample(), dir.File("missing/out.wav")));
    EXPECT_EQ(reporter.Texts(), (std::vector<std::string>{"Error opening file for write"}));
}

TEST(Instrument, AddWavSampleKeepsTheOtherSamples) {
    testkit::CapturingReporter reporter;
    testkit::TempDir dir;
    TInstrument inst;
    inst.InitNew();
    inst.InstrumentName = "Keep";
    const std::string wav = dir.Write("a.wav", testkit::WavBuilder::Pcm(2, 22050, 16)
                                                   .DataChunk(testkit::Le16Values({1, 2, 3, 4}))
                                                   .Bytes());
    EXPECT_TRUE(inst.AddWavSample(wav));
    EXPECT_EQ(inst.SampleCount, 2);
    EXPECT_EQ(inst.CurrentIndex, 1);
    EXPECT_EQ(inst.CurrentSample()->NumFrames, 2);
    EXPECT_EQ(inst.CurrentSample()->SelEnd, 1);
    EXPECT_EQ(inst.Samples[0]->NumFrames, 4096);
    EXPECT_EQ(inst.InstrumentName, "Keep");
    while (inst.AddWavSample(wav)) {
    }
    EXPECT_EQ(inst.SampleCount, MaxSamples);
    EXPECT_TRUE(reporter.Messages().empty());
}

} // namespace
} // namespace sonlet
