// Volume...: a gain ramp in percent or dB, the fade law, and Normalize.
#include "ui/FunctionDialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSettings>
#include <cmath>

namespace sonlet {

namespace {

constexpr double LowestDb = -100.0;

class TVolumeDialog final : public TFunctionDialog {
public:
    TVolumeDialog(QWidget* parent, const QString& settingsPath)
        : TFunctionDialog(parent, "Volume", settingsPath) {
        start_ = Field();
        end_ = Field();
        unit_ = new QComboBox(this);
        unit_->addItems({"%", "dB"});
        law_ = new QComboBox(this);
        law_->addItems({"Linear", "Equal power"});
        Form->addRow("Start:", start_);
        Form->addRow("End:", end_);
        Form->addRow("Unit:", unit_);
        Form->addRow("Fades:", law_);
        SetUnit(Remembered("VolumeUnit", "%").toString() == "dB");
        start_->setValue(Remembered("VolumeStart", 100.0).toDouble());
        end_->setValue(Remembered("VolumeEnd", 100.0).toDouble());
        law_->setCurrentIndex(Remembered("FadeLaw", "linear").toString() == "equal-power");
        connect(unit_, &QComboBox::currentIndexChanged, this, [this](int index) {
            const double a = start_->value();
            const double b = end_->value();
            SetUnit(index == 1);
            start_->setValue(index == 1 ? ToDb(a) : FromDb(a));
            end_->setValue(index == 1 ? ToDb(b) : FromDb(b));
        });
        auto* normalize = Buttons->addButton("Normalize", QDialogButtonBox::ActionRole);
        connect(normalize, &QPushButton::clicked, this, [this] { done(NormalizeChosen); });
    }

    SampleFunctionOptions Options() const override {
        SampleFunctionOptions o;
        const bool db = unit_->currentIndex() == 1;
        auto gain = [db](double v) {
            return db ? (v <= LowestDb ? 0.0 : DecibelsToGain(v)) : v / 100.0;
        };
        o.Fade = law_->currentIndex() == 1 ? FadeLaw::EqualPower : FadeLaw::Linear;
        o.Gain = {gain(start_->value()), gain(end_->value()), o.Fade};
        return o;
    }

protected:
    void Keep(QSettings& ini) const override {
        ini.setValue("VolumeStart", start_->value());
        ini.setValue("VolumeEnd", end_->value());
        ini.setValue("VolumeUnit", unit_->currentText());
        ini.setValue("FadeLaw", law_->currentIndex() == 1 ? "equal-power" : "linear");
    }

private:
    QDoubleSpinBox* Field() {
        auto* box = new QDoubleSpinBox(this);
        box->setDecimals(1);
        return box;
    }
    void SetUnit(bool db) {
        for (QDoubleSpinBox* box : {start_, end_}) {
            box->setRange(db ? LowestDb : 0.0, db ? 20.0 : 1000.0);
            box->setSuffix(db ? " dB" : " %");
        }
        unit_->blockSignals(true);
        unit_->setCurrentIndex(db ? 1 : 0);
        unit_->blockSignals(false);
    }
    static double ToDb(double percent) {
        return percent <= 0 ? LowestDb : std::max(LowestDb, 20 * std::log10(percent / 100));
    }
    static double FromDb(double db) { return db <= LowestDb ? 0.0 : DecibelsToGain(db) * 100; }

    QDoubleSpinBox* start_ = nullptr;
    QDoubleSpinBox* end_ = nullptr;
    QComboBox* unit_ = nullptr;
    QComboBox* law_ = nullptr;
};

} // namespace

TFunctionDialog* MakeVolumeDialog(QWidget* parent, const QString& settingsPath) {
    return new TVolumeDialog(parent, settingsPath);
}

} // namespace sonlet
