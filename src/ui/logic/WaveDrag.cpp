#include "ui/logic/WaveDrag.h"

#include "model/Sample.h"

#include <algorithm>

namespace sonlet {

namespace {

bool WithinOnePixel(std::int32_t markerX, std::int32_t x) {
    return static_cast<std::int64_t>(x) - 1 <= markerX &&
           markerX <= static_cast<std::int64_t>(x) + 1;
}

bool HasLoop(const TSample& sample) { return sample.LoopStartPos >= 0; }

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
        const std::int64_t f = window.XToFrame(x);
        sample.SetMarkA(f);
        sample.SetMarkB(f);
    }
}

bool TWaveDrag::Move(TSample& sample, const WaveWindow& window, std::int32_t x) {
    if (!ButtonHeld) {
        return false;
    }
    const std::int64_t f = window.XToFrame(x);
    switch (Target) {
    case DragTarget::LoopStart:
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
        if (f > sample.LoopStart) {
            sample.SetLoopLength(f - sample.LoopStart);
            return true;
        }
        return false;
    case DragTarget::Selection:
        sample.SetMarkB(f);
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
