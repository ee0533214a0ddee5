#include "CapturingReporter.h"
#include "TempDir.h"
#include "WavBuilder.h"
#include "XiBuilder.h"
#include "model/Instrument.h"

#include <gtest/gtest.h>

namespace sonlet {
namespace {

using testkit::XiBuilder;
using testkit::XiSampleSpec;

class XiRead : public ::testing::Test {
protected:
    // Loads the bytes through the editor's Open path.
    void Load(const std::vector<std::uint8_t>& bytes, const std::string& name = "in.xi") {
        inst.LoadFromFile(dir.Write(name, bytes));
    }
    TSample& Sample(int i) { return *inst.Samples[static_cast<std::size_t>(i)]; }

    testkit::CapturingReporter reporter;
    testkit::TempDir dir;
    TInstrument inst;
};

XiSampleSpec WithHeader(std::uint8_t type, std::uint32_t loopStart, std::uint32_t loopLength) {
    XiSampleSpec s = XiSampleSpec::Deltas16(std::vector<std::int16_t>(1600, 0));
    s.type = type;
    s.loopStart = loopStart;
    s.loopLength = loopLength;
    return s;
}

TEST_F(XiRead, TypeByteGivesDepthAndLoop) {
    XiBuilder xi;
    xi.samples = {WithHeader(0x11, 2000, 1000), WithHeader(0x10, 2000, 1000),
                  WithHeader(0x03, 10, 20),     WithHeader(0x01, 10, 0),
                  WithHeader(0x08, 0, 0),       WithHeader(0x04, 0, 0),
                  WithHeader(0x02, 0, 4)};
    Load(xi.Bytes(), "TONE.XI");
    ASSERT_TRUE(reporter.Messages().empty());
    ASSERT_EQ(inst.SampleCount, 7);
    EXPECT_EQ(inst.CurrentIndex, 0);

    EXPECT_EQ(Sample(0).BytesPerSample, 2);
    EXPECT_EQ(Sample(0).LoopType, LoopForward);
    EXPECT_EQ(Sample(0).LoopStart, 1000);
    EXPECT_EQ(Sample(0).LoopLength, 500);
    EXPECT_EQ(Sample(0).LoopEndPos, 1499);
    EXPECT_EQ(Sample(1).LoopType, LoopNone);
    EXPECT_EQ(Sample(1).LoopStart, 1000);
    EXPECT_EQ(Sample(1).LoopLength, 500);
    // Type 3 has no bit of the 16-bit group: 8-bit, so the loop bytes are frames.
    EXPECT_EQ(Sample(2).BytesPerSample, 1);
    EXPECT_EQ(Sample(2).LoopType, LoopPingpong);
    EXPECT_EQ(Sample(2).LoopStart, 10);
    EXPECT_EQ(Sample(3).LoopType, LoopNone);
    EXPECT_EQ(Sample(4).BytesPerSample, 2);
    EXPECT_EQ(Sample(5).BytesPerSample, 2);
    EXPECT_EQ(Sample(6).LoopType, LoopPingpong);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(Sample(i).Format.nChannels, 1);
        EXPECT_EQ(Sample(i).Format.nSamplesPerSec, 44100u);
    }
}

TEST_F(XiRead, ParameterBytesAreOffsetAsStored) {
    XiBuilder xi;
    XiSampleSpec a = XiSampleSpec::Deltas16({1, 2});
    a.panning = 0x80;
    a.relativeNote = 17;
    a.finetune = -28;
    a.volume = 200; // taken without clamping
    a.name = "Kick";
    XiSampleSpec b = XiSampleSpec::Deltas8({1, 2});
    b.panning = 0;
    b.relativeNote = 0;
    b.finetune = -39;
    b.name = std::string(22, 'N'); // a name filling all 22 bytes
    xi.samples = {a, b};
    Load(xi.Bytes());
    EXPECT_EQ(Sample(0).Panning, 0);
    EXPECT_EQ(Sample(0).Transpose, 0);
    EXPECT_EQ(Sample(0).Finetune, 0);
    EXPECT_EQ(Sample(0).Volume, 200);
    EXPECT_EQ(Sample(0).SampleName, "Kick");
    EXPECT_EQ(Sample(1).Panning, -128);
    EXPECT_EQ(Sample(1).Transpose, -17);
    EXPECT_EQ(Sample(1).Finetune, 0);
    EXPECT_EQ(Sample(1).SampleName, std::string(22, 'N'));
}

TEST_F(XiRead, DataAreDeltaDecodedPerSample) {
    XiBuilder xi;
    XiSampleSpec eight;
    eight.data = {10, 10, static_cast<std::uint8_t>(-30)};
    eight.length = 3;
    XiSampleSpec sixteen;
    testkit::PutLE16(sixteen.data, 1000);
    testkit::PutLE16(sixteen.data, static_cast<std::uint16_t>(-3000));
    sixteen.length = 4;
    sixteen.type = 0x10;
    // A 16-bit run of odd length: its last byte is no value, but the run still takes it,
    // so the next sample's data start where the file has them.
    XiSampleSpec odd = XiSampleSpec::Deltas16({7});
    odd.data.push_back(0x55);
    odd.length = 3;
    xi.samples = {eight, sixteen, odd, XiSampleSpec::Deltas16({3000, -3000})};
    Load(xi.Bytes());
    ASSERT_TRUE(reporter.Messages().empty());
    EXPECT_EQ(Sample(2).NumSamples, 1);
    EXPECT_EQ(Sample(2).GetValue(0), 7);
    EXPECT_EQ(Sample(3).GetValue(0), 3000);
    EXPECT_EQ(Sample(3).GetValue(1), -3000);
    const TSample& s8 = Sample(0);
    ASSERT_EQ(s8.NumSamples, 3);
    EXPECT_EQ(s8.Data8.Data()[0], 138);
    EXPECT_EQ(s8.Data8.Data()[1], 148);
    EXPECT_EQ(s8.Data8.Data()[2], 118);
    EXPECT_EQ(s8.Data8.Data()[3], 0); // the spare slot stays zero
    const TSample& s16 = Sample(1);
    ASSERT_EQ(s16.NumSamples, 2);
    EXPECT_EQ(s16.GetValue(0), 1000);
    EXPECT_EQ(s16.GetValue(1), -2000);
    EXPECT_EQ(s16.DataSize, 4);
    EXPECT_EQ(s16.NumFrames, 2);
    EXPECT_EQ(s16.SelEnd, 1);
}

TEST_F(XiRead, InstrumentBlockFillsTheEditableFields) {
    XiBuilder xi;
    xi.name = "Lead";
    xi.trackerName = "Some other tracker!!";
    xi.version = 0x0101;
    xi.block[96 + 4] = 0x10; // volume point 1: x = 16
    xi.block[96 + 6] = 0x40; //                 y = 64
    xi.block[144 + 44] = 0x34;
    xi.block[144 + 45] = 0x12; // panning point 11: x = 0x1234
    xi.block[192] = 2;
    xi.block[193] = 12;
    xi.block[194] = 1;
    xi.block[195] = 3;
    xi.block[196] = 4;
    xi.block[197] = 5;
    xi.block[198] = 6;
    xi.block[199] = 7;
    xi.block[200] = 0xFD; // on, loop, and bits that mean nothing
    xi.block[201] = 0x02;
    xi.block[206] = 0x00;
    xi.block[207] = 0x02; // fadeout 512
    Load(xi.Bytes());
    EXPECT_TRUE(reporter.Messages().empty());
    EXPECT_EQ(inst.XiName, std::string("Lead") + std::string(18, '\0'));
    EXPECT_EQ(inst.InstrumentName, inst.XiName);
    EXPECT_EQ(inst.TrackerName, "Some other tracker!!");
    EXPECT_EQ(inst.XiVersion, 0x0101);
    EXPECT_EQ(inst.XiSampleCount, 0);
    EXPECT_EQ(inst.VolPoints[1].X, 16);
    EXPECT_EQ(inst.VolPoints[1].Y, 64);
    EXPECT_EQ(inst.PanPoints[11].X, 0x1234);
    EXPECT_EQ(inst.VolEnv.Count, 2);
    EXPECT_EQ(inst.PanEnv.Count, 12);
    EXPECT_EQ(inst.VolEnv.Sustain, 1);
    EXPECT_EQ(inst.VolEnv.LoopStart, 3);
    EXPECT_EQ(inst.VolEnv.LoopEnd, 4);
    EXPECT_EQ(inst.PanEnv.Sustain, 5);
    EXPECT_EQ(inst.PanEnv.LoopStart, 6);
    EXPECT_EQ(inst.PanEnv.LoopEnd, 7);
    EXPECT_EQ(inst.VolEnv.Enabled, 1);
    EXPECT_EQ(inst.VolEnv.SustainOn, 0);
    EXPECT_EQ(inst.VolEnv.LoopOn, 1);
    EXPECT_EQ(inst.PanEnv.Enabled, 0);
    EXPECT_EQ(inst.PanEnv.SustainOn, 1);
    EXPECT_EQ(inst.Fadeout, 512);
    // No sample declared: one empty sample, current.
    EXPECT_EQ(inst.SampleCount, 1);
    EXPECT_EQ(inst.CurrentIndex, 0);
    EXPECT_EQ(inst.CurrentSample()->NumSamples, 0);
}

TEST_F(XiRead, RefusesOtherFilesAndKeepsTheInstrument) {
    inst.InitNew();
    inst.LoadFromFile(dir.File("missing.xi"));
    auto bytes = XiBuilder().Bytes();
    bytes[0] = 'e'; // the signature is compared case-sensitively
    Load(bytes);
    EXPECT_EQ(reporter.Texts(), (std::vector<std::string>{"File not found", "Not a valid file"}));
    EXPECT_EQ(inst.SampleCount, 1);
    EXPECT_EQ(inst.CurrentSample()->NumFrames, 4096);

    // Only the first 20 bytes are compared: byte 20 may be anything.
    reporter.Reset();
    bytes = XiBuilder().Bytes();
    bytes[20] = 'X';
    Load(bytes);
    EXPECT_TRUE(reporter.Messages().empty());
}

TEST_F(XiRead, MoreThanSixteenSamplesLoadsTheFirstSixteen) {
    XiBuilder xi;
    for (int i = 0; i < 18; ++i) {
        xi.samples.push_back(XiSampleSpec::Deltas16({static_cast<std::int16_t>(i + 1)}));
    }
    Load(xi.Bytes());
    EXPECT_EQ(reporter.Texts(),
              (std::vector<std::string>{"Only the first 16 samples were loaded"}));
    ASSERT_EQ(inst.SampleCount, MaxSamples);
    for (int i = 0; i < MaxSamples; ++i) {
        // The extra headers are skipped, so each sample still finds its own data.
        EXPECT_EQ(Sample(i).GetValue(0), i + 1) << i;
    }
}

TEST_F(XiRead, TruncatedDataKeepsWhatTheFileHolds) {
    XiBuilder xi;
    XiSampleSpec whole = XiSampleSpec::Deltas16({5, 6, 7, 8});
    XiSampleSpec cut = XiSampleSpec::Deltas16({1, 2, 3, 4, 5, 6});
    XiSampleSpec missing = XiSampleSpec::Deltas8({1, 2, 3});
    cut.data.resize(5); // two and a half values remain
    missing.data.clear();
    xi.samples = {whole, cut, missing};
    Load(xi.Bytes());
    EXPECT_EQ(reporter.Messages(), (std::vector<testkit::CapturedMessage>{{
                                       "Warning",
                                       std::string(FileEndsEarlyText),
                                       MessageIcon::Warning,
                                       true,
                                   }}));
    ASSERT_EQ(inst.SampleCount, 3);
    EXPECT_EQ(Sample(0).NumSamples, 4);
    EXPECT_EQ(Sample(1).NumSamples, 2);
    EXPECT_EQ(Sample(1).DataSize, 4);
    EXPECT_EQ(Sample(1).GetValue(1), 2);
    EXPECT_EQ(Sample(1).PlayEnd, 1);
    EXPECT_EQ(Sample(2).NumSamples, 0);
    EXPECT_EQ(Sample(2).Data8.BlockCount(), 1);
}

TEST_F(XiRead, HugeDeclaredLengthAllocatesOnlyWhatTheFileHolds) {
    // Guards against a crafted length making the reader allocate gigabytes.
    XiBuilder xi;
    XiSampleSpec s = XiSampleSpec::Deltas16({1, 2, 3});
    s.length = 0xFFFFFFFF;
    xi.samples = {s, s};
    Load(xi.Bytes());
    EXPECT_EQ(reporter.Texts(), std::vector<std::string>{std::string(FileEndsEarlyText)});
    EXPECT_EQ(Sample(0).NumSamples, 6); // the first run takes every byte that is left
    EXPECT_EQ(Sample(0).Data16.BlockCount(), 1);
    EXPECT_EQ(Sample(1).NumSamples, 0);
}

TEST_F(XiRead, ShortHeadersGiveOneMessageAndEmptySamples) {
    XiBuilder xi;
    xi.samples = {XiSampleSpec::Deltas16({1, 2})};
    xi.declaredCount = 4;
    auto bytes = xi.Bytes();
    bytes.resize(298 + 40 + 10); // the second header is cut
    Load(bytes);
    // The header's message tells of the early end; no second message repeats it.
    EXPECT_EQ(reporter.Messages(),
              (std::vector<testkit::CapturedMessage>{
                  {"Error", "Error reading sample header", MessageIcon::Information, true}}));
    ASSERT_EQ(inst.SampleCount, 4);
    EXPECT_EQ(Sample(0).BytesPerSample, 2);
    EXPECT_EQ(Sample(0).NumSamples, 0); // its data were never in the file
    for (int i = 1; i < 4; ++i) {
        EXPECT_EQ(Sample(i).NumSamples, 0);
        EXPECT_EQ(Sample(i).Volume, 64); // creation defaults
    }

    // A file that ends inside the fixed header reads the missing bytes as zero, and says so.
    reporter.Reset();
    bytes.resize(30);
    Load(bytes);
    EXPECT_EQ(reporter.Texts(), std::vector<std::string>{std::string(FileEndsEarlyText)});
    EXPECT_EQ(inst.SampleCount, 1);
    EXPECT_EQ(inst.Fadeout, 0);
}

} // namespace
} // namespace sonlet
