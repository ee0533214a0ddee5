#include "ui/logic/WaveWindow.h"

#include "ui/logic/Saturate.h"

#include <algorithm>
#include <cmath>

namespace sonlet {

double ZoomFactor = 1.0;

WaveWindow WaveWindow::Make(std::int64_t frames, double zoom, std::int64_t first,
                            std::int32_t width) {
    WaveWindow w;
    w.Frames = std::max<std::int64_t>(frames, 0);
    w.Width = width;
    w.First = zoom > 1.0 ? std::max<std::int64_t>(first, 0) : 0;
    const long double visible = static_cast<long double>(w.Frames) / zoom;
    w.Visible = std::isfinite(visible) && visible >= 0
                    ? static_cast<std::int64_t>(std::min<long double>(visible, w.Frames))
                    : w.Frames;
    // A zoom taken over from a longer sample must not leave this one showing a single frame.
    w.Visible = std::max(w.Visible, std::min<std::int64_t>(w.Frames, 2));
    return w;
}

std::int64_t WaveWindow::XToFrame(std::int32_t x) const {
    if (Width <= 0) {
        return 0;
    }
    std::int64_t f = First + ((Visible - 1) * x) / Width;
    if (f >= Frames) {
        f = Frames - 1;
    }
    return std::max<std::int64_t>(f, 0);
}

std::int32_t WaveWindow::FrameToX(std::int64_t frame) const {
    std::int64_t d = Visible - 1;
    if (d == 0) {
        d = 1;
    }
    return SaturateToInt32(((frame - First) * Width) / d);
}

double MaxZoomFor(std::int64_t frames) { return std::max(1.0, static_cast<double>(frames) / 2.0); }

WaveScroll MakeWaveScroll(std::int64_t frames, std::int64_t pageFrames) {
    WaveScroll s;
    const std::int64_t page = std::max<std::int64_t>(pageFrames, 1);
    s.PageSize = SaturateToInt32(page);
    // The last position shows the final frame in the last column: (N - 1) - page + 1.
    s.MaxPosition = SaturateToInt32(std::max<std::int64_t>(frames - page, 0));
    s.Step = static_cast<std::int32_t>(std::min<std::int64_t>(page / 100 + 1, 32767));
    return s;
}

} // namespace sonlet
