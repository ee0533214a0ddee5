#include "model/Instrument.h"

#include "CapturingReporter.h"
#include "TempDir.h"
#include "WavBuilder.h"

#include <gtest/gtest.h>

namespace sonlet {
namespace {

// Gives each sample a distinct frame count so tests can tell them apart.
void AddTaggedSamples(TInstrument& inst, int count) {
    for (int i = 0; i < count; ++i) {
        inst.AddSample();
        inst.CurrentSample()->SetFormat(1, 2, 44100, 2 * (i + 1));
    }
}

TEST(Instrument, NewInstrumentHasOneSilentSample) {
    TInstrument inst;
    EXPECT_EQ(inst.SampleCount, 0);
    EXPECT_EQ(inst.CurrentIndex, -1);
    EXPECT_EQ(inst.CurrentSample(), nullptr);
    inst.InitNew();
    EXPECT_EQ(inst.SampleCount, 1);
    EXPECT_EQ(inst.CurrentIndex, 0);
    EXPECT_EQ(inst.CurrentSample()->NumFrames, 4096);
    EXPECT_EQ(inst.Fadeout, 1024);
}

TEST(Instrument, AddStopsAtSixteen) {
    TInstrument inst;
    AddTaggedSamples(inst, 17);
    EXPECT_EQ(inst.SampleCount, MaxSamples);
    EXPECT_EQ(inst.CurrentIndex, 15);
    EXPECT_TRUE(inst.IsFull());
}

TEST(Instrument, DeleteMovesLaterSamplesDownAndFollowsTheCurrent) {
    TInstrument inst;
    AddTaggedSamples(inst, 3);
    inst.SetCurrentSample(0);
    inst.DeleteSample(-1);
    EXPECT_EQ(inst.SampleCount, 2);
    EXPECT_EQ(inst.CurrentIndex, 0);
    EXPECT_EQ(inst.CurrentSample()->NumFrames, 2); // the former sample 1

    TInstrument b;
    AddTaggedSamples(b, 3);
    b.SetCurrentSample(2);
    b.DeleteSample(1);
    EXPECT_EQ(b.CurrentIndex, 1);
    EXPECT_EQ(b.CurrentSample()->NumFrames, 3);

    TInstrument c;
    AddTaggedSamples(c, 3);
    c.SetCurrentSample(0);
    c.DeleteSample(2);
    EXPECT_EQ(c.CurrentIndex, 0);
    EXPECT_EQ(c.SampleCount, 2);
    EXPECT_EQ(c.Samples[2], nullptr);

    c.DeleteSample(5); // no such sample
    EXPECT_EQ(c.SampleCount, 2);
    c.DeleteSample(0);
    c.DeleteSample(0); // the last sample stays
    EXPECT_EQ(c.SampleCount, 1);
}

TEST(Instrument, CurrentSampleIsNoneForAnIndexOutOfRange) {
    TInstrument inst;
    AddTaggedSamples(inst, 2);
    inst.SetCurrentSample(7);
    EXPECT_EQ(inst.CurrentSample(), nullptr);
}

TEST(Instrument, WavLoadReplacesSamplesAndKeepsInstrumentFields) {
    testkit::CapturingReporter reporter;
    testkit::TempDir dir;
    TInstrument inst;
    AddTaggedSamples(inst, 3);
    inst.InstrumentName = "Lead";
    inst.VolEnv.Count = 4;
    inst.Fadeout = 300;
    const auto bytes =
        testkit::WavBuilder::Pcm(1, 44100, 16).DataChunk(testkit::Le16Values({1, 2, 3})).Bytes();
    for (const char* name : {"tone.wave", "noextension", "kick.WAV"}) {
        inst.LoadFromFile(dir.Write(name, bytes));
        EXPECT_EQ(inst.SampleCount, 1) << name;
        EXPECT_EQ(inst.CurrentSample()->NumFrames, 3);
        EXPECT_EQ(inst.CurrentSample()->SelEnd, 2); // marks cleared, ranges valid
    }
    EXPECT_TRUE(reporter.Messages().empty());
    EXPECT_EQ(inst.InstrumentName, "Lead");
    EXPECT_EQ(inst.VolEnv.Count, 4);
    EXPECT_EQ(inst.Fadeout, 1024);
}

TEST(Instrument, SaveToFileIgnoresOtherExtensions) {
    testkit::CapturingReporter reporter;
    testkit::TempDir dir;
    TInstrument inst;
    inst.InitNew();
    inst.SaveToFile(dir.File("out.wav"));
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.wav")));
    EXPECT_TRUE(reporter.Messages().empty());
}

} // namespace
} // namespace sonlet
