#pragma once

#include <QSlider>
#include <cstdint>

namespace sonlet {

// A horizontal slider set up as the property panel's track bars: page size 1, no ticks,
// not reached with Tab.
QSlider* MakeTrackBar(QWidget* parent, int minimum, int maximum, int position);

// Changes a track bar's range without signalling. A minimum above the current maximum or a
// maximum below the current minimum is not applied, so the bar keeps a valid range.
void SetTrackRange(QSlider& bar, std::int64_t minimum, std::int64_t maximum);

// Shows a model value: the bar stands at the value, or at its nearest bound when the value
// lies outside the range. Sets the position without signalling, so nothing is written back.
void ShowTrackValue(QSlider& bar, std::int64_t value);

} // namespace sonlet
