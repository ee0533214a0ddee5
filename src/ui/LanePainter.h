#pragma once

#include "ui/logic/WaveWindow.h"

#include <QColor>
#include <cstdint>

class QPainter;

namespace sonlet {

class TSample;

// The five colours of the waveform view; the main window's colour schemes set them.
struct WaveColors {
    QColor Background{0xFF, 0xFF, 0xFF};
    QColor Selection{0xF0, 0xF0, 0xFA};
    QColor Accent{0xFF, 0xFF, 0xFF}; // gaps of the dotted loop markers over a selection
    QColor CenterLine{0xC0, 0xC0, 0xC0};
    QColor Wave{0x00, 0x00, 0x00};
};

// Paints one lane (channel) of sample over window into a width x height area at (0, 0):
// background, selection, dotted loop markers, centre line and the waveform. With peaks, a
// column that covers several frames shows a line from their smallest to their largest value
// (read from the sample's summary), and frames wider than a column are joined by lines, with
// a mark on each frame once they are far apart; without, a polyline of one value per column.
// The cost depends on the width, not on the sample's length.
void PaintLane(QPainter& painter, const TSample& sample, const WaveWindow& window,
               std::int32_t channel, std::int32_t width, std::int32_t height,
               const WaveColors& colors, bool peaks = true);

} // namespace sonlet
