// Tone...: frequency, amplitude and waveform. Its defaults are the classic tone exactly.
#include "ui/FunctionDialogs.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QSettings>
#include <QSpinBox>
#include <cmath>

namespace sonlet {

namespace {

class TToneDialog final : public TFunctionDialog {
public:
    TToneDialog(QWidget* parent, const QString& settingsPath, double rate)
        : TFunctionDialog(parent, "Tone", settingsPath), rate_(rate) {
        const ToneParams classic;
        frequency_ = new QDoubleSpinBox(this);
        frequency_->setRange(0.01, std::max(0.01, rate / 2));
        frequency_->setDecimals(2);
        frequency_->setSuffix(" Hz");
        classicHz_ = Rounded(FrequencyOf(classic.FramesPerRadian, rate));
        frequency_->setValue(Remembered("ToneFrequency", classicHz_).toDouble());
        amplitude_ = new QSpinBox(this);
        amplitude_->setRange(0, 32767);
        amplitude_->setValue(Remembered("ToneAmplitude", classic.Amplitude).toInt());
        wave_ = new QComboBox(this);
        wave_->addItems({"Sine", "Square", "Triangle", "Saw"});
        wave_->setCurrentIndex(std::clamp(Remembered("ToneWave", 0).toInt(), 0, 3));
        Form->addRow("Frequency:", frequency_);
        Form->addRow("Amplitude:", amplitude_);
        Form->addRow("Waveform:", wave_);
    }

    SampleFunctionOptions Options() const override {
        SampleFunctionOptions o;
        // The classic frequency as shown stands for the classic period itself, so the
        // defaults write exactly the values the menu always wrote.
        if (frequency_->value() != classicHz_) {
            o.Tone.FramesPerRadian = FramesPerRadianOf(frequency_->value(), rate_);
        }
        o.Tone.Amplitude = amplitude_->value();
        o.Tone.Wave = static_cast<ToneWave>(wave_->currentIndex());
        return o;
    }

protected:
    void Keep(QSettings& ini) const override {
        ini.setValue("ToneFrequency", frequency_->value());
        ini.setValue("ToneAmplitude", amplitude_->value());
        ini.setValue("ToneWave", wave_->currentIndex());
    }

private:
    static double Rounded(double hz) { return std::round(hz * 100) / 100; }

    double rate_;
    double classicHz_ = 0;
    QDoubleSpinBox* frequency_ = nullptr;
    QSpinBox* amplitude_ = nullptr;
    QComboBox* wave_ = nullptr;
};

} // namespace

TFunctionDialog* MakeToneDialog(QWidget* parent, const QString& settingsPath, double sampleRate) {
    return new TToneDialog(parent, settingsPath, sampleRate);
}

} // namespace sonlet
