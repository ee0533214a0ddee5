#include "CapturingReporter.h"
#include "SampleBuilder.h"
#include "TempDir.h"
#include "WavBuilder.h"
#include "XiBuilder.h"
#include "model/AudioImport.h"
#include "model/Instrument.h"
#include "model/SampleDigest.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace sonlet {
namespace {

namespace fs = std::filesystem;
using testkit::XiBuilder;

// The superuser may write a read-only file.
bool WritesReadOnlyFiles() {
#ifdef _WIN32
    return false;
#else
    return ::geteuid() == 0;
#endif
}
using testkit::XiSampleSpec;

class XiWrite : public ::testing::Test {
protected:
    std::vector<std::uint8_t> Save(TInstrument& i, const std::string& name = "out.xi") {
        i.SaveToFile(dir.File(name));
        return testkit::ReadAll(dir.File(name));
    }
    void Reload(const std::string& name = "out.xi") { back.LoadFromFile(dir.File(name)); }
    void Load(const std::vector<std::uint8_t>& bytes) {
        reporter.Reset();
        back.LoadFromFile(dir.Write("in.xi", bytes));
    }

    testkit::CapturingReporter reporter;
    testkit::TempDir dir;
    TInstrument inst;
    TInstrument back;
};

void Fill16(TSample& s, int channels, const std::vector<std::int16_t>& values) {
    testkit::FillSample(s, std::ssize(values) / channels, channels, [&](std::int64_t f, int c) {
        return values[static_cast<std::size_t>(f * channels + c)];
    });
}

TEST_F(XiWrite, BytesMatchTheLayout) {
    inst.Clear();
    inst.AddSample();
    TSample& a = *inst.CurrentSample();
    Fill16(a, 1, {1000, -2000, 32767});
    a.Volume = 40;
    a.Panning = -100;
    a.Finetune = 5;
    a.Transpose = -3;
    a.SetLoopType(LoopPingpong);
    a.SetLoopStart(1);
    a.SetLoopLength(2);
    inst.AddSample();
    TSample& b = *inst.CurrentSample();
    b.SetFormat(1, 1, 8000, 3);
    b.Data8.Data()[0] = 138; // signed 10, 20, -10
    b.Data8.Data()[1] = 148;
    b.Data8.Data()[2] = 118;
    b.ResetParams();
    b.Finetune = -1;
    inst.InstrumentName = "Pad";
    inst.VolPoints[0] = {0, 64};
    inst.VolEnv = {1, 0, 0, 0, 1, 0, 1};
    inst.Fadeout = 2047;

    XiBuilder want;
    want.name = "Pad";
    want.block[96 + 2] = 64;
    want.block[192] = 1;
    want.block[200] = 5;
    want.block[206] = 0xFF;
    want.block[207] = 0x07;
    XiSampleSpec wa = XiSampleSpec::Deltas16({1000, -2000, 32767});
    wa.type = 0x12;
    wa.loopStart = 2;
    wa.loopLength = 4;
    wa.volume = 40;
    wa.panning = 28;
    wa.finetune = 5 - 28;
    wa.relativeNote = 14;
    XiSampleSpec wb = XiSampleSpec::Deltas8({10, 20, -10});
    wb.finetune = -1 - 39;
    wb.relativeNote = 17;
    want.samples = {wa, wb};

    EXPECT_EQ(Save(inst), want.Bytes());
    EXPECT_TRUE(reporter.Messages().empty());

    // A longer name is cut to its field; nothing after it moves.
    inst.InstrumentName = "A name much longer than twenty-two characters";
    want.name = inst.InstrumentName.substr(0, 22);
    EXPECT_EQ(Save(inst), want.Bytes());
    EXPECT_EQ(inst.XiName, want.name);
}

TEST_F(XiWrite, UnsetLoopAndOddSizeGiveHeadersOtherTrackersRead) {
    // Before: a loop start of -1 was written as FFFFFFFE and an odd 16-bit DataSize as a
    // length one byte longer than the data, which shifted every later sample.
    inst.Clear();
    inst.AddSample();
    TSample& s = *inst.CurrentSample();
    s.SetFormat(1, 2, 44100, 7);
    s.ResetParams();
    s.LoopLength = -5;
    inst.AddSample();
    Fill16(*inst.CurrentSample(), 1, {42});
    const auto bytes = Save(inst);
    ASSERT_EQ(bytes.size(), 298u + 80 + 6 + 2);
    EXPECT_EQ(bytes[298 + 0], 6);
    for (int i = 4; i < 12; ++i) {
        EXPECT_EQ(bytes[298 + static_cast<std::size_t>(i)], 0) << i;
    }
    Reload();
    ASSERT_EQ(back.SampleCount, 2);
    EXPECT_EQ(back.Samples[0]->NumSamples, 3);
    EXPECT_EQ(back.Samples[1]->GetValue(0), 42);
}

TEST_F(XiWrite, LoadAndSaveKeepWhatTheFileHolds) {
    XiBuilder xi;
    xi.name = "Strings  "; // trailing blanks are part of the name
    xi.trackerName = "MilkyTracker        ";
    xi.version = 0x0101;
    for (std::size_t i = 0; i < 96; ++i) {
        xi.block[i] = static_cast<std::uint8_t>(i % 3);
    }
    xi.block[202] = 1;
    xi.block[203] = 2;
    xi.block[204] = 3;
    xi.block[205] = 4;
    for (std::size_t i = 208; i < 230; ++i) {
        xi.block[i] = static_cast<std::uint8_t>(i);
    }
    XiSampleSpec a = XiSampleSpec::Deltas16({100, -100, 5000, -32768, 32767});
    a.type = 0x11;
    a.loopStart = 2;
    a.loopLength = 6;
    a.reserved = 0xAB;
    a.name = "Violin";
    a.relativeNote = -12;
    a.finetune = 100;
    a.panning = 3;
    XiSampleSpec b = XiSampleSpec::Deltas8({-128, 0, 127, 1});
    b.type = 0x02;
    b.loopLength = 2;
    b.finetune = -80;
    b.name = "Bow";
    xi.samples = {a, b};
    const std::string in = dir.Write("in.xi", xi.Bytes());

    inst.LoadFromFile(in);
    inst.PanPoints[3] = {77, 33};
    const auto saved = Save(inst);
    EXPECT_TRUE(reporter.Messages().empty());

    auto expected = xi.Bytes();
    // The tracker name and version become this program's; the panning point edit is kept.
    std::copy_n("FastTracker v2.00   ", 20, expected.begin() + 44);
    expected[64] = 0x02;
    expected[65] = 0x01;
    expected[66 + 144 + 12] = 77;
    expected[66 + 144 + 14] = 33;
    EXPECT_EQ(saved, expected);

    Reload();
    EXPECT_EQ(back.PanPoints[3].X, 77);
    EXPECT_EQ(back.InstrumentName, inst.InstrumentName);
    for (int i = 0; i < 2; ++i) {
        const TSample& x = *inst.Samples[static_cast<std::size_t>(i)];
        const TSample& y = *back.Samples[static_cast<std::size_t>(i)];
        EXPECT_EQ(ValuesFnv1a64(x), ValuesFnv1a64(y));
        EXPECT_EQ(x.Finetune, y.Finetune); // both depths undo their own offset
        EXPECT_EQ(x.LoopType, y.LoopType);
        EXPECT_EQ(x.SampleName, y.SampleName);
    }
}

// Before: a stereo sample was written as its interleaved values in one unmarked run, which
// every reader took for a mono sample of twice the length: an octave down, and a buzz where
// the channels differ.
TEST_F(XiWrite, StereoSamplesSurviveASaveInTheSplitForm) {
    inst.Clear();
    inst.AddSample();
    TSample& s = *inst.CurrentSample();
    Fill16(s, 2, {100, -100, 200, -300, 300, 500, 400, -700});
    s.SetLoopType(LoopPingpong);
    s.SetLoopStart(1);
    s.SetLoopLength(2);
    inst.AddSample();
    Fill16(*inst.CurrentSample(), 1, {42});

    XiBuilder want;
    want.name = "";
    want.block[207] = 0x04; // fadeout 1024
    XiSampleSpec stereo = XiSampleSpec::Stereo16({100, 200, 300, 400}, {-100, -300, 500, -700});
    stereo.type = 0x32;
    stereo.loopStart = 1 * 2 * 2; // frames x bytes x channels
    stereo.loopLength = 2 * 2 * 2;
    XiSampleSpec mono = XiSampleSpec::Deltas16({42});
    for (XiSampleSpec* spec : {&stereo, &mono}) {
        spec->finetune = -28;
        spec->relativeNote = 17;
    }
    want.samples = {stereo, mono};
    const auto bytes = Save(inst);
    EXPECT_EQ(bytes, want.Bytes());

    Reload();
    ASSERT_EQ(back.SampleCount, 2);
    const TSample& b = *back.Samples[0];
    EXPECT_EQ(b.Format.nChannels, 2);
    EXPECT_EQ(b.NumFrames, 4);
    EXPECT_EQ(b.DataSize, 16);
    EXPECT_EQ(ValuesFnv1a64(b), ValuesFnv1a64(s));
    EXPECT_EQ(b.LoopType, LoopPingpong);
    EXPECT_EQ(b.LoopStart, 1);
    EXPECT_EQ(b.LoopLength, 2);
    EXPECT_EQ(back.Samples[1]->GetValue(0), 42);
    EXPECT_TRUE(reporter.Messages().empty());

    // A file without the stereo bit, as this program wrote stereo samples before, still
    // reads as one mono sample of twice the length.
    auto earlier = bytes;
    earlier[298 + 14] = 0x12;
    Load(earlier);
    EXPECT_EQ(back.Samples[0]->Format.nChannels, 1);
    EXPECT_EQ(back.Samples[0]->NumFrames, 8);
    EXPECT_EQ(back.Samples[0]->LoopStart, 2);
}

// A stereo sample written by OpenMPT reads as stereo and is saved back byte for byte; a file
// cut inside its right channel keeps the left one whole.
TEST_F(XiWrite, OpenMptStereoSamplesReadAndSaveUnchanged) {
    XiBuilder xi;
    std::vector<std::int16_t> left(3000);
    std::vector<std::int16_t> right(3000);
    for (std::size_t i = 0; i < left.size(); ++i) {
        left[i] = static_cast<std::int16_t>(i * 7);
        right[i] = static_cast<std::int16_t>(-static_cast<int>(i) * 11);
    }
    XiSampleSpec a = XiSampleSpec::Stereo16(left, right);
    a.type = 0x31;
    a.loopStart = 400 * 4;
    a.loopLength = 1000 * 4;
    a.finetune = -20;
    a.relativeNote = 5;
    a.reserved = 0xAD;
    a.name = "Wide pad";
    XiSampleSpec b = XiSampleSpec::Deltas8({1, -2, 3});
    b.name = "Click";
    xi.samples = {a, b};
    const auto in = xi.Bytes();
    Load(in);
    ASSERT_TRUE(reporter.Messages().empty());
    const TSample& s = *back.Samples[0];
    EXPECT_EQ(s.Format.nChannels, 2);
    EXPECT_EQ(s.NumFrames, 3000);
    EXPECT_EQ(s.GetValue(2 * 2999), left[2999]);
    EXPECT_EQ(s.GetValue(2 * 2999 + 1), right[2999]);
    EXPECT_EQ(s.LoopStart, 400);
    EXPECT_EQ(s.LoopLength, 1000);
    EXPECT_EQ(back.Samples[1]->GetValue(2), 3 * 256);

    back.SaveToFile(dir.File("again.xi"));
    const auto out = testkit::ReadAll(dir.File("again.xi"));
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin() + 298, out.end()),
              std::vector<std::uint8_t>(in.begin() + 298, in.end()));

    auto cut = in;
    cut.resize(298 + 80 + 6000 + 1000); // a sixth of the right channel is left
    Load(cut);
    EXPECT_EQ(reporter.Texts(), std::vector<std::string>{std::string(FileEndsEarlyText)});
    EXPECT_EQ(back.Samples[0]->NumFrames, 3000);
    EXPECT_EQ(back.Samples[0]->GetValue(2 * 499 + 1), right[499]);
    EXPECT_EQ(back.Samples[0]->GetValue(2 * 500 + 1), 0);
    EXPECT_EQ(back.Samples[0]->GetValue(2 * 2999), left[2999]);
}

// Before: Finetune -128 of a 16-bit sample was stored as -156, which wraps to byte +100: the
// sample played sharp where the user had set it flat.
TEST_F(XiWrite, FinetuneBeyondItsByteCarriesIntoTheRelativeNote) {
    inst.Clear();
    inst.AddSample();
    TSample& a = *inst.CurrentSample();
    Fill16(a, 1, {1});
    a.Finetune = -128;
    inst.AddSample();
    TSample& b = *inst.CurrentSample();
    b.SetFormat(1, 1, 44100, 1);
    b.Finetune = 200;
    EXPECT_EQ((std::pair{a.FinetuneMin(), a.FinetuneMax()}), (std::pair{-100, 155}));
    EXPECT_EQ((std::pair{b.FinetuneMin(), b.FinetuneMax()}), (std::pair{-89, 166}));

    const auto bytes = Save(inst);
    EXPECT_EQ(static_cast<std::int8_t>(bytes[298 + 13]), -28);
    EXPECT_EQ(bytes[298 + 16], 16);
    EXPECT_EQ(static_cast<std::int8_t>(bytes[338 + 13]), 200 - 39 - 128);
    EXPECT_EQ(bytes[338 + 16], 18);
    Reload();
    for (int i = 0; i < 2; ++i) {
        const TSample& x = *inst.Samples[static_cast<std::size_t>(i)];
        const TSample& y = *back.Samples[static_cast<std::size_t>(i)];
        EXPECT_EQ(ExactRateOfTuning(y), ExactRateOfTuning(x)) << i;
        EXPECT_EQ(RateOfTuning(y), RateOfTuning(x)) << i;
    }
    EXPECT_EQ(back.Samples[0]->Transpose, -1);
    EXPECT_EQ(back.Samples[0]->Finetune, 0);
}

TEST_F(XiWrite, NeverLoadedInstrumentWritesZeroBlockBytes) {
    inst.InitNew();
    inst.AddSample();
    const auto bytes = Save(inst);
    ASSERT_GE(bytes.size(), 298u + 80);
    for (std::size_t i = 0; i < 96; ++i) {
        EXPECT_EQ(bytes[66 + i], 0);
    }
    for (std::size_t i = 202; i < 206; ++i) {
        EXPECT_EQ(bytes[66 + i], 0);
    }
    EXPECT_EQ(bytes[296], 2);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 21, bytes.begin() + 43),
              std::vector<std::uint8_t>(22, 0));
    // The empty sample added last is written as an 8-bit sample of length 0.
    EXPECT_EQ(bytes[298 + 40 + 14], 0);
    EXPECT_EQ(bytes.size(), 298u + 80 + 16384);
}

TEST_F(XiWrite, UnwritableTargetsAreRefusedWithoutATrace) {
    inst.InitNew();
    fs::create_directory(dir.File("folder.xi"));
    inst.SaveToFile(dir.File("folder.xi"));
    inst.SaveToFile(dir.File("no/such/folder/out.xi"));
    EXPECT_EQ(reporter.Texts(), (std::vector<std::string>{"Error opening file for write",
                                                          "Error opening file for write"}));
    std::ptrdiff_t entries = 1;
    if (!WritesReadOnlyFiles()) {
        ++entries;
        reporter.Reset();
        const std::string locked = dir.Write("locked.xi", std::vector<std::uint8_t>{1, 2, 3});
        fs::permissions(locked, fs::perms::owner_read);
        inst.SaveToFile(locked);
        EXPECT_EQ(reporter.Texts(), (std::vector<std::string>{"Error opening file for write"}));
        EXPECT_EQ(testkit::ReadAll(locked), (std::vector<std::uint8_t>{1, 2, 3}));
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), entries);
}

TEST_F(XiWrite, ReplacingKeepsPermissionsAndFollowsLinks) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX permissions and links";
#endif
    inst.InitNew();
    const std::string target = dir.Write("keep.xi", std::vector<std::uint8_t>{9});
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(target, dir.File("link.xi"));
    inst.SaveToFile(dir.File("link.xi"));
    EXPECT_TRUE(reporter.Messages().empty());
    EXPECT_TRUE(fs::is_symlink(dir.File("link.xi")));
    EXPECT_EQ(testkit::ReadAll(target).size(), 298u + 40 + 16384);
    EXPECT_EQ(fs::status(target).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(XiWrite, AFailedWriteLeavesTheOldFileAsItWas) {
    // Before: the target was truncated first, so a full disk destroyed the old instrument.
    const std::vector<std::uint8_t> old(100, 0x55);
    const std::string target = dir.Write("old.xi", old);
    inst.InitNew();
    inst.CurrentSample()->SetFormat(1, 2, 44100, 1 << 20);

    // A file size limit makes the system refuse writes past 64 KiB, as a full disk would.
#ifdef _WIN32
    GTEST_SKIP() << "no file size limit on Windows";
#else
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    inst.SaveToFile(target);
    ::setrlimit(RLIMIT_FSIZE, &saved);
#endif

    EXPECT_EQ(reporter.Texts(), (std::vector<std::string>{"Error writing file"}));
    EXPECT_EQ(testkit::ReadAll(target), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

TEST(XiCorpus, RealFilesLoadCleanlyAndSurviveASave) {
    const fs::path corpus = testkit::CorpusDir("xi");
    if (corpus.empty()) {
        GTEST_SKIP() << "no corpus";
    }
    testkit::TempDir dir;
    int seen = 0;
    for (const auto& entry : fs::directory_iterator(corpus)) {
        const std::string path = entry.path().string();
        testkit::CapturingReporter reporter;
        TInstrument inst;
        inst.LoadFromFile(path);
        EXPECT_TRUE(reporter.Messages().empty()) << path << ": " << reporter.Texts().front();
        const std::string out = dir.File("copy.xi");
        inst.SaveToFile(out);
        TInstrument back;
        back.LoadFromFile(out);
        EXPECT_TRUE(reporter.Messages().empty()) << path;
        ASSERT_EQ(back.SampleCount, inst.SampleCount) << path;
        EXPECT_EQ(back.InstrumentName, inst.InstrumentName) << path;
        EXPECT_EQ(back.XiBlock, inst.XiBlock) << path;
        for (int i = 0; i < inst.SampleCount; ++i) {
            const TSample& a = *inst.Samples[static_cast<std::size_t>(i)];
            const TSample& b = *back.Samples[static_cast<std::size_t>(i)];
            EXPECT_EQ(ValuesFnv1a64(a), ValuesFnv1a64(b)) << path << " #" << i;
            EXPECT_EQ(a.NumSamples, b.NumSamples) << path << " #" << i;
            EXPECT_EQ(a.LoopType, b.LoopType) << path << " #" << i;
            EXPECT_EQ(a.LoopStart, b.LoopStart) << path << " #" << i;
            EXPECT_EQ(a.LoopLength, b.LoopLength) << path << " #" << i;
            EXPECT_EQ(a.Volume, b.Volume) << path << " #" << i;
            EXPECT_EQ(a.Panning, b.Panning) << path << " #" << i;
            EXPECT_EQ(a.Finetune, b.Finetune) << path << " #" << i;
            EXPECT_EQ(a.Transpose, b.Transpose) << path << " #" << i;
            EXPECT_EQ(a.SampleName, b.SampleName) << path << " #" << i;
        }
        ++seen;
    }
    EXPECT_GT(seen, 0);
}

} // namespace
} // namespace sonlet
