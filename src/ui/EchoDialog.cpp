// Echo...: delay, feedback and mix.
#include "ui/FunctionDialogs.h"

#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QSettings>

namespace sonlet {

namespace {

class TEchoDialog final : public TFunctionDialog {
public:
    TEchoDialog(QWidget* parent, const QString& settingsPath)
        : TFunctionDialog(parent, "Echo", settingsPath) {
        const EchoParams defaults;
        delay_ = Field(1, 10000, " ms", Remembered("EchoDelay", defaults.DelayMs));
        feedback_ = Field(0, 100, " %", Remembered("EchoFeedback", defaults.Feedback * 100));
        mix_ = Field(0, 100, " %", Remembered("EchoMix", defaults.Mix * 100));
        Form->addRow("Delay:", delay_);
        Form->addRow("Feedback:", feedback_);
        Form->addRow("Mix:", mix_);
    }

    SampleFunctionOptions Options() const override {
        SampleFunctionOptions o;
        o.Echo = {delay_->value(), feedback_->value() / 100, mix_->value() / 100};
        return o;
    }

protected:
    void Keep(QSettings& ini) const override {
        ini.setValue("EchoDelay", delay_->value());
        ini.setValue("EchoFeedback", feedback_->value());
        ini.setValue("EchoMix", mix_->value());
    }

private:
    QDoubleSpinBox* Field(double low, double high, const QString& suffix, const QVariant& value) {
        auto* box = new QDoubleSpinBox(this);
        box->setRange(low, high);
        box->setDecimals(1);
        box->setSuffix(suffix);
        box->setValue(value.toDouble());
        return box;
    }

    QDoubleSpinBox* delay_ = nullptr;
    QDoubleSpinBox* feedback_ = nullptr;
    QDoubleSpinBox* mix_ = nullptr;
};

} // namespace

TFunctionDialog* MakeEchoDialog(QWidget* parent, const QString& settingsPath) {
    return new TEchoDialog(parent, settingsPath);
}

} // namespace sonlet
