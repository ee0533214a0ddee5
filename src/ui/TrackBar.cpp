#include "ui/TrackBar.h"

#include "ui/logic/Saturate.h"

#include <QSignalBlocker>
#include <algorithm>

namespace sonlet {

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
        lo = SaturateToInt32(minimum);
    }
    if (maximum >= lo) {
        hi = SaturateToInt32(maximum);
    }
    bar.setRange(lo, hi);
}

void ShowTrackValue(QSlider& bar, std::int64_t value) {
    const QSignalBlocker block(bar);
    bar.setValue(SaturateToInt32(std::clamp<std::int64_t>(value, bar.minimum(), bar.maximum())));
}

} // namespace sonlet
