#pragma once

#include "SampleBuilder.h"
#include "model/Instrument.h"
#include "ui/Frame.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>
#include <QWidget>
#include <functional>

namespace sonlet::uitest {

// Sends a real mouse event to a widget, as the window system would deliver it while the
// widget holds the mouse (positions outside the widget included).
inline void SendMouse(QWidget& widget, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                      Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(pos), widget.mapToGlobal(QPointF(pos)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}
inline void Press(QWidget& w, QPoint pos, Qt::MouseButton button = Qt::LeftButton) {
    SendMouse(w, QEvent::MouseButtonPress, pos, button, button);
}
inline void Move(QWidget& w, QPoint pos, Qt::MouseButtons buttons = Qt::LeftButton) {
    SendMouse(w, QEvent::MouseMove, pos, Qt::NoButton, buttons);
}
inline void Release(QWidget& w, QPoint pos, Qt::MouseButton button = Qt::LeftButton) {
    SendMouse(w, QEvent::MouseButtonRelease, pos, button, Qt::NoButton);
}
inline void Drag(QWidget& w, QPoint from, QPoint to) {
    Press(w, from);
    Move(w, (from + to) / 2);
    Move(w, to);
    Release(w, to);
}

inline TSample& AddSample(TInstrument& inst, std::int64_t frames, int channels = 1) {
    inst.AddSample();
    return testkit::FillSample(*inst.CurrentSample(), frames, channels, [](std::int64_t f, int c) {
        return static_cast<std::int32_t>((f * 37 + c * 1000) % 20000);
    });
}

// An instrument shown in a frame whose lanes are 800 pixels wide and whose waveform panel
// is 300 pixels high.
struct ShownFrame {
    TInstrument inst;
    TfrSonlet frame;

    explicit ShownFrame(const std::function<void(TInstrument&)>& fill) {
        ZoomFactor = 1.0;
        fill(inst);
        frame.resize(801, 450);
        frame.SetInstrument(&inst);
        frame.InitEditor();
        frame.show();
        QApplication::processEvents();
    }
    ~ShownFrame() { ZoomFactor = 1.0; }
    TSample& Sample() { return *inst.CurrentSample(); }
};

} // namespace sonlet::uitest
