#include "model/Instrument.h"

#include "CapturingReporter.h"
#include "TempDir.h"
#include "WavBuilder.h"

#include <gtest/gtest.h>
#include <thread>

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

// Records, for every message, whether another thread could take the instrument's edit lock
// at that moment, as the player must be able to while a message box is open.
class LockProbeReporter final : public Reporter {
public:
    explicit LockProbeReporter(const TInstrument& inst) : inst_(inst), scope_(*this) {}

    void ShowBox(std::string_view, std::string_view text, MessageIcon) override { Probe(text); }
    void ShowWarningBox(std::string_view, std::string_view text, MessageIcon) override {
        Probe(text);
    }
    bool AskYesNo(std::string_view, std::string_view text) override { return Probe(text); }
    bool AskRetryIgnore(std::string_view, std::string_view text) override { return Probe(text); }

    std::vector<std::string> texts;
    std::vector<std::string> heldDuring;

private:
    bool Probe(std::string_view text) {
        texts.emplace_back(text);
        std::thread([&] {
            if (!inst_.EditLock().try_lock()) {
                heldDuring.emplace_back(text);
                return;
            }
            inst_.EditLock().unlock();
        }).join();
        return false;
    }

    const TInstrument& inst_;
    ScopedReporter scope_;
};

TEST(Instrument, FailedLoadKeepsTheWholeInstrumentAndNoMessageWaitsOnTheLock) {
    testkit::TempDir dir;
    TInstrument inst;
    LockProbeReporter reporter(inst);
    AddTaggedSamples(inst, 4);
    inst.SetCurrentSample(2);
    inst.CurrentSample()->SetMarkA(0);
    inst.InstrumentName = "Lead";
    inst.VolEnv.Count = 4;
    inst.PanPoints[3].Y = 17;
    inst.Fadeout = 300;
    const TSample* third = inst.CurrentSample();

    const std::vector<std::string> failing = {
        dir.File("missing.wav"),
        dir.Write("text.wav", std::vector<std::uint8_t>{'h', 'e', 'l', 'l', 'o'}),
        dir.Write("24bit.wav", testkit::WavBuilder::Pcm(2, 48000, 24)
                                   .DataChunk(std::vector<std::uint8_t>(60))
                                   .Bytes()),
        dir.File("missing.xi"),
        dir.Write("other.xi", std::vector<std::uint8_t>(400, 'x')),
    };
    for (const std::string& path : failing) {
        EXPECT_FALSE(inst.LoadFromFile(path)) << path;
        ASSERT_EQ(inst.SampleCount, 4) << path;
        EXPECT_EQ(inst.CurrentSample(), third);
        EXPECT_EQ(third->NumFrames, 3);
        EXPECT_EQ(third->MarkA, 0);
        EXPECT_EQ(inst.InstrumentName, "Lead");
        EXPECT_EQ(inst.VolEnv.Count, 4);
        EXPECT_EQ(inst.PanPoints[3].Y, 17);
        EXPECT_EQ(inst.Fadeout, 300);
    }
    EXPECT_EQ(reporter.texts.size(), failing.size());

    // A file cut short still loads, with a warning.
    const auto cut =
        testkit::WavBuilder::Pcm(1, 44100, 16).DataChunk(testkit::Le16Values({1, 2}), 400).Bytes();
    EXPECT_TRUE(inst.LoadFromFile(dir.Write("cut.wav", cut)));
    EXPECT_EQ(inst.SampleCount, 1);
    EXPECT_EQ(inst.CurrentSample()->NumFrames, 2);
    EXPECT_EQ(reporter.texts.back(), FileEndsEarlyText);
    EXPECT_TRUE(reporter.heldDuring.empty());
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
