// Crossfade loop...: how many frames before the loop end fade into those before its start.
#include "ui/FunctionDialogs.h"

#include <QFormLayout>
#include <QSettings>
#include <QSpinBox>

namespace sonlet {

namespace {

class TCrossfadeDialog final : public TFunctionDialog {
public:
    TCrossfadeDialog(QWidget* parent, const QString& settingsPath, std::int64_t most)
        : TFunctionDialog(parent, "Crossfade loop", settingsPath) {
        frames_ = new QSpinBox(this);
        frames_->setRange(1, static_cast<int>(std::clamp<std::int64_t>(most, 1, 1 << 30)));
        frames_->setSuffix(" frames");
        frames_->setValue(Remembered("CrossfadeFrames", 1000).toInt());
        Form->addRow("Length:", frames_);
    }

    SampleFunctionOptions Options() const override {
        SampleFunctionOptions o;
        o.CrossfadeFrames = frames_->value();
        return o;
    }

protected:
    void Keep(QSettings& ini) const override { ini.setValue("CrossfadeFrames", frames_->value()); }

private:
    QSpinBox* frames_ = nullptr;
};

} // namespace

TFunctionDialog* MakeCrossfadeDialog(QWidget* parent, const QString& settingsPath,
                                     std::int64_t mostFrames) {
    return new TCrossfadeDialog(parent, settingsPath, mostFrames);
}

} // namespace sonlet
