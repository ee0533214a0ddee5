#pragma once

#include "model/Instrument.h"

#include <cstdint>

namespace sonlet {

// Editing of one envelope (up to 12 points, a sustain point and a loop) in place, with the
// geometry of a plot of a given size: x 0..324 spans the width at zoom 1, y 0..64 the height.
//
// Counts above 12 and marker indices beyond the points can come from a loaded file. They are
// read as at most 12 points and as "no such marker" and stay untouched until the user edits
// the envelope; every edit then puts the markers onto existing points.
class TEnvelopeEditor {
public:
    static constexpr std::int32_t MaxPoints = static_cast<std::int32_t>(EnvelopePointCount);
    static constexpr std::int32_t MaxX = 324;
    static constexpr std::int32_t MaxY = 64;

    EnvelopeParams* Envelope = nullptr;
    EnvelopePoints* Points = nullptr;
    std::int32_t Width = 0;  // the control's width, bevels included
    std::int32_t Height = 0; // the control's height
    std::int32_t Zoom = 1;

    bool DraggingPoint = false;
    bool DraggingMarker = false;
    std::int32_t DragIndex = 0;
    std::int32_t DragX = 0;
    std::int32_t DragY = 0;

    bool Bound() const { return Envelope != nullptr && Points != nullptr; }
    // Points in use, at most 12.
    std::int32_t Count() const;
    // Marker index if it names one of the 12 points, else -1.
    std::int32_t SustainIndex() const;
    std::int32_t LoopStartIndex() const;
    std::int32_t LoopEndIndex() const;

    // Ranges of a marker square's left and top edge.
    std::int32_t PlotWidth() const { return Width - 5; }
    std::int32_t PlotHeight() const { return Height - 5; }
    std::int32_t PointLeft(std::int32_t i) const;
    std::int32_t PointTop(std::int32_t i) const;
    std::int32_t PixelToX(std::int32_t px) const;
    std::int32_t PixelToY(std::int32_t py) const;

    // Pushes every point right of its predecessor. Returns true when a point moved.
    bool KeepPointsInOrder();

    // The point whose column lies within one pixel of x: any point, or only one carrying a
    // shown sustain or loop marker. -1 when none.
    std::int32_t FindMarker(std::int32_t x, bool anyPoint) const;

    // Left press on the plot: grabs a marker line under x, else adds a point at (x, y).
    // Returns true when the envelope changed.
    bool PressPlot(std::int32_t x, std::int32_t y);
    // Moves the grabbed marker line to the point under x. Returns true on a change.
    bool DragMarkerTo(std::int32_t x);
    void ReleasePlot() { DraggingMarker = false; }

    // Left press on point k's square at (dx, dy) inside it.
    void GrabPoint(std::int32_t k, std::int32_t dx, std::int32_t dy);
    // Moves the grabbed point so that its square's corner is at (left, top).
    bool DragPointTo(std::int32_t left, std::int32_t top);
    void ReleasePoint() { DraggingPoint = false; }
    // Deletes point k (never point 0). Returns true on a change.
    bool DeletePoint(std::int32_t k);

    enum class Marker { Sustain, LoopStart, LoopEnd };
    // Puts a marker on point k and switches its line on; the other loop end follows when the
    // loop would otherwise end before it starts. Returns true on a change.
    bool SetMarker(Marker marker, std::int32_t k);

private:
    std::int32_t ValidMarker(std::uint8_t index) const;
};

} // namespace sonlet
