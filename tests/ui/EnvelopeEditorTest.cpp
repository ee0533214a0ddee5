#include "ui/logic/EnvelopeEditor.h"

#include <gtest/gtest.h>

namespace sonlet {
namespace {

// An editor over its own envelope on a plot of the main window's size (305 x 65).
struct Envelope {
    EnvelopeParams params;
    EnvelopePoints points{};
    TEnvelopeEditor editor;

    Envelope(std::initializer_list<EnvelopePoint> pts, std::int32_t width = 305,
             std::int32_t height = 65) {
        std::size_t i = 0;
        for (const EnvelopePoint& p : pts) {
            points[i++] = p;
        }
        params.Count = static_cast<std::uint8_t>(pts.size());
        editor.Envelope = &params;
        editor.Points = &points;
        editor.Width = width;
        editor.Height = height;
    }
    // Presses the plot at the column where x lies and at the row where y lies.
    bool AddAt(std::int32_t x, std::int32_t y) {
        return editor.PressPlot(editor.PlotWidth() * x / 324, y);
    }
    void DragPoint(std::int32_t k, std::int32_t left, std::int32_t top) {
        editor.GrabPoint(k, 2, 2);
        editor.DragPointTo(left, top);
        editor.ReleasePoint();
    }
};

TEST(EnvelopeEditor, GeometryFollowsThePlotSizeAndZoom) {
    Envelope e({{0, 64}, {40, 32}, {41, 0}});
    EXPECT_EQ(e.editor.PlotWidth(), 300);
    EXPECT_EQ(e.editor.PlotHeight(), 60);
    EXPECT_EQ(e.editor.PointLeft(0), 0);
    EXPECT_EQ(e.editor.PointTop(0), 0);
    EXPECT_EQ(e.editor.PointTop(1), 30);
    EXPECT_EQ(e.editor.PointTop(2), 60);
    e.editor.Zoom = 8;
    EXPECT_EQ(e.editor.PointLeft(1), 296); // fully inside the 305-pixel control
    EXPECT_EQ(e.editor.PointLeft(2), 303); // reaches past the right edge
    EXPECT_EQ(e.editor.PixelToX(300), 40);
    EXPECT_EQ(e.editor.PixelToX(-20), 0);
    e.editor.Zoom = 1;
    EXPECT_EQ(e.editor.PixelToX(5000), 324);
    EXPECT_EQ(e.editor.PixelToY(-3), 64);
    EXPECT_EQ(e.editor.PixelToY(61), 0);
    EXPECT_EQ(e.editor.PixelToY(30), 32);
    // A control too small to have a plot maps everything to 0 instead of dividing by zero.
    e.editor.Width = 5;
    e.editor.Height = 3;
    EXPECT_EQ(e.editor.PixelToX(10), 0);
    EXPECT_EQ(e.editor.PixelToY(10), 0);
}

TEST(EnvelopeEditor, ClicksAddPointsInOrder) {
    Envelope e({});
    e.params.Sustain = 0;
    e.params.LoopStart = 0;
    e.params.LoopEnd = 0;
    EXPECT_TRUE(e.AddAt(200, 40)); // into an empty envelope: point 0 at x 0
    EXPECT_EQ(e.params.Count, 1);
    EXPECT_EQ(e.points[0].X, 0);
    EXPECT_EQ(e.points[0].Y, e.editor.PixelToY(40));
    // Before: every marker moved up with the new point, one past the last point, where
    // ticking Sustain later drew it at point 0 and no one could grab it.
    EXPECT_EQ(e.params.Sustain, 0);
    EXPECT_EQ(e.params.LoopStart, 0);
    EXPECT_EQ(e.params.LoopEnd, 0);

    EXPECT_TRUE(e.editor.PressPlot(0, 10)); // at x 0, not right of point 0: pushed to 1
    EXPECT_EQ(e.params.Count, 2);
    EXPECT_EQ(e.points[1].X, 1);

    EXPECT_TRUE(e.AddAt(300, 20));
    EXPECT_TRUE(e.AddAt(100, 20)); // goes between points 1 and 2
    EXPECT_EQ(e.params.Count, 4);
    EXPECT_EQ(e.points[2].X, e.editor.PixelToX(e.editor.PlotWidth() * 100 / 324));
    EXPECT_GT(e.points[3].X, e.points[2].X);

    Envelope full({{0, 1},
                   {10, 2},
                   {20, 3},
                   {30, 4},
                   {40, 5},
                   {50, 6},
                   {60, 7},
                   {70, 8},
                   {80, 9},
                   {90, 10},
                   {100, 11},
                   {110, 12}});
    const EnvelopePoints before = full.points;
    EXPECT_FALSE(full.AddAt(250, 30));
    EXPECT_EQ(full.params.Count, 12);
    EXPECT_EQ(full.points[11].X, before[11].X);
}

TEST(EnvelopeEditor, DraggedPointsKeepTheirOrder) {
    Envelope e({{0, 10}, {50, 20}, {100, 30}, {150, 40}, {200, 50}, {202, 60}});
    e.DragPoint(0, 120, 0);
    EXPECT_EQ(e.points[0].X, 0); // point 0 stays at x 0
    EXPECT_EQ(e.points[0].Y, 64);

    e.DragPoint(3, e.editor.PointLeft(1), e.editor.PointTop(3));
    EXPECT_EQ(e.points[3].X, 101); // stops right of point 2
    EXPECT_EQ(e.points[3].Y, 40);

    e.DragPoint(3, e.editor.PlotWidth() * 250 / 324, e.editor.PointTop(3));
    EXPECT_GE(e.points[3].X, 249);
    EXPECT_EQ(e.points[4].X, e.points[3].X + 1); // pushes the later points right
    EXPECT_EQ(e.points[5].X, e.points[3].X + 2);
}

TEST(EnvelopeEditor, SidewaysDragsKeepYExceptWhereThePixelGridRounds) {
    for (std::uint16_t y = 0; y <= 64; ++y) {
        Envelope e({{0, 0}, {100, y}, {300, 0}});
        e.DragPoint(1, e.editor.PointLeft(1) + 3, e.editor.PointTop(1));
        const bool grid = y == 1 || y == 17 || y == 33 || y == 49;
        EXPECT_EQ(e.points[1].Y, grid ? y - 1 : y) << "y " << y;
    }
}

TEST(EnvelopeEditor, DeletingAPointMovesItsMarkersBack) {
    Envelope e({{0, 10}, {50, 20}, {100, 30}, {150, 40}});
    e.params.Sustain = 2;
    e.params.SustainOn = 1;
    e.params.LoopStart = 1;
    e.params.LoopEnd = 3;
    EXPECT_TRUE(e.editor.DeletePoint(2));
    EXPECT_EQ(e.params.Count, 3);
    EXPECT_EQ(e.points[2].X, 150);
    EXPECT_EQ(e.params.Sustain, 1);
    EXPECT_EQ(e.params.LoopStart, 1);
    EXPECT_EQ(e.params.LoopEnd, 2);
    EXPECT_FALSE(e.editor.DeletePoint(0)); // point 0 cannot go
    EXPECT_FALSE(e.editor.DeletePoint(3)); // nor a point that is not there
    EXPECT_EQ(e.params.Count, 3);
}

TEST(EnvelopeEditor, MarkerLinesAreFoundAndDraggedFromPointToPoint) {
    Envelope e({{0, 10}, {50, 20}, {100, 30}, {150, 40}, {200, 50}});
    e.params.Sustain = 1;
    e.params.LoopStart = 2;
    e.params.LoopEnd = 3;
    const std::int32_t sustainLine = e.editor.PointLeft(1) + 2;
    EXPECT_EQ(e.editor.FindMarker(sustainLine, false), -1); // sustain off: not a marker
    EXPECT_EQ(e.editor.FindMarker(sustainLine, true), 1);
    e.params.SustainOn = 1;
    e.params.LoopOn = 1;
    for (const std::int32_t dx : {-1, 0, 1}) {
        EXPECT_EQ(e.editor.FindMarker(sustainLine + dx, false), 1);
    }
    EXPECT_EQ(e.editor.FindMarker(sustainLine + 2, false), -1);

    // Grab the loop start, drag it onto the loop end, then further: the loop end follows.
    EXPECT_FALSE(e.editor.PressPlot(e.editor.PointLeft(2) + 2, 30));
    EXPECT_TRUE(e.editor.DraggingMarker);
    EXPECT_EQ(e.params.Count, 5); // grabbing a line adds no point
    EXPECT_TRUE(e.editor.DragMarkerTo(e.editor.PointLeft(3) + 2));
    EXPECT_EQ(e.params.LoopStart, 3);
    EXPECT_EQ(e.params.LoopEnd, 3);
    EXPECT_TRUE(e.editor.DragMarkerTo(e.editor.PointLeft(4) + 2));
    EXPECT_EQ(e.params.LoopStart, 3);
    EXPECT_EQ(e.params.LoopEnd, 4);
    EXPECT_FALSE(e.editor.DragMarkerTo(e.editor.PointLeft(4) + 40)); // no point there
    e.editor.ReleasePlot();
    EXPECT_FALSE(e.editor.DragMarkerTo(e.editor.PointLeft(0) + 2));
    EXPECT_EQ(e.params.LoopEnd, 4);

    // The loop end cannot be dragged left of the loop start.
    EXPECT_FALSE(e.editor.PressPlot(e.editor.PointLeft(4) + 2, 30));
    EXPECT_FALSE(e.editor.DragMarkerTo(e.editor.PointLeft(2) + 2));
    EXPECT_EQ(e.params.LoopEnd, 4);
    e.editor.ReleasePlot();

    // A point's menu puts a marker on it and shows its line; the loop keeps start <= end.
    using Marker = TEnvelopeEditor::Marker;
    e.params.SustainOn = 0;
    EXPECT_TRUE(e.editor.SetMarker(Marker::Sustain, 2));
    EXPECT_EQ(e.params.Sustain, 2);
    EXPECT_EQ(e.params.SustainOn, 1);
    EXPECT_TRUE(e.editor.SetMarker(Marker::LoopEnd, 1));
    EXPECT_EQ(e.params.LoopStart, 1);
    EXPECT_EQ(e.params.LoopEnd, 1);
    EXPECT_TRUE(e.editor.SetMarker(Marker::LoopStart, 4));
    EXPECT_EQ(e.params.LoopEnd, 4);
    EXPECT_FALSE(e.editor.SetMarker(Marker::LoopStart, 4));
    EXPECT_FALSE(e.editor.SetMarker(Marker::Sustain, 5)); // no such point
}

TEST(EnvelopeEditor, OversizedCountsAndMarkersFromAFileStayInBounds) {
    Envelope e({{0, 10},
                {10, 20},
                {20, 30},
                {30, 40},
                {40, 50},
                {50, 60},
                {60, 1},
                {70, 2},
                {80, 3},
                {90, 4},
                {100, 5},
                {110, 6}});
    e.params.Count = 200;
    e.params.Sustain = 40;
    e.params.LoopStart = 12;
    e.params.LoopEnd = 255;
    e.params.SustainOn = 1;
    e.params.LoopOn = 1;
    EXPECT_EQ(e.editor.Count(), 12);
    EXPECT_EQ(e.editor.SustainIndex(), -1);
    EXPECT_FALSE(e.editor.KeepPointsInOrder());
    // No marker line is found, and a click on the full envelope adds nothing.
    for (std::int32_t x = 0; x < 305; ++x) {
        EXPECT_EQ(e.editor.FindMarker(x, false), -1);
    }
    EXPECT_FALSE(e.AddAt(115, 30));
    EXPECT_EQ(e.params.Count, 200); // nothing is written back without an edit
    EXPECT_EQ(e.params.Sustain, 40);

    EXPECT_TRUE(e.editor.DeletePoint(11)); // an edit counts from the 12 points shown
    EXPECT_EQ(e.params.Count, 11);
    EXPECT_EQ(e.params.Sustain, 10); // and puts the markers onto existing points
    EXPECT_EQ(e.params.LoopStart, 10);
    EXPECT_EQ(e.params.LoopEnd, 10);
}

TEST(EnvelopeEditor, PointsOutOfOrderArePushedRightWithinSixteenBits) {
    Envelope e({{0, 0}, {65535, 0}, {3, 0}, {2, 0}});
    EXPECT_TRUE(e.editor.KeepPointsInOrder());
    EXPECT_EQ(e.points[1].X, 65535);
    EXPECT_EQ(e.points[2].X, 65535); // no wrap to 0 at the top of the range
    EXPECT_EQ(e.points[3].X, 65535);
    Envelope ok({{0, 0}, {5, 0}, {9, 0}});
    EXPECT_FALSE(ok.editor.KeepPointsInOrder());
}

} // namespace
} // namespace sonlet
