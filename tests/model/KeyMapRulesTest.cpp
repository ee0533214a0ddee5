// The key map never names a sample the instrument lacks through an edit: deleting a sample
// hands its keys on, New and a WAV open start all sample 1; a file's own map is kept as read.
#include "CapturingReporter.h"
#include "TempDir.h"
#include "WavBuilder.h"
#include "XiBuilder.h"
#include "model/Instrument.h"
#include "model/KeyRanges.h"

#include <gtest/gtest.h>

namespace sonlet {
namespace {

KeyMap Ranges(std::initializer_list<std::pair<int, int>> firstAndSample) {
    KeyMap keys{};
    for (const auto& [first, sample] : firstAndSample) {
        MapNotes(keys, first, KeyMapNotes - 1, static_cast<std::uint8_t>(sample));
    }
    return keys;
}

TEST(KeyMapRules, DeleteNewAndWavOpenKeepTheMapOnExistingSamples) {
    testkit::CapturingReporter reporter;
    TInstrument inst;
    inst.InitNew();
    for (int i = 1; i < 6; ++i) {
        inst.AddSample();
    }
    // Six samples on six ranges, and two keys that name a sample the instrument lacks.
    KeyMap keys = Ranges({{0, 0}, {12, 1}, {24, 2}, {36, 3}, {48, 4}, {60, 5}});
    keys[94] = 9;
    keys[95] = 6;
    inst.SetKeys(keys);
    EXPECT_EQ(inst.SilentKeyCount(), 2);

    // Before: sample 2's keys kept naming index 1, so the F#2 sample slid onto them, and the
    // top keys named the sixth sample, which was gone.
    inst.DeleteSample(1);
    KeyMap want = Ranges({{0, 0}, {12, 1}, {36, 2}, {48, 3}, {60, 4}});
    want[94] = 9;
    want[95] = 6;
    EXPECT_EQ(inst.Keys(), want);
    inst.DeleteSample(4); // the last one: its keys go to the new last
    MapNotes(want, 60, 93, 3);
    EXPECT_EQ(inst.Keys(), want);
    EXPECT_EQ(KeyRangesText(inst.Keys()),
              "C-0..B-0: 1, C-1..B-2: 2, C-3..B-3: 3, C-4..A-7: 4, A#7: 10, B-7: 7");

    // A WAV open swaps the sound: envelopes, vibrato and name stay, the key map starts over.
    inst.VolEnv.Count = 3;
    inst.InstrumentName = "Guitar";
    inst.SetAutoVibrato({1, 2, 3, 4});
    testkit::TempDir dir;
    const std::string wav = dir.Write(
        "a.wav",
        testkit::WavBuilder::Pcm(1, 44100, 16).DataChunk(testkit::Le16Values({1, 2})).Bytes());
    ASSERT_TRUE(inst.LoadFromFile(wav));
    EXPECT_EQ(inst.Keys(), KeyMap{});
    EXPECT_EQ(inst.VolEnv.Count, 3);
    EXPECT_EQ(inst.InstrumentName, "Guitar");
    EXPECT_EQ(inst.AutoVibrato(), (Vibrato{1, 2, 3, 4}));

    // New keeps nothing of the previous instrument.
    inst.SetKeys(Ranges({{0, 0}, {50, 3}}));
    inst.PanEnv = {4, 1, 0, 2, 1, 1, 1};
    inst.PanPoints[1] = {10, 20};
    inst.Fadeout = 77;
    inst.InitNew();
    EXPECT_EQ(inst.Keys(), KeyMap{});
    EXPECT_EQ(inst.InstrumentName, "");
    EXPECT_EQ(inst.AutoVibrato(), Vibrato{});
    EXPECT_EQ(inst.VolEnv, EnvelopeParams{});
    EXPECT_EQ(inst.PanEnv, EnvelopeParams{});
    EXPECT_EQ(inst.PanPoints, EnvelopePoints{});
    EXPECT_EQ(inst.Fadeout, 1024);
    EXPECT_EQ(inst.SampleCount, 1);
    EXPECT_EQ(inst.CurrentSample()->NumFrames, 4096);

    // A file's key map is kept as read, keys naming missing samples included.
    testkit::XiBuilder xi;
    xi.samples.push_back(testkit::XiSampleSpec::Deltas16({1, 2, 3}));
    xi.samples.push_back(testkit::XiSampleSpec::Deltas16({4, 5}));
    for (std::size_t note = 40; note < 96; ++note) {
        xi.block[note] = note < 60 ? 1 : 11;
    }
    ASSERT_TRUE(inst.LoadFromFile(dir.Write("missing.xi", xi.Bytes())));
    EXPECT_EQ(inst.SilentKeyCount(), 36);
    EXPECT_EQ(inst.Keys()[70], 11);
    inst.SaveToFile(dir.File("again.xi"));
    EXPECT_EQ(testkit::ReadAll(dir.File("again.xi"))[66 + 70], 11);
    EXPECT_TRUE(reporter.Messages().empty());
}

TEST(KeyMapRules, NotesAndMarkers) {
    EXPECT_EQ(NoteName(60), "C-5");
    EXPECT_EQ(NoteName(49), "C#4");
    for (int note = 0; note < KeyMapNotes; ++note) {
        EXPECT_EQ(ParseNote(NoteName(note)), note);
    }
    EXPECT_EQ(ParseNote("Db4"), 49);
    EXPECT_EQ(ParseNote("cb1"), 11);
    EXPECT_EQ(ParseNote("95"), 95);
    for (const char* bad : {"96", "C-8", "Cb0", "H-4", "C+4", "", "C-", "123", "-1"}) {
        EXPECT_EQ(ParseNote(bad), std::nullopt) << bad;
    }

    KeyMap keys = Ranges({{0, 0}, {48, 1}});
    MapRunFrom(keys, 24, 2); // up to the first key of another sample
    EXPECT_EQ(SampleRangesText(keys, 2), "C-2..B-3");
    EXPECT_EQ(SampleRangesText(keys, 5), "");

    // Markers land on existing points: an empty envelope's at 0, others at the last point.
    EnvelopeParams env{0, 3, 7, 200, 1, 1, 1};
    ClampMarkers(env);
    EXPECT_EQ(env, (EnvelopeParams{0, 0, 0, 0, 1, 1, 1}));
    env = {40, 30, 2, 12, 0, 0, 0};
    ClampMarkers(env);
    EXPECT_EQ(env, (EnvelopeParams{40, 11, 2, 11, 0, 0, 0}));
}

} // namespace
} // namespace sonlet
