#include "ui/LanePainter.h"

#include "model/Sample.h"

#include <QLine>
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

// Frames at least this many pixels apart get a mark each.
constexpr std::int64_t FrameMarkSpacing = 8;

std::int32_t ValueY(std::int32_t value, std::int32_t height) {
    return height / 2 -
           static_cast<std::int32_t>((static_cast<std::int64_t>(value) * height) / 65536);
}

void PaintColumnPeaks(QPainter& painter, const TSample& sample, const WaveWindow& window,
                      std::int32_t channel, std::int32_t width, std::int32_t height) {
    QVector<QLine> lines;
    lines.reserve(width);
    // Columns far wider than a summary block start and end on whole blocks of the coarsest
    // level that still fits sixteen times in a column: no value is then read one by one, the
    // summary answers from a few blocks whatever the length, and the few frames a column
    // takes from its neighbours never show.
    const std::int64_t perColumn = (window.Visible - 1) / width;
    std::int64_t grain = std::int64_t{1} << TWaveSummary::BaseShift;
    if (perColumn < 16 * grain) {
        grain = 1;
    }
    while (grain > 1 && 32 * grain <= perColumn) {
        grain *= 2;
    }
    std::int64_t from = window.XToFrame(0);
    for (std::int32_t i = 0; i < width; ++i) {
        const std::int64_t next = std::max(window.XToFrame(i + 1), from + 1);
        // The first frame of the next column joins the two, so a steady tone is a solid band.
        const PeakRange r =
            sample.Peaks(channel, from / grain * grain, (next + grain) / grain * grain);
        lines.append(QLine(i, ValueY(r.Max, height), i, ValueY(r.Min, height)));
        from = next;
    }
    painter.drawLines(lines.constData(), static_cast<int>(lines.size()));
}

void PaintFrameLines(QPainter& painter, const TSample& sample, const WaveWindow& window,
                     std::int32_t channel, std::int32_t width, std::int32_t height) {
    const std::int64_t channels = std::max<std::int64_t>(sample.Format.nChannels, 1);
    // From the frame before the window to the one after it, so the line reaches both edges.
    const std::int64_t first = std::max<std::int64_t>(window.First - 1, 0);
    const std::int64_t last =
        std::min<std::int64_t>(window.First + window.Visible, sample.NumFrames - 1);
    QVector<QPoint> points;
    points.reserve(static_cast<qsizetype>(std::max<std::int64_t>(last - first + 1, 0)));
    for (std::int64_t f = first; f <= last; ++f) {
        points.append(
            QPoint(window.FrameToX(f), ValueY(sample.GetValue(f * channels + channel), height)));
    }
    if (points.size() == 1) {
        painter.drawPoint(points.front());
    } else {
        painter.drawPolyline(points.constData(), static_cast<int>(points.size()));
    }
    if (static_cast<std::int64_t>(width) >=
        FrameMarkSpacing * std::max<std::int64_t>(window.Visible - 1, 1)) {
        for (const QPoint& p : points) {
            painter.fillRect(p.x() - 1, p.y() - 1, 3, 3, painter.pen().color());
        }
    }
}

} // namespace

void PaintLane(QPainter& painter, const TSample& sample, const WaveWindow& window,
               std::int32_t channel, std::int32_t width, std::int32_t height,
               const WaveColors& colors, bool peaks) {
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
    painter.setPen(QPen(colors.Wave, 1));
    if (peaks) {
        if (window.Visible - 1 > width) {
            PaintColumnPeaks(painter, sample, window, channel, width, height);
        } else {
            PaintFrameLines(painter, sample, window, channel, width, height);
        }
        painter.restore();
        return;
    }
    const std::int64_t channels = std::max<std::int64_t>(sample.Format.nChannels, 1);
    QVector<QPoint> line;
    line.reserve(width);
    for (std::int32_t i = 0; i < width; ++i) {
        const std::int64_t f = window.XToFrame(i);
        const std::int32_t v = sample.GetValue(f * channels + channel);
        line.append(QPoint(i, ValueY(v, height)));
    }
    if (line.size() == 1) {
        painter.drawPoint(line.front());
    } else {
        painter.drawPolyline(line.constData(), static_cast<int>(line.size()));
    }
    painter.restore();
}

} // namespace sonlet
