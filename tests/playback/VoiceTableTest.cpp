#include "playback/VoiceTable.h"

#include "playback/OutputRing.h"

#include <gtest/gtest.h>

namespace sonlet {
namespace {

std::int64_t Bytes(std::int64_t pass, std::int64_t offset) { return pass * RingBytes + offset; }

class Voices : public ::testing::Test {
protected:
    void SetUp() override {
        table.ResetAll();
        SteadyIn(0);
    }
    // Playback is in pass p, at or after cursor, and the player has seen it enter that pass
    // and writes the segment after the cursor's.
    void SteadyIn(std::int64_t pass, std::uint32_t cursor = 0) {
        table.SetLastWrapPass(pass);
        table.SetPasses(pass);
        table.SetFilling(pass * SegmentCount + cursor / SegmentBytes + 1);
    }
    VoiceState V(std::int32_t i) const { return table.Read(i); }

    VoiceTable table;
    InstrumentSlot keyboard{nullptr};
    InstrumentSlot frame{nullptr};
};

TEST_F(Voices, NotesAndReleasesComeTheNoteDelayAfterTheCursor) {
    for (std::uint32_t cursor : {0u, 1234u, 9000u, 12288u, 13000u, 16380u}) {
        SteadyIn(5, cursor);
        const std::int32_t i = table.NoteOn(keyboard, 60, 100, cursor);
        ASSERT_GE(i, 0);
        const VoiceState v = V(i);
        EXPECT_EQ(Bytes(v.StartBuf, v.StartPos) - Bytes(5, cursor & ~3u), 5120 * FrameBytes)
            << cursor;
        EXPECT_GT(v.StartPos, 0);
        EXPECT_LE(v.StartPos, RingBytes);
        EXPECT_EQ(v.Status, VoiceHeld);
    }
    // An offset of exactly RingBytes stays in its pass.
    const VoiceState edge = V(3);
    EXPECT_EQ(edge.StartBuf, 6);
    EXPECT_EQ(edge.StartPos, 16384);

    // Right after the wrap, before the player has seen it: it wrote segment 0 of pass 3 as
    // playback entered segment 3 of pass 2.
    table.ResetAll();
    table.SetLastWrapPass(2);
    table.SetPasses(3);
    table.SetFilling(3 * SegmentCount);
    const std::int32_t late = table.NoteOn(frame, 60, 100, 100);
    EXPECT_EQ(Bytes(V(late).StartBuf, V(late).StartPos), Bytes(3, 100) + 5120 * FrameBytes);
    EXPECT_EQ(table.NoteOff(frame, 60, 200), late);
    EXPECT_EQ(Bytes(V(late).StopBuf, V(late).StopPos), Bytes(3, 200) + 5120 * FrameBytes);
    // A release placed before the start (the cursor went back, as after a restart) moves to
    // the start.
    const std::int32_t back = table.NoteOn(frame, 61, 100, 8000);
    EXPECT_EQ(table.NoteOff(frame, 61, 4000), back);
    EXPECT_EQ(Bytes(V(back).StopBuf, V(back).StopPos), Bytes(V(back).StartBuf, V(back).StartPos));
}

// A device's ring: many short segments, and a note one device period (two segments) after
// the cursor, also while the player is some segments late.
TEST_F(Voices, DeviceRingPlacesTheCursorByTheSegmentBeingWritten) {
    const RingGeometry g = RingGeometry::ForDevicePeriod(256);
    ASSERT_EQ(g.segmentFrames, 128);
    ASSERT_EQ(g.noteDelayFrames, 256);
    ASSERT_GE(g.segmentCount, 8);
    table.SetGeometry(g);
    const std::int64_t ring = g.RingBytes();
    const std::int64_t segment = g.SegmentBytes();
    // The player writes the last segment of pass 10; playback is anywhere from the segment
    // before it to some segments into pass 11.
    table.SetFilling(10 * g.segmentCount + g.segmentCount - 1);
    for (const std::int64_t at : {10 * ring + ring - 2 * segment + 12, 10 * ring + ring - 4,
                                  11 * ring, 11 * ring + 5 * segment + 40}) {
        const auto cursor = static_cast<std::uint32_t>(at % ring);
        const VoiceState v = V(table.NoteOn(keyboard, 60, 100, cursor));
        EXPECT_EQ(v.StartBuf * ring + v.StartPos, at + 256 * FrameBytes) << at;
    }
}

TEST_F(Voices, ShortTapIsReleasedAfterItsStart) {
    // Cursor in segment 3: the note starts in pass LastWrapPass + 2, and a release 23 ms
    // later still finds it.
    SteadyIn(0, 13088);
    const std::int32_t tap = table.NoteOn(keyboard, 60, 100, 13088);
    EXPECT_EQ(V(tap).StartBuf, 2);
    EXPECT_EQ(table.NoteOff(keyboard, 60, 14688), tap);
    const VoiceState released = V(tap);
    EXPECT_EQ(released.Status, VoiceReleased);
    EXPECT_EQ(Bytes(released.StopBuf, released.StopPos), 14688 + 5120 * FrameBytes);
}

TEST_F(Voices, FreeVoicesFirstThenOldestReleasedThenOldestHeld) {
    for (std::int32_t i = 0; i < VoiceCount; ++i) {
        ASSERT_EQ(table.NoteOn(keyboard, 40 + i, 100, static_cast<std::uint32_t>(i * 4)), i);
    }
    // Release two notes; the one that started first is taken first, before any held voice.
    table.NoteOff(keyboard, 40 + 7, 0);
    table.NoteOff(keyboard, 40 + 3, 0);
    EXPECT_EQ(table.NoteOn(keyboard, 90, 100, 0), 3);
    EXPECT_EQ(table.NoteOn(keyboard, 91, 100, 0), 7);
    // Now all 32 are held: the oldest start is voice 0's.
    EXPECT_EQ(table.NoteOn(keyboard, 92, 100, 0), 0);
    const VoiceState stolen = V(0);
    EXPECT_EQ(stolen.Note, 92);
    EXPECT_EQ(stolen.Status, VoiceHeld);
    EXPECT_DOUBLE_EQ(stolen.PitchRatio, PitchRatioFor(92));
}

TEST_F(Voices, ThirtyThirdHeldNoteIsDroppedWhenAllStartTooLate) {
    // Cursor 13000: every note starts in pass LastWrapPass + 2, and such a voice is never
    // taken.
    SteadyIn(0, 13000);
    for (std::int32_t i = 0; i < VoiceCount; ++i) {
        ASSERT_EQ(table.NoteOn(keyboard, 60, 100, 13000), i);
    }
    EXPECT_EQ(table.NoteOn(keyboard, 61, 100, 0), -1);
    for (std::int32_t i = 0; i < VoiceCount; ++i) {
        EXPECT_EQ(V(i).Note, 60);
    }
    // Once playback has moved on a pass, the oldest (lowest index on a tie) is taken.
    SteadyIn(1);
    EXPECT_EQ(table.NoteOn(keyboard, 61, 100, 0), 0);
}

TEST_F(Voices, NoteOffMatchesSlotIdentityAndNote) {
    const std::int32_t first = table.NoteOn(frame, 60, 100, 0);
    const std::int32_t second = table.NoteOn(frame, 60, 100, 400);
    const std::int32_t piano = table.NoteOn(keyboard, 60, 100, 0);
    const std::int32_t semitone = table.NoteOn(frame, 61, 100, 0);
    // Stop releases the older of the frame's two notes 60, then the other, then nothing.
    EXPECT_EQ(table.NoteOff(frame, 60, 800), first);
    EXPECT_EQ(table.NoteOff(frame, 60, 800), second);
    EXPECT_EQ(table.NoteOff(frame, 60, 800), -1);
    EXPECT_EQ(V(piano).Status, VoiceHeld);
    EXPECT_EQ(V(semitone).Status, VoiceHeld);
    const VoiceState released = V(first);
    EXPECT_EQ(released.Status, VoiceReleased);
    EXPECT_EQ(Bytes(released.StopBuf, released.StopPos), Bytes(1, 800 + 4096));
    EXPECT_EQ(table.NoteOff(keyboard, 60, 0), piano);
}

TEST_F(Voices, StatusText) {
    const std::string line = "Status: 0  StartBuf: 0  StartPos: 0  StopBuf: 0  StopPos: 0  "
                             "Note: 1  Mode: standard\r\n";
    std::string expected;
    for (int i = 0; i < VoiceCount; ++i) {
        expected += "f: " + std::to_string(i) + "  " + line;
    }
    EXPECT_EQ(table.StatusText(), expected);

    SteadyIn(2, 8000);
    table.NoteOn(keyboard, 61, 100, 8000);
    table.NoteOff(keyboard, 61, 8192);
    const std::string text = table.StatusText();
    EXPECT_EQ(text.substr(0, text.find("\r\n") + 2),
              "f: 0  Status: 1  StartBuf: 3  StartPos: 12096  StopBuf: 3  StopPos: 12288  "
              "Note: 1.059463094359  Mode: standard\r\n");
    table.NoteOn(keyboard, 48, 100, 0, PlaybackMode::Tracker);
    const std::string after = table.StatusText();
    const std::string second =
        after.substr(after.find("f: 1 "), after.find("f: 2 ") - after.find("f: 1 "));
    EXPECT_TRUE(second.starts_with("f: 1  Status: 2  StartBuf: 3  StartPos: 4096  StopBuf: 0  "
                                   "StopPos: 0  Note: 0."));
    EXPECT_TRUE(second.ends_with("  Mode: tracker\r\n"));
}

} // namespace
} // namespace sonlet
