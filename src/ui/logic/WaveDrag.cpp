#include "ui/logic/WaveDrag.h"

#include "model/Sample.h"
#include "model/SampleLoop.h"

#include <algorithm>

namespace sonlet {

namespace {

bool WithinOnePixel(std::int32_t markerX, std::int32_t x) {
    return static_cast<std::int64_t>(x) - 1 <= markerX &&
           markerX <= static_cast<std::int64_t>(x) + 1;
}

bool HasLoop(const TSample& sample) { return sample.LoopStartPos >= 0; }

// The frame a drag to f sets when snapping: a crossing of the given way, if one is near.
std::int64_t Snapped(const TSample& sample, std::int64_t f, bool snap, Crossing way) {
    if (!snap) {
        return f;
    }
    return NearestZeroCrossing(sample, f, way == Crossing::None ? Crossing::Any : way);
}

} // namespace

bool TWaveDrag::NearLoopMarker(const TSample& sample, const WaveWindow& window, std::int32_t x) {
    return HasLoop(sample) && (WithinOnePixel(window.FrameToX(sample.LoopStartPos), x) ||
                               WithinOnePixel(window.FrameToX(sample.LoopEndPos), x));
}

void TWaveDrag::Press(TSample& sample, const WaveWindow& window, std::int32_t x) {
    ButtonHeld = true;
    PressX = x;
    if (HasLoop(sample) && WithinOnePixel(window.FrameToX(sample.LoopStartPos), x)) {
        Target = DragTarget::LoopStart;
    } else if (HasLoop(sample) && WithinOnePixel(window.FrameToX(sample.LoopEndPos), x)) {
        Target = DragTarget::LoopEnd;
    } else {
        Target = DragTarget::Selection;
        const std::int64_t f = Snapped(sample, window.XToFrame(x), SnapToZero, Crossing::Any);
        sample.SetMarkA(f);
        sample.SetMarkB(f);
    }
}

bool TWaveDrag::Move(TSample& sample, const WaveWindow& window, std::int32_t x) {
    if (!ButtonHeld) {
        return false;
    }
    std::int64_t f = window.XToFrame(x);
    switch (Target) {
    case DragTarget::LoopStart:
        f = Snapped(sample, f, SnapToZero, Crossing::Any);
        if (f < sample.LoopEndPos) {
            // The length stays, so the whole loop moves, at most until it ends on the last
            // frame.
            const std::int64_t last =
                sample.NumFrames - std::max<std::int64_t>(sample.LoopLength, 0);
            const std::int64_t start = std::max<std::int64_t>(std::min(f, last), 0);
            if (start == sample.LoopStart) {
                return false;
            }
            sample.SetLoopStart(start);
            return true;
        }
        return false;
    case DragTarget::LoopEnd:
        // f is the frame the loop wraps before: its crossing must be the loop start's.
        f = Snapped(sample, f, SnapToZero, CrossingAt(sample, sample.LoopStart));
        if (f > sample.LoopStart) {
            sample.SetLoopLength(f - sample.LoopStart);
            return true;
        }
        return false;
    case DragTarget::Selection:
        sample.SetMarkB(Snapped(sample, f, SnapToZero, Crossing::Any));
        return true;
    }
    return false;
}

void TWaveDrag::Release(TSample& sample, std::int32_t x) {
    ButtonHeld = false;
    if (x == PressX) {
        sample.ClearMarks();
    }
}

} // namespace sonlet
