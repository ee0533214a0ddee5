#pragma once

#include "ui/logic/WaveWindow.h"

#include <cstdint>

namespace sonlet {

class TSample;

// What a held left button moves in the waveform view.
enum class DragTarget : std::uint8_t { Selection = 0, LoopStart = 1, LoopEnd = 2 };

// The waveform view's mouse editing: selecting frames and dragging the loop markers.
// The caller holds the instrument's edit lock around every call that takes a sample.
class TWaveDrag {
public:
    bool ButtonHeld = false;
    std::int64_t PressX = 0;
    DragTarget Target = DragTarget::Selection;
    // Selection edges and loop points land on the nearest zero crossing of the waveform; a
    // loop end on one of the same direction as the loop start's.
    bool SnapToZero = false;

    // Left button pressed at column x: grab a loop marker within one pixel, else start a
    // selection at the frame under x.
    void Press(TSample& sample, const WaveWindow& window, std::int32_t x);
    // Mouse at column x. Returns true when a marker or the selection moved; false when no
    // button is held or a marker refused the move.
    bool Move(TSample& sample, const WaveWindow& window, std::int32_t x);
    // Any button released at column x; a release where the press was clears the selection.
    void Release(TSample& sample, std::int32_t x);

    // True when a loop marker of sample lies within one pixel of column x.
    static bool NearLoopMarker(const TSample& sample, const WaveWindow& window, std::int32_t x);
};

} // namespace sonlet
