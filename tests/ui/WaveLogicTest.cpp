#include "SampleBuilder.h"
#include "model/Sample.h"
#include "ui/logic/WaveDrag.h"
#include "ui/logic/WaveWindow.h"

#include <gtest/gtest.h>

namespace sonlet {
namespace {

TEST(WaveWindow, MapsColumnsOntoTheWholeSampleAtZoomOne) {
    const WaveWindow w = WaveWindow::Make(44100, 1.0, 5000, 800);
    EXPECT_EQ(w.First, 0); // the scroll position counts only when zoomed in
    EXPECT_EQ(w.Visible, 44100);
    EXPECT_EQ(w.XToFrame(0), 0);
    EXPECT_EQ(w.XToFrame(799), (44099LL * 799) / 800);
    EXPECT_EQ(w.XToFrame(800), 44099);
    EXPECT_EQ(w.XToFrame(5000), 44099); // a drag far right is held at the last frame
    EXPECT_EQ(w.XToFrame(-40), 0);
    EXPECT_EQ(w.FrameToX(0), 0);
    EXPECT_EQ(w.FrameToX(44099), 800);
    EXPECT_EQ(w.FrameToX(22050), (22050LL * 800) / 44099);
}

TEST(WaveWindow, ZoomedWindowStartsAtTheScrollPosition) {
    for (const std::int32_t width : {1, 333, 800, 1920}) {
        const WaveWindow w = WaveWindow::Make(44100, 2.0, 1000, width);
        EXPECT_EQ(w.Visible, 22050);
        EXPECT_EQ(w.XToFrame(0), 1000);
        EXPECT_EQ(w.XToFrame(width), 1000 + 22049);
        EXPECT_EQ(w.FrameToX(1000), 0);
        EXPECT_EQ(w.FrameToX(1000 + 22049), width);
        // Every column maps back onto itself.
        for (std::int32_t x = 0; x < width; x += 37) {
            EXPECT_LE(w.FrameToX(w.XToFrame(x)), x);
        }
    }
    const WaveWindow atEnd = WaveWindow::Make(44100, 2.0, 30000, 800);
    EXPECT_EQ(atEnd.XToFrame(800), 44099);
}

TEST(WaveWindow, DegenerateViewsNeverFault) {
    EXPECT_EQ(WaveWindow::Make(44100, 1.0, 0, 0).XToFrame(10), 0); // no width yet
    const WaveWindow empty = WaveWindow::Make(0, 4.0, 0, 800);
    EXPECT_EQ(empty.XToFrame(400), 0);
    EXPECT_EQ(empty.FrameToX(0), 0);
    const WaveWindow one = WaveWindow::Make(1, 1.0, 0, 800);
    EXPECT_EQ(one.XToFrame(799), 0);
    EXPECT_EQ(one.FrameToX(0), 0);
    // A zoom carried over from a long sample still shows two frames of a short one.
    const WaveWindow deep = WaveWindow::Make(100, 1e9, 0, 800);
    EXPECT_EQ(deep.Visible, 2);
    EXPECT_EQ(deep.XToFrame(800), 1);
    // A frame far right of a deep zoom stays a valid 32-bit column.
    const WaveWindow narrow = WaveWindow::Make(200'000'000, 1e8, 0, 2000);
    EXPECT_EQ(narrow.FrameToX(199'999'999), INT32_MAX);
}

TEST(WaveWindow, ZoomLimitKeepsTwoFrames) {
    EXPECT_DOUBLE_EQ(MaxZoomFor(44100), 22050.0);
    EXPECT_DOUBLE_EQ(MaxZoomFor(3), 1.5);
    EXPECT_DOUBLE_EQ(MaxZoomFor(1), 1.0);
    EXPECT_DOUBLE_EQ(MaxZoomFor(0), 1.0);
    EXPECT_EQ(WaveWindow::Make(44100, MaxZoomFor(44100), 0, 500).Visible, 2);
}

TEST(WaveScroll, RangeEndsWhereTheLastFrameFillsTheLastColumn) {
    const WaveScroll s = MakeWaveScroll(44100, 22049);
    EXPECT_EQ(s.PageSize, 22049);
    EXPECT_EQ(s.MaxPosition, 44100 - 22049);
    EXPECT_EQ(s.Step, 22049 / 100 + 1);
    const WaveWindow last = WaveWindow::Make(44100, 2.0, s.MaxPosition, 800);
    EXPECT_EQ(last.XToFrame(800), 44099);
    EXPECT_EQ(MakeWaveScroll(100'000'000, 50'000'000).Step, 32767);
    // Empty and short samples get a collapsed, valid range.
    for (const std::int64_t frames : {0, 1, 3}) {
        const WaveScroll tiny = MakeWaveScroll(frames, 22049);
        EXPECT_GE(tiny.MaxPosition, 0);
        EXPECT_GE(tiny.PageSize, 1);
    }
}

TEST(WaveDrag, SelectionFollowsTheDragInEitherDirection) {
    TSample s = testkit::MakeSample(8000, 1);
    const WaveWindow w = WaveWindow::Make(8000, 1.0, 0, 800);
    TWaveDrag drag;
    drag.Press(s, w, 300);
    EXPECT_EQ(s.MarkA, w.XToFrame(300));
    EXPECT_EQ(s.MarkB, w.XToFrame(300));
    EXPECT_TRUE(drag.Move(s, w, 100));
    drag.Release(s, 100);
    EXPECT_EQ(s.MarkA, w.XToFrame(300));
    EXPECT_EQ(s.MarkB, w.XToFrame(100));
    EXPECT_EQ(s.SelStart, w.XToFrame(100));
    EXPECT_EQ(s.SelEnd, w.XToFrame(300));
    EXPECT_FALSE(drag.ButtonHeld);
    EXPECT_FALSE(drag.Move(s, w, 500)); // no button: nothing moves

    drag.Press(s, w, 420);
    drag.Release(s, 420); // a click without movement deselects
    EXPECT_EQ(s.MarkA, -1);
    EXPECT_EQ(s.MarkB, -1);
    EXPECT_EQ(s.SelEnd, 7999);
}

TEST(WaveDrag, LoopMarkersAreGrabbedWithinOnePixel) {
    TSample s = testkit::MakeSample(8000, 1);
    s.SetLoopType(LoopForward);
    s.SetLoopStart(1000);
    s.SetLoopLength(2000);
    const WaveWindow w = WaveWindow::Make(8000, 1.0, 0, 800);
    const std::int32_t startX = w.FrameToX(1000);
    const std::int32_t endX = w.FrameToX(2999);
    TWaveDrag drag;
    for (const std::int32_t dx : {-1, 0, 1}) {
        drag.Press(s, w, startX + dx);
        EXPECT_EQ(drag.Target, DragTarget::LoopStart);
        drag.Press(s, w, endX + dx);
        EXPECT_EQ(drag.Target, DragTarget::LoopEnd);
    }
    EXPECT_EQ(s.MarkA, -1); // grabbing a marker starts no selection
    drag.Press(s, w, startX + 2);
    EXPECT_EQ(drag.Target, DragTarget::Selection);
    EXPECT_TRUE(TWaveDrag::NearLoopMarker(s, w, endX - 1));
    EXPECT_FALSE(TWaveDrag::NearLoopMarker(s, w, endX - 2));

    // The start marker wins when both lie within reach.
    s.SetLoopLength(12);
    drag.Press(s, w, w.FrameToX(1011));
    EXPECT_EQ(drag.Target, DragTarget::LoopStart);

    // Without a loop a press anywhere selects.
    s.SetLoopType(LoopNone);
    drag.Press(s, w, startX);
    EXPECT_EQ(drag.Target, DragTarget::Selection);
}

TEST(WaveDrag, LoopMarkerMovesAreRefusedPastTheOtherMarker) {
    TSample s = testkit::MakeSample(8000, 1);
    s.SetLoopType(LoopPingpong);
    s.SetLoopStart(1000);
    s.SetLoopLength(2000);
    const WaveWindow w = WaveWindow::Make(8000, 1.0, 0, 800); // 10 frames a column
    TWaveDrag drag;

    drag.Press(s, w, w.FrameToX(1000));
    ASSERT_EQ(drag.Target, DragTarget::LoopStart);
    EXPECT_TRUE(drag.Move(s, w, 150));
    EXPECT_EQ(s.LoopStart, w.XToFrame(150));
    EXPECT_EQ(s.LoopLength, 2000);      // the whole loop moves
    EXPECT_FALSE(drag.Move(s, w, 351)); // frame 3509 lies past the loop end, 3498
    EXPECT_FALSE(drag.Move(s, w, 700));
    EXPECT_EQ(s.LoopStart, w.XToFrame(150));
    drag.Release(s, 700);

    s.SetLoopStart(1000);
    drag.Press(s, w, w.FrameToX(2999));
    ASSERT_EQ(drag.Target, DragTarget::LoopEnd);
    EXPECT_TRUE(drag.Move(s, w, 500));
    EXPECT_EQ(s.LoopLength, w.XToFrame(500) - 1000);
    EXPECT_EQ(s.LoopEndPos, w.XToFrame(500) - 1); // ends just before the frame under the mouse
    EXPECT_FALSE(drag.Move(s, w, 100));           // onto or left of the loop start
    EXPECT_FALSE(drag.Move(s, w, w.FrameToX(1000)));
    EXPECT_EQ(s.LoopLength, w.XToFrame(500) - 1000);
    EXPECT_EQ(s.LoopStart, 1000);
}

} // namespace
} // namespace sonlet
