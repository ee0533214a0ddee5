// The Edit menu's commands at their edges: loops across cut points, paste into empty and
// differently formatted samples, Paste Mix's saturation, and the clipboard outliving the
// instrument it came from.
#include "SampleBuilder.h"
#include "edit/Clipboard.h"
#include "edit/History.h"
#include "edit/SampleCommands.h"
#include "model/Instrument.h"

#include <gtest/gtest.h>

namespace sonlet {
namespace {

TEST(SplicedMarks, LoopsMoveShrinkGrowAndVanish) {
    struct Case {
        std::int64_t at, removed, inserted, start, length;
        std::int64_t wantStart, wantLength;
    };
    // A loop of frames 100..199.
    const Case cases[] = {
        {300, 50, 0, 100, 100, 100, 100}, // after the loop: untouched
        {200, 10, 0, 100, 100, 100, 100}, // right after its last frame
        {0, 50, 0, 100, 100, 50, 100},    // before it: moves with its sound
        {50, 100, 0, 100, 100, 50, 50},   // cuts its head: what is left
        {150, 100, 0, 100, 100, 100, 50}, // cuts its tail
        {120, 10, 0, 100, 100, 100, 90},  // cuts inside it
        {100, 100, 0, 100, 100, -1, 0},   // nothing is left: gone
        {100, 0, 30, 100, 100, 130, 100}, // insertion at its start moves it
        {150, 0, 30, 100, 100, 100, 130}, // insertion inside grows it
        {120, 10, 5, 100, 100, 100, 95},  // a replacement inside it
        {50, 100, 20, 100, 100, 70, 50},  // a replacement over its head: it follows the new frames
    };
    for (const Case& c : cases) {
        const SpliceMarks before{c.start, c.length, LoopForward, 1, 2};
        const SpliceMarks after = SplicedMarks(before, c.at, c.removed, c.inserted);
        EXPECT_EQ(after.LoopStart, c.wantStart) << c.at << " " << c.removed << " " << c.inserted;
        EXPECT_EQ(after.LoopLength, c.wantLength) << c.at << " " << c.removed << " " << c.inserted;
        EXPECT_EQ(after.LoopType, c.wantLength > 0 ? LoopForward : LoopNone);
    }
}

class EditCommands : public ::testing::Test {
protected:
    TSample& Add(TSample sample) {
        instrument.AdoptSample(std::make_unique<TSample>(std::move(sample)));
        return *instrument.CurrentSample();
    }
    bool Do(std::unique_ptr<TEditCommand> command) {
        return history.Do(instrument, std::move(command)) == EditOutcome::Done;
    }
    TInstrument instrument;
    THistory history;
};

TEST_F(EditCommands, CutAndPasteKeepTheSoundAndItsLoop) {
    TSample& s = Add(testkit::MakeSample(
        1000, 2, [](std::int64_t f, int c) { return static_cast<std::int32_t>(f * 2 + c); }));
    s.SetLoopType(LoopForward);
    s.SetLoopStart(600);
    s.SetLoopLength(200);
    s.SetMarkA(299);
    s.SetMarkB(100); // marks either way round
    const TClip clip = CopyFrames(s, *SelectedFrames(s));
    ASSERT_TRUE(Do(MakeDelete(instrument, 0, "Cut")));
    EXPECT_EQ(s.NumFrames, 800);
    EXPECT_EQ(s.GetValue(100 * 2), 300 * 2);
    EXPECT_EQ(s.LoopStart, 400);
    EXPECT_EQ(s.LoopLength, 200);
    EXPECT_LT(s.MarkA, 0);
    // Nothing selected: Delete and Crop have nothing to work on.
    EXPECT_EQ(MakeDelete(instrument, 0), nullptr);
    EXPECT_EQ(MakeCrop(instrument, 0), nullptr);
    // One mark: the clip goes in there, and ends up selected.
    s.SetMarkA(100);
    s.MarkB = -1;
    s.UpdateRanges();
    ASSERT_TRUE(Do(MakePaste(instrument, 0, clip)));
    EXPECT_EQ(s.NumFrames, 1000);
    for (std::int64_t i = 0; i < 2000; ++i) {
        ASSERT_EQ(s.GetValue(i), i) << i;
    }
    EXPECT_EQ(s.LoopStart, 600);
    EXPECT_EQ(s.MarkA, 100);
    EXPECT_EQ(s.MarkB, 299);
    // No mark: appended.
    s.ClearMarks();
    ASSERT_TRUE(Do(MakePaste(instrument, 0, clip)));
    EXPECT_EQ(s.NumFrames, 1200);
    EXPECT_EQ(s.GetValue(1000 * 2 + 1), 100 * 2 + 1);
    // Crop to a selection inside the loop: the loop shrinks to the kept part.
    s.SetMarkA(650);
    s.SetMarkB(1099);
    ASSERT_TRUE(Do(MakeCrop(instrument, 0)));
    EXPECT_EQ(s.NumFrames, 450);
    EXPECT_EQ(s.GetValue(0), 650 * 2);
    EXPECT_EQ(s.LoopStart, 0);
    EXPECT_EQ(s.LoopLength, 150);
    EXPECT_EQ(s.DataSize, 450 * 4);
    while (history.CanUndo()) {
        history.Undo(instrument);
    }
    EXPECT_EQ(s.NumFrames, 1000);
    EXPECT_EQ(s.LoopStart, 600);
    EXPECT_EQ(s.MarkA, 299);
    EXPECT_EQ(s.MarkB, 100);
}

TEST_F(EditCommands, PasteConvertsAndFillsEmptySamples) {
    // A stereo 16-bit clip at 22050 Hz.
    TSample source = testkit::MakeSample(
        4, 2,
        [](std::int64_t f, int c) { return c == 0 ? 1000 * static_cast<std::int32_t>(f) : -3000; },
        2, 22050);
    const TClip clip = CopyFrames(source, {0, 3});
    ASSERT_EQ(clip.Frames(), 4);

    // Into a mono 8-bit sample: averaged, then scaled to 8 bits.
    TSample& mono8 = Add(testkit::MakeSample(10, 1, {}, 1));
    ASSERT_TRUE(Do(MakePaste(instrument, 0, clip)));
    ASSERT_EQ(mono8.NumFrames, 14);
    EXPECT_EQ(mono8.GetValue(10), -1280);
    EXPECT_EQ(mono8.GetValue(13), (3000 - 3000) / 2);
    EXPECT_EQ(mono8.Format.nSamplesPerSec, 44100u);

    // A mono 8-bit clip into a stereo 16-bit sample: copied to both channels and scaled up.
    const TClip small = CopyFrames(mono8, {0, 0});
    TSample& stereo = Add(testkit::MakeSample(2, 2, [](std::int64_t, int) { return 7; }));
    stereo.SetMarkA(1);
    stereo.MarkB = -1;
    stereo.UpdateRanges();
    ASSERT_TRUE(Do(MakePaste(instrument, 1, small)));
    ASSERT_EQ(stereo.NumFrames, 3);
    EXPECT_EQ(stereo.GetValue(2), mono8.GetValue(0));
    EXPECT_EQ(stereo.GetValue(3), mono8.GetValue(0));
    EXPECT_EQ(stereo.GetValue(4), 7);

    // Into an empty sample: it takes the clip's format and rate, and gives them back on undo.
    instrument.AddSample();
    TSample* empty = instrument.CurrentSample();
    empty->MakeEmpty();
    ASSERT_TRUE(Do(MakePaste(instrument, 2, clip)));
    const TSample& filled = *instrument.Samples[2];
    EXPECT_EQ(filled.NumFrames, 4);
    EXPECT_EQ(filled.Format.nChannels, 2);
    EXPECT_EQ(filled.BytesPerSample, 2);
    EXPECT_EQ(filled.Format.nSamplesPerSec, 22050u);
    EXPECT_EQ(filled.GetValue(6), 3000);
    history.Undo(instrument);
    EXPECT_EQ(instrument.Samples[2]->DataSize, 0);
    EXPECT_EQ(instrument.Samples[2]->Format.nSamplesPerSec, 44100u);
}

TEST_F(EditCommands, PasteMixSaturatesAndClipboardOutlivesItsInstrument) {
    TClip clip;
    {
        TInstrument first;
        first.AdoptSample(std::make_unique<TSample>(testkit::MakeSample(
            3, 1, [](std::int64_t f, int) { return f == 0 ? 30000 : -30000; })));
        clip = CopyFrames(*first.CurrentSample(), {0, 2});
        first.InitNew();
    }
    TSample& s = Add(testkit::MakeSample(
        4, 1, [](std::int64_t f, int) { return f == 0 ? 10000 : (f == 3 ? 5 : -10000); }));
    s.SetMarkA(0);
    s.SetMarkB(0);
    ASSERT_TRUE(Do(MakePasteMix(instrument, 0, clip)));
    EXPECT_EQ(s.GetValue(0), 32767);
    EXPECT_EQ(s.GetValue(1), -32768);
    EXPECT_EQ(s.GetValue(2), -32768);
    EXPECT_EQ(s.GetValue(3), 5);
    EXPECT_EQ(s.NumFrames, 4);
    // From the last frame only one frame of the clip fits; the sample does not grow.
    s.SetMarkA(3);
    s.SetMarkB(3);
    ASSERT_TRUE(Do(MakePasteMix(instrument, 0, clip)));
    EXPECT_EQ(s.GetValue(3), 30005);
    EXPECT_EQ(s.NumFrames, 4);
    history.Undo(instrument);
    history.Undo(instrument);
    EXPECT_EQ(s.GetValue(0), 10000);
    EXPECT_EQ(s.GetValue(3), 5);
}

} // namespace
} // namespace sonlet
