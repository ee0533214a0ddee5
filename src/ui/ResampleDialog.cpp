// Resample...: a new rate or length, keeping the pitch or the tuning.
#include "ui/FunctionDialogs.h"

#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <cmath>

namespace sonlet {

namespace {

class TResampleDialog final : public TFunctionDialog {
public:
    TResampleDialog(QWidget* parent, const QString& settingsPath, double rate, std::int64_t frames)
        : TFunctionDialog(parent, "Resample", settingsPath), rate_(rate), frames_(frames) {
        byRate_ = new QRadioButton("Rate", this);
        byLength_ = new QRadioButton("Length", this);
        rateBox_ = new QDoubleSpinBox(this);
        rateBox_->setRange(100, 1000000);
        rateBox_->setDecimals(0);
        rateBox_->setSuffix(" Hz");
        rateBox_->setValue(Remembered("ResampleRate", rate).toDouble());
        length_ = new QSpinBox(this);
        length_->setRange(1, 1 << 30);
        length_->setSuffix(" frames");
        length_->setValue(static_cast<int>(std::min<std::int64_t>(frames, 1 << 30)));
        keepPitch_ = new QRadioButton("Keep the pitch (retune)", this);
        keepTuning_ = new QRadioButton("Keep the tuning (the pitch moves)", this);
        Form->addRow(byRate_, rateBox_);
        Form->addRow(byLength_, length_);
        Form->addRow(keepPitch_);
        Form->addRow(keepTuning_);
        (Remembered("ResampleBy", "rate").toString() == "length" ? byLength_ : byRate_)
            ->setChecked(true);
        (Remembered("ResampleKeep", "pitch").toString() == "tuning" ? keepTuning_ : keepPitch_)
            ->setChecked(true);
        // Rate and length go together: one sets the other.
        connect(rateBox_, &QDoubleSpinBox::valueChanged, this, [this](double hz) {
            if (byRate_->isChecked() && rate_ > 0) {
                length_->setValue(static_cast<int>(std::clamp(
                    std::round(static_cast<double>(frames_) * hz / rate_), 1.0, 1073741824.0)));
            }
        });
        emit rateBox_->valueChanged(rateBox_->value());
    }

    SampleFunctionOptions Options() const override {
        SampleFunctionOptions o;
        if (byLength_->isChecked()) {
            o.Length = length_->value();
        } else {
            o.Rate = rateBox_->value();
        }
        o.Keep = keepTuning_->isChecked() ? ResampleKeep::Tuning : ResampleKeep::Pitch;
        return o;
    }

protected:
    void Keep(QSettings& ini) const override {
        ini.setValue("ResampleRate", rateBox_->value());
        ini.setValue("ResampleBy", byLength_->isChecked() ? "length" : "rate");
        ini.setValue("ResampleKeep", keepTuning_->isChecked() ? "tuning" : "pitch");
    }

private:
    double rate_;
    std::int64_t frames_;
    QRadioButton* byRate_ = nullptr;
    QRadioButton* byLength_ = nullptr;
    QDoubleSpinBox* rateBox_ = nullptr;
    QSpinBox* length_ = nullptr;
    QRadioButton* keepPitch_ = nullptr;
    QRadioButton* keepTuning_ = nullptr;
};

} // namespace

TFunctionDialog* MakeResampleDialog(QWidget* parent, const QString& settingsPath, double sampleRate,
                                    std::int64_t frames) {
    return new TResampleDialog(parent, settingsPath, sampleRate, frames);
}

} // namespace sonlet
