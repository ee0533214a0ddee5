#include "ui/logic/EnvelopeEditor.h"

#include <algorithm>
#include <cmath>

namespace sonlet {

namespace {

std::int32_t Truncate(double value) { return static_cast<std::int32_t>(std::trunc(value)); }

} // namespace

std::int32_t TEnvelopeEditor::Count() const {
    return Envelope != nullptr ? std::min<std::int32_t>(Envelope->Count, MaxPoints) : 0;
}

std::int32_t TEnvelopeEditor::ValidMarker(std::uint8_t index) const {
    return index < Count() ? index : -1;
}

std::int32_t TEnvelopeEditor::SustainIndex() const {
    return Envelope != nullptr ? ValidMarker(Envelope->Sustain) : -1;
}

std::int32_t TEnvelopeEditor::LoopStartIndex() const {
    return Envelope != nullptr ? ValidMarker(Envelope->LoopStart) : -1;
}

std::int32_t TEnvelopeEditor::LoopEndIndex() const {
    return Envelope != nullptr ? ValidMarker(Envelope->LoopEnd) : -1;
}

std::int32_t TEnvelopeEditor::PointLeft(std::int32_t i) const {
    const double x = (*Points)[static_cast<std::size_t>(i)].X;
    return Truncate(PlotWidth() * (x / MaxX) * Zoom);
}

std::int32_t TEnvelopeEditor::PointTop(std::int32_t i) const {
    const double y = (*Points)[static_cast<std::size_t>(i)].Y;
    return PlotHeight() - Truncate(PlotHeight() * y / MaxY);
}

std::int32_t TEnvelopeEditor::PixelToX(std::int32_t px) const {
    if (PlotWidth() <= 0 || Zoom <= 0) {
        return 0;
    }
    const double x = static_cast<double>(px) / PlotWidth() * MaxX / Zoom;
    return std::clamp(Truncate(std::clamp(x, -1.0, MaxX + 1.0)), 0, MaxX);
}

std::int32_t TEnvelopeEditor::PixelToY(std::int32_t py) const {
    if (PlotHeight() <= 0) {
        return 0;
    }
    const double y = static_cast<double>(py) / PlotHeight() * MaxY;
    return std::clamp(MaxY - Truncate(std::clamp(y, -1.0, MaxY + 1.0)), 0, MaxY);
}

bool TEnvelopeEditor::KeepPointsInOrder() {
    if (!Bound()) {
        return false;
    }
    bool moved = false;
    std::int32_t prev = -1;
    for (std::int32_t i = 0; i < Count(); ++i) {
        EnvelopePoint& p = (*Points)[static_cast<std::size_t>(i)];
        // At the top of the 16-bit range a point can only be pushed as far as 65535.
        if (prev >= p.X && p.X != 65535) {
            p.X = static_cast<std::uint16_t>(std::min(prev + 1, 65535));
            moved = true;
        }
        prev = p.X;
    }
    return moved;
}

std::int32_t TEnvelopeEditor::FindMarker(std::int32_t x, bool anyPoint) const {
    if (!Bound()) {
        return -1;
    }
    for (std::int32_t i = 0; i < Count(); ++i) {
        const std::int32_t left = PointLeft(i);
        if (!(x - 3 <= left && left <= x - 1)) {
            continue;
        }
        if (anyPoint) {
            return i;
        }
        const bool sustain = Envelope->SustainOn != 0 && i == SustainIndex();
        const bool loop = Envelope->LoopOn != 0 && (i == LoopStartIndex() || i == LoopEndIndex());
        if (sustain || loop) {
            return i;
        }
    }
    return -1;
}

bool TEnvelopeEditor::PressPlot(std::int32_t x, std::int32_t y) {
    if (!Bound()) {
        return false;
    }
    const std::int32_t m = FindMarker(x, false);
    if (m >= 0) {
        DraggingMarker = true;
        DragIndex = m;
        return false;
    }
    const std::int32_t count = Count();
    if (count == MaxPoints) {
        return false;
    }
    std::int32_t nx = PixelToX(x);
    const std::int32_t ny = PixelToY(y);
    // A new point never goes before point 0, except into an empty envelope.
    std::int32_t h = count;
    for (std::int32_t i = 1; i < count; ++i) {
        if ((*Points)[static_cast<std::size_t>(i)].X > nx) {
            h = i;
            break;
        }
    }
    for (std::int32_t i = count; i > h; --i) {
        (*Points)[static_cast<std::size_t>(i)] = (*Points)[static_cast<std::size_t>(i) - 1];
    }
    for (std::uint8_t* marker : {&Envelope->Sustain, &Envelope->LoopStart, &Envelope->LoopEnd}) {
        if (*marker < count && *marker >= h) {
            ++*marker;
        }
    }
    Envelope->Count = static_cast<std::uint8_t>(count + 1);
    if (h == 0) {
        nx = 0;
    }
    (*Points)[static_cast<std::size_t>(h)] = {static_cast<std::uint16_t>(nx),
                                              static_cast<std::uint16_t>(ny)};
    KeepPointsInOrder();
    ClampMarkers(*Envelope);
    return true;
}

bool TEnvelopeEditor::DragMarkerTo(std::int32_t x) {
    if (!Bound() || !DraggingMarker) {
        return false;
    }
    const std::int32_t target = FindMarker(x, true);
    if (target < 0 || target == DragIndex) {
        return false;
    }
    bool moved = true;
    const auto t = static_cast<std::uint8_t>(target);
    if (Envelope->Sustain == DragIndex) {
        Envelope->Sustain = t;
    } else if (Envelope->LoopStart == DragIndex && target <= Envelope->LoopEnd) {
        Envelope->LoopStart = t;
    } else if (Envelope->LoopEnd == DragIndex && target >= Envelope->LoopStart) {
        Envelope->LoopEnd = t;
    } else {
        moved = false;
    }
    DragIndex = target;
    return moved;
}

void TEnvelopeEditor::GrabPoint(std::int32_t k, std::int32_t dx, std::int32_t dy) {
    DraggingPoint = true;
    DragIndex = k;
    DragX = dx;
    DragY = dy;
}

bool TEnvelopeEditor::DragPointTo(std::int32_t left, std::int32_t top) {
    if (!Bound() || !DraggingPoint || DragIndex < 0 || DragIndex >= Count()) {
        return false;
    }
    EnvelopePoint& p = (*Points)[static_cast<std::size_t>(DragIndex)];
    const EnvelopePoint before = p;
    p.X = static_cast<std::uint16_t>(DragIndex == 0 ? 0 : PixelToX(left));
    p.Y = static_cast<std::uint16_t>(PixelToY(top));
    const bool pushed = KeepPointsInOrder();
    const EnvelopeParams params = *Envelope;
    ClampMarkers(*Envelope);
    return pushed || p.X != before.X || p.Y != before.Y || params != *Envelope;
}

bool TEnvelopeEditor::DeletePoint(std::int32_t k) {
    const std::int32_t count = Count();
    if (!Bound() || k <= 0 || k >= count) {
        return false;
    }
    for (std::int32_t i = k; i < count - 1; ++i) {
        (*Points)[static_cast<std::size_t>(i)] = (*Points)[static_cast<std::size_t>(i) + 1];
    }
    Envelope->Count = static_cast<std::uint8_t>(count - 1);
    // A marker on the deleted point moves to the previous point.
    for (std::uint8_t* marker : {&Envelope->Sustain, &Envelope->LoopStart, &Envelope->LoopEnd}) {
        if (*marker >= k) {
            --*marker;
        }
    }
    KeepPointsInOrder();
    ClampMarkers(*Envelope);
    return true;
}

bool TEnvelopeEditor::SetMarker(Marker marker, std::int32_t k) {
    if (!Bound() || k < 0 || k >= Count()) {
        return false;
    }
    const EnvelopeParams before = *Envelope;
    ClampMarkers(*Envelope);
    const auto at = static_cast<std::uint8_t>(k);
    switch (marker) {
    case Marker::Sustain:
        Envelope->Sustain = at;
        Envelope->SustainOn = 1;
        break;
    case Marker::LoopStart:
        Envelope->LoopStart = at;
        Envelope->LoopEnd = std::max(Envelope->LoopEnd, at);
        Envelope->LoopOn = 1;
        break;
    case Marker::LoopEnd:
        Envelope->LoopEnd = at;
        Envelope->LoopStart = std::min(Envelope->LoopStart, at);
        Envelope->LoopOn = 1;
        break;
    }
    return before != *Envelope;
}

} // namespace sonlet
