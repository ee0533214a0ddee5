// The waveform view of the editor frame: layout, painting, mouse editing, zoom and scroll.
#include "ui/Frame.h"

#include <QAction>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace sonlet {

namespace {

constexpr int ScrollBarHeight = 16;

} // namespace

TSample* TfrSonlet::Sample() const {
    TInstrument* inst = Instrument();
    if (inst == nullptr || inst->SampleCount < 1) {
        return nullptr;
    }
    return inst->CurrentSample();
}

WaveWindow TfrSonlet::Window() const {
    const TSample* s = Sample();
    return WaveWindow::Make(s != nullptr ? s->NumFrames : 0, ZoomFactor, ScrollBar->value(),
                            PaintBox1->width());
}

std::int64_t TfrSonlet::XToFrame(std::int32_t x) const {
    return Sample() != nullptr ? Window().XToFrame(x) : 0;
}

std::int32_t TfrSonlet::FrameToX(std::int64_t frame) const {
    return Sample() != nullptr ? Window().FrameToX(frame) : 0;
}

void TfrSonlet::UpdateView(std::int32_t scrollPosition) {
    const bool zoomed = ZoomFactor > 1.0;
    ScrollBar->setVisible(zoomed);
    if (!lanesSet_) {
        return;
    }
    const int width = std::max(Panel->width() - 1, 0);
    int h = Panel->height();
    if (zoomed) {
        ScrollBar->setGeometry(0, Panel->height() - ScrollBarHeight, Panel->width(),
                               ScrollBarHeight);
        h -= ScrollBarHeight;
    }
    PlayLine->resize(1, std::max(h, 0));

    const TSample* s = Sample();
    const bool stereo = s != nullptr && s->Format.nChannels == 2;
    if (stereo) {
        PaintBox1->setGeometry(0, 0, width, std::max(h / 2 - 2, 0));
        PaintBox2->setGeometry(0, h / 2, width, std::max(h / 2 - 2, 0));
        PaintBox2->show();
    } else {
        PaintBox2->hide();
        PaintBox1->setGeometry(0, 0, width, std::max(h - 2, 0));
    }
    PaintBox1->show();

    if (zoomed && s != nullptr) {
        // Page size from a window at the start of the sample: V - 1 frames, or fewer when the
        // sample is that short. The range never inverts, whatever the sample holds.
        const WaveWindow start = WaveWindow::Make(s->NumFrames, ZoomFactor, 0, width);
        const WaveScroll scroll =
            MakeWaveScroll(s->NumFrames, start.XToFrame(width) - start.XToFrame(0));
        ScrollBar->setRange(0, scroll.MaxPosition);
        ScrollBar->setPageStep(scroll.PageSize);
        ScrollBar->setSingleStep(scroll.Step);
        if (scrollPosition >= 0) {
            ScrollBar->setValue(scrollPosition);
        }
    }
    RedrawWaveforms();
    SetStatus(StatusZoomPanel,
              "Zoom: " + QString::number(static_cast<std::int64_t>(ZoomFactor * 100.0)) + "%");
    ShowSelectionStatus();
    ShowSampleInfo();
}

void TfrSonlet::ShowSelectionStatus() {
    const TSample* s = Sample();
    if (s == nullptr || s->MarkA < 0) {
        SetStatus(StatusSelectionPanel, QString());
        return;
    }
    SetStatus(StatusSelectionPanel,
              "Selected: " + QString::number(s->SelStart) + "-" + QString::number(s->SelEnd));
}

void TfrSonlet::RedrawWaveforms() {
    if (!lanesSet_) {
        return;
    }
    PaintBox1->update();
    PaintBox2->update();
}

void TfrSonlet::PaintBox1Paint(TPaintBox& sender, QPainter& canvas) {
    TSample* s = Sample();
    if (s == nullptr || !sender.isVisible()) {
        return;
    }
    s->EnsureSummary();
    PaintLane(canvas, *s, Window(), sender.Tag, sender.width(), sender.height(), Colors(),
              ShowPeaks);
}

void TfrSonlet::PaintToImage(QImage& image, int channel) const {
    TSample* s = Sample();
    if (s == nullptr || image.isNull()) {
        return;
    }
    s->EnsureSummary();
    QPainter painter(&image);
    const WaveWindow window = WaveWindow::Make(
        s->NumFrames, ZoomFactor, ZoomFactor > 1.0 ? ScrollBar->value() : 0, image.width());
    PaintLane(painter, *s, window, channel, image.width(), image.height(), Colors(), ShowPeaks);
}

void TfrSonlet::PaintBox1MouseDown(TPaintBox&, const MouseInput& input) {
    TSample* s = Sample();
    if (s == nullptr || input.Button != Qt::LeftButton) {
        return;
    }
    {
        InstrumentEditGuard guard(Instrument()->EditLock());
        drag_.Press(*s, Window(), input.X);
    }
    UpdateView(-1);
}

void TfrSonlet::PaintBox1MouseMove(TPaintBox& sender, const MouseInput& input) {
    TSample* s = Sample();
    if (s == nullptr) {
        return;
    }
    Panel->setFocus();
    const WaveWindow window = Window();
    bool moved = false;
    {
        InstrumentEditGuard guard(Instrument()->EditLock());
        moved = drag_.Move(*s, window, input.X);
    }
    if (!moved) {
        sender.setCursor(TWaveDrag::NearLoopMarker(*s, window, input.X) ? Qt::SizeHorCursor
                                                                        : Qt::ArrowCursor);
    }
    SetStatus(StatusPositionPanel, "Position: " + QString::number(window.XToFrame(input.X) + 1));
    if (drag_.ButtonHeld) {
        UpdateView(-1);
    }
}

void TfrSonlet::PaintBox1MouseUp(TPaintBox&, const MouseInput& input) {
    TSample* s = Sample();
    if (s == nullptr) {
        drag_.ButtonHeld = false;
        return;
    }
    {
        InstrumentEditGuard guard(Instrument()->EditLock());
        drag_.Release(*s, input.X);
    }
    UpdateView(-1);
}

void TfrSonlet::ScrollBarChange() {
    // The last position shows the sample's last frame in the last column; the scroll bar's
    // range already ends there, so this only guards positions set from outside.
    const TSample* s = Sample();
    if (s != nullptr && ScrollBar->value() > ScrollBar->maximum()) {
        ScrollBar->setValue(ScrollBar->maximum());
    }
    RedrawWaveforms();
}

void TfrSonlet::ZoomIn() {
    const TSample* s = Sample();
    if (s == nullptr || s->DataSize == 0) {
        return;
    }
    const double limit = MaxZoomFor(s->NumFrames);
    if (s->MarkA == s->MarkB) {
        ZoomFactor = std::min(ZoomFactor * 2.0, limit);
        UpdateView(ZoomFactor == 2.0 ? 0 : -1);
        return;
    }
    const long double span = std::llabs(s->MarkA - s->MarkB);
    ZoomFactor = std::clamp(static_cast<double>(s->NumFrames / span), 1.0, limit);
    UpdateView(static_cast<std::int32_t>(std::min<std::int64_t>(s->SelStart, INT32_MAX)));
}

void TfrSonlet::ZoomOut() {
    ZoomFactor = std::max(ZoomFactor / 2.0, 1.0);
    UpdateView(-1);
}

void TfrSonlet::ZoomToSelection() {
    const TSample* s = Sample();
    if (s == nullptr || s->DataSize == 0 || s->MarkA < 0 || s->NumFrames < 1) {
        return;
    }
    const std::int64_t first = std::clamp<std::int64_t>(s->SelStart, 0, s->NumFrames - 1);
    const std::int64_t last = std::clamp<std::int64_t>(s->SelEnd, first, s->NumFrames - 1);
    const std::int64_t frames = last - first + 1;
    const std::int32_t width = PaintBox1->width();
    double zoom = std::clamp(static_cast<double>(s->NumFrames) / static_cast<double>(frames), 1.0,
                             MaxZoomFor(s->NumFrames));
    // Rounding may leave the window a frame short of the selection: widen it until it fits.
    for (int i = 0;
         i < 64 && zoom > 1.0 && WaveWindow::Make(s->NumFrames, zoom, 0, width).Visible < frames;
         ++i) {
        zoom = std::max(1.0, zoom * (1.0 - 1e-9));
    }
    ZoomFactor = zoom;
    UpdateView(static_cast<std::int32_t>(std::min<std::int64_t>(first, INT32_MAX)));
}

void TfrSonlet::ZoomAbout(std::int32_t x, bool in) {
    const TSample* s = Sample();
    if (s == nullptr || s->DataSize == 0) {
        return;
    }
    const std::int64_t anchor = XToFrame(x);
    const double zoom =
        in ? std::min(ZoomFactor * 2.0, MaxZoomFor(s->NumFrames)) : std::max(ZoomFactor / 2.0, 1.0);
    ZoomFactor = zoom;
    // The frame under the mouse stays under it: the first frame moves to keep its column.
    const WaveWindow window = WaveWindow::Make(s->NumFrames, zoom, 0, PaintBox1->width());
    const std::int64_t offset =
        window.Width > 0 ? ((window.Visible - 1) * std::clamp(x, 0, window.Width)) / window.Width
                         : 0;
    const std::int64_t first = std::clamp<std::int64_t>(anchor - offset, 0, INT32_MAX);
    UpdateView(zoom > 1.0 ? static_cast<std::int32_t>(first) : -1);
}

void TfrSonlet::ScrollByWheel(std::int32_t delta) {
    if (ZoomFactor <= 1.0 || Sample() == nullptr) {
        return;
    }
    // One notch (120) moves an eighth of the page; positive angles go toward the start.
    const std::int64_t frames = -static_cast<std::int64_t>(delta) * ScrollBar->pageStep() / 960;
    const std::int64_t target =
        std::clamp<std::int64_t>(ScrollBar->value() + (frames != 0 ? frames : (delta > 0 ? -1 : 1)),
                                 ScrollBar->minimum(), ScrollBar->maximum());
    ScrollBar->setValue(static_cast<std::int32_t>(target));
}

std::optional<std::int32_t> TfrSonlet::LaneColumnAt(QPointF global) const {
    if (!lanesSet_ || Sample() == nullptr) {
        return std::nullopt;
    }
    const QPoint inPanel = Panel->mapFromGlobal(global.toPoint());
    if (!Panel->rect().contains(inPanel)) {
        return std::nullopt;
    }
    return std::clamp(PaintBox1->mapFrom(Panel, inPanel).x(), 0, PaintBox1->width());
}

void TfrSonlet::SetShowPeaks(bool on) {
    ShowPeaks = on;
    if (mniShowPeaks != nullptr) {
        mniShowPeaks->setChecked(on);
    }
    RedrawWaveforms();
}

void TfrSonlet::ResetZoom() {
    ZoomFactor = 1.0;
    UpdateView(-1);
}

void TfrSonlet::FrameResize() { UpdateView(-1); }

} // namespace sonlet
