// The property panel of the editor frame: set-up, the sample list, the "Sample" and
// "Instument" tabs and the keyboard drawing.
#include "model/AudioImport.h"
#include "ui/EnvPanel.h"
#include "ui/Frame.h"
#include "ui/TrackBar.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QToolButton>
#include <algorithm>
#include <cmath>
#include <limits>

namespace sonlet {

namespace {

constexpr int PianoKeyCount = 128;
constexpr int WhiteKeyCount = 75;

bool IsBlackKey(int n) { return n == 1 || n == 3 || n == 6 || n == 8 || n == 10; }

// The rate the sample plays at C-5 is what its tuning gives, whatever its file said.
QString RateText(const TSample& s) { return QString::number(RateOfTuning(s)) + " Hz at C-5"; }

} // namespace

void TfrSonlet::SetInstrument(TInstrument* instrument) {
    Slot.store(instrument, std::memory_order_release);
    std::recursive_mutex* lock = instrument != nullptr ? &instrument->EditLock() : nullptr;
    envVol->SetEditLock(lock);
    envPan->SetEditLock(lock);
    // The panels point into the instrument: bind them here so they never outlive it.
    envVol->SetEnvelope(instrument != nullptr ? &instrument->VolEnv : nullptr,
                        instrument != nullptr ? &instrument->VolPoints : nullptr);
    envPan->SetEnvelope(instrument != nullptr ? &instrument->PanEnv : nullptr,
                        instrument != nullptr ? &instrument->PanPoints : nullptr);
}

void TfrSonlet::SetPlayer(TWavePlayer* player) {
    Player = player;
    if (mniTrackerPlayback != nullptr) {
        SetTrackerPlayback(mniTrackerPlayback->isChecked());
    }
}

void TfrSonlet::InitEditor() {
    pnMain->setFixedHeight(150);
    lanesSet_ = true;
    // The keyboard plays the piano; it rests on the waveform until the user focuses a control.
    Panel->setFocus(Qt::OtherFocusReason);
    RefreshInstrument();
    envVol->SetDrawLine(false);
    envPan->SetDrawLine(true);
    envVol->SetZoom(8);
    envPan->SetZoom(4);
    if (PianoKeys.empty()) {
        PianoKeys.reserve(PianoKeyCount);
        for (int i = 0; i < PianoKeyCount; ++i) {
            auto* key = new TShape(pnPiano);
            key->setAttribute(Qt::WA_TransparentForMouseEvents);
            key->SetFill(IsBlackKey(i % 12) ? Qt::black : Qt::white);
            key->SetOutline(Qt::black);
            key->show();
            PianoKeys.push_back(key);
        }
    }
    LayoutPiano();
}

void TfrSonlet::RefreshInstrument() {
    TInstrument* inst = Instrument();
    if (inst == nullptr) {
        return;
    }
    FillSampleList();
    envVol->UpdateEnvelope();
    envPan->UpdateEnvelope();

    ShowTrackValue(*tbVolFadeout, inst->Fadeout);
    lbVolFadeout->setText("Volume fadeout: " + QString::number(inst->Fadeout));

    cbVEEnabled->setChecked(inst->VolEnv.Enabled != 0);
    cbVESustain->setChecked(inst->VolEnv.SustainOn != 0);
    cbVELoop->setChecked(inst->VolEnv.LoopOn != 0);
    cbPEEnabled->setChecked(inst->PanEnv.Enabled != 0);
    cbPESustain->setChecked(inst->PanEnv.SustainOn != 0);
    cbPELoop->setChecked(inst->PanEnv.LoopOn != 0);
    SetStatus(StatusPositionPanel, QString());
    UpdateView(-1);
}

void TfrSonlet::FillSampleList() {
    TInstrument* inst = Instrument();
    const QSignalBlocker block(lbSamples);
    lbSamples->clear();
    if (inst == nullptr) {
        return;
    }
    for (std::int32_t i = 0; i < inst->SampleCount; ++i) {
        const TSample* s = inst->Samples[static_cast<std::size_t>(i)].get();
        lbSamples->addItem(QString::number(i + 1) + ":" +
                           QString::fromLatin1(s->SampleName.data(),
                                               static_cast<qsizetype>(s->SampleName.size())));
    }
    lbSamples->setCurrentRow(inst->CurrentIndex);
}

void TfrSonlet::ShowSampleInfo() {
    TSample* s = Sample();
    if (s == nullptr) {
        return;
    }
    lbFormat->setText(QString(s->BytesPerSample == 1 ? "8 bit, " : "16 bit, ") +
                      (s->Format.nChannels == 1 ? "mono" : "stereo"));
    lbFreq->setText(RateText(*s));
    lbNumFrames->setText(QString::number(s->NumFrames) + " frames");

    rbNoLoop->setChecked(s->LoopType == LoopNone);
    rbLoopForward->setChecked(s->LoopType == LoopForward);
    rbLoopPingPong->setChecked(s->LoopType == LoopPingpong);

    // Showing writes nothing: a value outside its bar puts the bar at the nearest bound and
    // stays in the sample until the user moves that bar. The labels tell the sample's values.
    ShowTrackValue(*tbVolume, s->Volume);
    lbSampleVolume->setText("Volume: " + QString::number(s->Volume));
    ShowTrackValue(*tbPanning, s->Panning);
    lbSamplePanning->setText("Panning: " + QString::number(s->Panning));
    // The range keeps the byte the XI file stores in -128..127 at the sample's depth.
    SetTrackRange(*tbFinetune, s->FinetuneMin(), s->FinetuneMax());
    ShowTrackValue(*tbFinetune, s->Finetune);
    lbSampleFinetune->setText("Finetune: " + QString::number(s->Finetune));
    {
        // The box limits what it shows to its range and writes nothing back.
        const QSignalBlocker block(udTransposeSample);
        udTransposeSample->setValue(s->Transpose);
    }

    // The bars admit every loop inside the sample, one that ends on its last frame included.
    // A start of -1 or a length of 0 mean "no loop set" and show as the bars' lower ends.
    const std::int64_t n = std::max<std::int64_t>(s->NumFrames, 0);
    const std::int64_t start = std::max<std::int64_t>(s->LoopStart, 0);
    const std::int64_t length = std::max<std::int64_t>(s->LoopLength, 0);
    SetTrackRange(*tbLoopStart, 0, std::max<std::int64_t>(n - length, 0));
    ShowTrackValue(*tbLoopStart, start);
    lbLoopStart->setText("Loop start: " + QString::number(start));
    SetTrackRange(*tbLoopLen, 1, std::max<std::int64_t>(n - start, 1));
    ShowTrackValue(*tbLoopLen, length);
    lbLoopLen->setText("Loop length: " + QString::number(length));
}

void TfrSonlet::LayoutPiano() {
    if (PianoKeys.empty()) {
        return;
    }
    const QRect client = pnPiano->contentsRect();
    const float u = static_cast<float>(client.width() / WhiteKeyCount);
    const int height = client.height();
    for (int i = 0; i < PianoKeyCount; ++i) {
        const int o = i / 12;
        const int n = i % 12;
        const int k = n >= 5 ? n + 1 : n;
        TShape* key = PianoKeys[static_cast<std::size_t>(i)];
        if (IsBlackKey(n)) {
            key->setGeometry(static_cast<int>(std::trunc((k / 2.0f + 7 * o) * u)) + 2, 0,
                             static_cast<int>(std::trunc(u - 2)), height * 3 / 5);
        } else {
            key->setGeometry(static_cast<int>(std::trunc((7 * o + k / 2) * u)), 0,
                             static_cast<int>(std::trunc(u + 1)), height);
        }
    }
    for (int i = 0; i < PianoKeyCount; ++i) {
        if (IsBlackKey(i % 12)) {
            PianoKeys[static_cast<std::size_t>(i)]->raise();
        }
    }
}

void TfrSonlet::ChangeSample(const char* name, TSampleParamsCommand::Change change) {
    if (TInstrument* inst = Instrument(); inst != nullptr && Sample() != nullptr) {
        // The step's name keys the gesture: a drag or a run of keys on one control folds.
        Perform(std::make_unique<TSampleParamsCommand>(name, inst->CurrentIndex, std::move(change),
                                                       name));
    }
}

void TfrSonlet::ChangeInstrument(const char* name, TInstrumentParamsCommand::Change change,
                                 bool gesture) {
    if (Instrument() != nullptr) {
        Perform(std::make_unique<TInstrumentParamsCommand>(name, std::move(change),
                                                           gesture ? name : ""));
    }
}

void TfrSonlet::tbVolumeChange() {
    const auto value = static_cast<std::uint8_t>(tbVolume->value());
    ChangeSample("Volume", [value](SampleParams& p) { p.Volume = value; });
}

void TfrSonlet::tbPanningChange() {
    const auto value = static_cast<std::int8_t>(tbPanning->value());
    ChangeSample("Panning", [value](SampleParams& p) { p.Panning = value; });
}

void TfrSonlet::tbFinetuneChange() {
    const auto value = static_cast<std::int16_t>(tbFinetune->value());
    ChangeSample("Finetune", [value](SampleParams& p) { p.Finetune = value; });
    if (const TSample* s = Sample()) {
        lbFreq->setText(RateText(*s));
    }
}

void TfrSonlet::tbLoopStartChange() {
    const std::int64_t value = tbLoopStart->value();
    ChangeSample("Loop Start", [value](SampleParams& p) { p.LoopStart = value; });
}

void TfrSonlet::tbLoopLenChange() {
    const std::int64_t value = tbLoopLen->value();
    ChangeSample("Loop Length", [value](SampleParams& p) { p.LoopLength = value; });
}

void TfrSonlet::tbVolFadeoutChange() {
    const auto value = static_cast<std::uint16_t>(tbVolFadeout->value());
    ChangeInstrument(
        "Fadeout", [value](InstrumentParams& p) { p.Fadeout = value; }, true);
}

void TfrSonlet::udTransposeSampleChange() {
    const auto value = static_cast<std::int8_t>(udTransposeSample->value());
    ChangeSample("Transpose", [value](SampleParams& p) { p.Transpose = value; });
    if (const TSample* s = Sample()) {
        lbFreq->setText(RateText(*s));
    }
}

void TfrSonlet::SetLoopType(std::uint8_t type) {
    const TSample* s = Sample();
    if (s == nullptr) {
        return;
    }
    const std::int64_t frames = s->NumFrames;
    ChangeSample("Loop Type", [type, frames](SampleParams& p) {
        p.LoopType = type;
        // A loop chosen for a sample that has none yet spans the whole sample, so that the
        // sample plays through and repeats; a loop the sample already holds stays.
        if (type != LoopNone && frames > 0 && (p.LoopStart < 0 || p.LoopLength < 1)) {
            p.LoopStart = 0;
            p.LoopLength = frames;
        }
    });
    // Radio buttons make one step a click.
    History.EndGesture();
}

void TfrSonlet::rbNoLoopClick() { SetLoopType(LoopNone); }
void TfrSonlet::rbLoopForwardClick() { SetLoopType(LoopForward); }
void TfrSonlet::rbLoopPingPongClick() { SetLoopType(LoopPingpong); }

void TfrSonlet::SetEnvelopeFlag(bool panning, std::uint8_t EnvelopeParams::*flag,
                                const QCheckBox& box) {
    const std::uint8_t on = box.isChecked() ? 1 : 0;
    const std::string name =
        std::string(panning ? "Panning" : "Volume") + " Envelope " + box.text().toStdString();
    ChangeInstrument(name.c_str(), [panning, flag, on](InstrumentParams& p) {
        // Through a reference: GCC 12 applies .* to a copy of a conditional's result.
        EnvelopeParams& envelope = panning ? p.PanEnv : p.VolEnv;
        envelope.*flag = on;
    });
}

void TfrSonlet::cbVEEnabledClick() {
    SetEnvelopeFlag(false, &EnvelopeParams::Enabled, *cbVEEnabled);
}
void TfrSonlet::cbVESustainClick() {
    SetEnvelopeFlag(false, &EnvelopeParams::SustainOn, *cbVESustain);
}
void TfrSonlet::cbVELoopClick() { SetEnvelopeFlag(false, &EnvelopeParams::LoopOn, *cbVELoop); }
void TfrSonlet::cbPEEnabledClick() {
    SetEnvelopeFlag(true, &EnvelopeParams::Enabled, *cbPEEnabled);
}
void TfrSonlet::cbPESustainClick() {
    SetEnvelopeFlag(true, &EnvelopeParams::SustainOn, *cbPESustain);
}
void TfrSonlet::cbPELoopClick() { SetEnvelopeFlag(true, &EnvelopeParams::LoopOn, *cbPELoop); }

void TfrSonlet::sbZoom1Click(QToolButton& sender) {
    envVol->SetZoom(sender.property("Tag").toInt());
}

void TfrSonlet::sbZoom1aClick(QToolButton& sender) {
    envPan->SetZoom(sender.property("Tag").toInt());
}

void TfrSonlet::lbSamplesClick() {
    TInstrument* inst = Instrument();
    const int row = lbSamples->currentRow();
    if (inst == nullptr || row < 0) {
        return;
    }
    inst->SetCurrentSample(row);
    SetStatus(StatusPositionPanel, QString());
    UpdateView(-1);
}

void TfrSonlet::tbSampleNewClick() {
    TInstrument* inst = Instrument();
    if (inst == nullptr) {
        return;
    }
    if (inst->IsFull()) {
        ShowStatusMessage("An instrument holds at most 16 samples.");
        return;
    }
    Perform(std::make_unique<TInsertSampleCommand>("New Sample", std::make_unique<TSample>()));
}

void TfrSonlet::tbSampleCutClick() {
    if (Instrument() != nullptr) {
        Perform(std::make_unique<TRemoveSampleCommand>());
    }
}

} // namespace sonlet
