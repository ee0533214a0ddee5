#include "ui/TrackBar.h"

#include <QSignalBlocker>
#include <algorithm>
#include <limits>

namespace sonlet {

namespace {

int Saturate(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

} // namespace

QSlider* MakeTrackBar(QWidget* parent, int minimum, int maximum, int position) {
    auto* bar = new QSlider(Qt::Horizontal, parent);
    bar->setRange(minimum, maximum);
    bar->setValue(position);
    bar->setPageStep(1);
    bar->setSingleStep(1);
    bar->setTickPosition(QSlider::NoTicks);
    bar->setFocusPolicy(Qt::ClickFocus);
    return bar;
}

void SetTrackRange(QSlider& bar, std::int64_t minimum, std::int64_t maximum) {
    const QSignalBlocker block(bar);
    int lo = bar.minimum();
    int hi = bar.maximum();
    if (minimum <= hi) {
        lo = Saturate(minimum);
    }
    if (maximum >= lo) {
        hi = Saturate(maximum);
    }
    bar.setRange(lo, hi);
}

int ShowTrackValue(QSlider& bar, std::int64_t value) {
    const QSignalBlocker block(bar);
    const int shown = Saturate(std::clamp<std::int64_t>(value, bar.minimum(), bar.maximum()));
    bar.setValue(shown);
    return shown;
}

} // namespace sonlet
