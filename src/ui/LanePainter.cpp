#include "ui/LanePainter.h"

#include "model/Sample.h"

#include <QPainter>
#include <QPoint>
#include <QVector>
#include <algorithm>

namespace sonlet {

namespace {

// Columns far outside the lane are drawn at its edge so that no coordinate overflows.
std::int32_t ClipColumn(std::int32_t x, std::int32_t width) { return std::clamp(x, -1, width + 1); }

void PaintDottedColumn(QPainter& painter, std::int32_t x, std::int32_t height, const QColor& dot,
                       const QColor& gap) {
    painter.fillRect(x, 0, 1, height, gap);
    painter.setPen(QPen(dot, 1));
    QVector<QPoint> dots;
    dots.reserve(height / 2 + 1);
    for (std::int32_t y = 0; y < height; y += 2) {
        dots.append(QPoint(x, y));
    }
    painter.drawPoints(dots.constData(), static_cast<int>(dots.size()));
}

} // namespace

void PaintLane(QPainter& painter, const TSample& sample, const WaveWindow& window,
               std::int32_t channel, std::int32_t width, std::int32_t height,
               const WaveColors& colors) {
    if (width <= 0 || height <= 0) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(0, 0, width, height, colors.Background);

    QColor gap = colors.Background;
    if (sample.MarkA >= 0) {
        const std::int32_t left = window.FrameToX(sample.SelStart);
        const std::int32_t right = window.FrameToX(sample.SelEnd + 1);
        if (left < width && right > 0) {
            const std::int32_t l = ClipColumn(left, width);
            painter.fillRect(l, 0, ClipColumn(right, width) - l, height, colors.Selection);
        }
        gap = colors.Accent;
    }

    if (sample.LoopStartPos >= 0) {
        for (const std::int64_t frame : {sample.LoopStartPos, sample.LoopEndPos}) {
            const std::int32_t x = window.FrameToX(frame);
            if (x >= 0 && x < width) {
                PaintDottedColumn(painter, x, height, colors.Wave, gap);
            }
        }
    }

    painter.setPen(QPen(colors.CenterLine, 1));
    painter.drawLine(0, height / 2, width - 1, height / 2);

    if (sample.DataSize == 0) {
        painter.restore();
        return;
    }
    const std::int64_t channels = std::max<std::int64_t>(sample.Format.nChannels, 1);
    QVector<QPoint> line;
    line.reserve(width);
    for (std::int32_t i = 0; i < width; ++i) {
        const std::int64_t f = window.XToFrame(i);
        const std::int32_t v = sample.GetValue(f * channels + channel);
        line.append(QPoint(i, height / 2 - static_cast<std::int32_t>(
                                               (static_cast<std::int64_t>(v) * height) / 65536)));
    }
    painter.setPen(QPen(colors.Wave, 1));
    if (line.size() == 1) {
        painter.drawPoint(line.front());
    } else {
        painter.drawPolyline(line.constData(), static_cast<int>(line.size()));
    }
    painter.restore();
}

} // namespace sonlet
