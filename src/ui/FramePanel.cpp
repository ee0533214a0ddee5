// The property panel of the editor frame: set-up, the sample list, the "Sample" and
// "Instument" tabs and the key map.
#include "edit/InstrumentCommands.h"
#include "model/KeyRanges.h"
#include "playback/Player.h"
#include "ui/EnvPanel.h"
#include "ui/Frame.h"
#include "ui/KeyboardPanel.h"
#include "ui/TrackBar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
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

    // Shown at the nearest bound; the stored value stays until the user changes the control.
    const Vibrato vibrato = inst->AutoVibrato();
    for (const auto& [box, value] :
         {std::pair{seVibratoSweep, vibrato.Sweep}, std::pair{seVibratoDepth, vibrato.Depth},
          std::pair{seVibratoRate, vibrato.Rate}}) {
        const QSignalBlocker block(box);
        box->setValue(value);
    }
    {
        const QSignalBlocker block(cbVibratoType);
        cbVibratoType->setCurrentIndex(std::min<int>(vibrato.Type, cbVibratoType->count() - 1));
    }
    const QString name = QString::fromLatin1(inst->InstrumentName.data(),
                                             static_cast<qsizetype>(inst->InstrumentName.size()));
    if (edInstrumentName->text() != name) {
        edInstrumentName->setText(name);
        edInstrumentName->setCursorPosition(0);
    }
    SetStatus(StatusPositionPanel, QString());
    UpdateView(-1);
}

void TfrSonlet::ShowKeyMap() {
    TInstrument* inst = Instrument();
    if (inst == nullptr) {
        return;
    }
    const KeyMap keys = inst->Keys();
    Keyboard->Show(keys, inst->SampleCount, inst->CurrentIndex);
    if (inst->CurrentIndex < 0) {
        return;
    }
    const std::string notes = SampleRangesText(keys, static_cast<std::uint8_t>(inst->CurrentIndex));
    QString text =
        "Sample " + QString::number(inst->CurrentIndex + 1) +
        (notes.empty() ? QString(" plays no note") : " plays " + QString::fromStdString(notes));
    if (const std::int32_t silent = inst->SilentKeyCount(); silent > 0) {
        text += "; " + QString::number(silent) + " keys play nothing";
    }
    lbKeyRange->setText(text + ".  Click or drag to give keys to it, Shift+click to listen.");
}

std::bitset<KeyMapNotes> TfrSonlet::SoundingNotes() const {
    std::bitset<KeyMapNotes> notes;
    const TInstrument* inst = Instrument();
    if (Player == nullptr || inst == nullptr) {
        return notes;
    }
    for (std::int32_t i = 0; i < VoiceCount; ++i) {
        const VoiceState voice = Player->Voices().Read(i);
        if (voice.Status != VoiceFree && voice.Slot != nullptr && voice.Note >= 0 &&
            voice.Note < KeyMapNotes && voice.Slot->load(std::memory_order_acquire) == inst) {
            notes.set(static_cast<std::size_t>(voice.Note));
        }
    }
    return notes;
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
        auto* item = new QListWidgetItem(
            QString::number(i + 1) + ":" +
                QString::fromLatin1(s->SampleName.data(),
                                    static_cast<qsizetype>(s->SampleName.size())),
            lbSamples);
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
    lbSamples->setCurrentRow(inst->CurrentIndex);
}

void TfrSonlet::ShowSampleInfo() {
    ShowKeyMap();
    TSample* s = Sample();
    if (s == nullptr) {
        return;
    }
    lbFormat->setText(QString(s->BytesPerSample == 1 ? "8 bit, " : "16 bit, ") +
                      (s->Format.nChannels == 1 ? "mono" : "stereo"));
    lbFreq->setText(QString::number(s->Format.nSamplesPerSec) + " Hz");
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

void TfrSonlet::tbVolumeChange() {
    TSample* s = Sample();
    if (s == nullptr) {
        return;
    }
    {
        InstrumentEditGuard guard(Instrument()->EditLock());
        s->Volume = static_cast<std::uint8_t>(tbVolume->value());
    }
    lbSampleVolume->setText("Volume: " + QString::number(tbVolume->value()));
}

void TfrSonlet::tbPanningChange() {
    TSample* s = Sample();
    if (s == nullptr) {
        return;
    }
    {
        InstrumentEditGuard guard(Instrument()->EditLock());
        s->Panning = static_cast<std::int8_t>(tbPanning->value());
    }
    lbSamplePanning->setText("Panning: " + QString::number(tbPanning->value()));
}

void TfrSonlet::tbFinetuneChange() {
    TSample* s = Sample();
    if (s == nullptr) {
        return;
    }
    {
        InstrumentEditGuard guard(Instrument()->EditLock());
        s->Finetune = static_cast<std::int8_t>(tbFinetune->value());
    }
    lbSampleFinetune->setText("Finetune: " + QString::number(tbFinetune->value()));
}

void TfrSonlet::tbLoopStartChange() {
    TSample* s = Sample();
    if (s == nullptr) {
        return;
    }
    {
        InstrumentEditGuard guard(Instrument()->EditLock());
        s->SetLoopStart(tbLoopStart->value());
    }
    lbLoopStart->setText("Loop start: " + QString::number(s->LoopStart));
    UpdateView(-1);
}

void TfrSonlet::tbLoopLenChange() {
    TSample* s = Sample();
    if (s == nullptr) {
        return;
    }
    {
        InstrumentEditGuard guard(Instrument()->EditLock());
        s->SetLoopLength(tbLoopLen->value());
    }
    lbLoopLen->setText("Loop length: " + QString::number(tbLoopLen->value()));
    UpdateView(-1);
}

void TfrSonlet::tbVolFadeoutChange() {
    TInstrument* inst = Instrument();
    if (inst == nullptr) {
        return;
    }
    {
        InstrumentEditGuard guard(inst->EditLock());
        inst->Fadeout = static_cast<std::uint16_t>(tbVolFadeout->value());
    }
    lbVolFadeout->setText("Volume fadeout: " + QString::number(tbVolFadeout->value()));
}

void TfrSonlet::udTransposeSampleChange() {
    TSample* s = Sample();
    if (s == nullptr) {
        return;
    }
    InstrumentEditGuard guard(Instrument()->EditLock());
    s->Transpose = static_cast<std::int8_t>(udTransposeSample->value());
}

void TfrSonlet::SetLoopType(std::uint8_t type) {
    TSample* s = Sample();
    if (s == nullptr) {
        return;
    }
    {
        InstrumentEditGuard guard(Instrument()->EditLock());
        s->SetLoopType(type);
        // A loop chosen for a sample that has none yet spans the whole sample, so that the
        // sample plays through and repeats; a loop the sample already holds stays.
        if (type != LoopNone && s->NumFrames > 0 && (s->LoopStart < 0 || s->LoopLength < 1)) {
            s->SetLoopStart(0);
            s->SetLoopLength(s->NumFrames);
        }
    }
    UpdateView(-1);
}

void TfrSonlet::rbNoLoopClick() { SetLoopType(LoopNone); }
void TfrSonlet::rbLoopForwardClick() { SetLoopType(LoopForward); }
void TfrSonlet::rbLoopPingPongClick() { SetLoopType(LoopPingpong); }

// A flag is an edit of its envelope: the markers then go onto existing points, so that a
// sustain ticked on a new envelope names one of its points.
void TfrSonlet::SetEnvelopeFlag(std::uint8_t EnvelopeParams::*flag, const QCheckBox& box,
                                TEnvelopePanel& envelope) {
    TInstrument* inst = Instrument();
    if (inst == nullptr) {
        return;
    }
    const EnvelopeKind kind = &envelope == envPan ? EnvelopeKind::Panning : EnvelopeKind::Volume;
    const EnvelopeState before = EnvelopeOf(*inst, kind);
    EnvelopeState after = before;
    after.Params.*flag = box.isChecked() ? 1 : 0;
    ClampMarkers(after.Params);
    Perform(std::make_unique<TEnvelopeCommand>(box.text().toStdString(), kind, before, after));
    envelope.UpdateEnvelope();
}

void TfrSonlet::cbVEEnabledClick() {
    SetEnvelopeFlag(&EnvelopeParams::Enabled, *cbVEEnabled, *envVol);
}
void TfrSonlet::cbVESustainClick() {
    SetEnvelopeFlag(&EnvelopeParams::SustainOn, *cbVESustain, *envVol);
}
void TfrSonlet::cbVELoopClick() { SetEnvelopeFlag(&EnvelopeParams::LoopOn, *cbVELoop, *envVol); }
void TfrSonlet::cbPEEnabledClick() {
    SetEnvelopeFlag(&EnvelopeParams::Enabled, *cbPEEnabled, *envPan);
}
void TfrSonlet::cbPESustainClick() {
    SetEnvelopeFlag(&EnvelopeParams::SustainOn, *cbPESustain, *envPan);
}
void TfrSonlet::cbPELoopClick() { SetEnvelopeFlag(&EnvelopeParams::LoopOn, *cbPELoop, *envPan); }

void TfrSonlet::sbZoom1Click(QToolButton& sender) {
    envVol->SetZoom(sender.property("Tag").toInt());
}

void TfrSonlet::sbZoom1aClick(QToolButton& sender) {
    envPan->SetZoom(sender.property("Tag").toInt());
}

void TfrSonlet::VibratoChange(int control) {
    TInstrument* inst = Instrument();
    if (inst == nullptr) {
        return;
    }
    const Vibrato before = inst->AutoVibrato();
    Vibrato after = before;
    switch (control) {
    case 0:
        after.Type = static_cast<std::uint8_t>(cbVibratoType->currentIndex());
        break;
    case 1:
        after.Sweep = static_cast<std::uint8_t>(seVibratoSweep->value());
        break;
    case 2:
        after.Depth = static_cast<std::uint8_t>(seVibratoDepth->value());
        break;
    default:
        after.Rate = static_cast<std::uint8_t>(seVibratoRate->value());
        break;
    }
    Perform(std::make_unique<TVibratoCommand>(before, after, control));
}

void TfrSonlet::edInstrumentNameChange() {
    Perform(
        std::make_unique<TRenameCommand>(-1, edInstrumentName->text().toLatin1().toStdString()));
}

void TfrSonlet::RenameSample(std::int32_t index, const std::string& name) {
    Perform(std::make_unique<TRenameCommand>(index, name));
}

void TfrSonlet::EditSampleName() {
    if (QListWidgetItem* item = lbSamples->currentItem()) {
        lbSamples->editItem(item);
    }
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
    }
    inst->AddSample();
    SetStatus(StatusPositionPanel, QString());
    UpdateView(-1);
    FillSampleList();
}

void TfrSonlet::tbSampleCutClick() {
    TInstrument* inst = Instrument();
    if (inst == nullptr) {
        return;
    }
    inst->DeleteSample(-1);
    SetStatus(StatusPositionPanel, QString());
    UpdateView(-1);
    FillSampleList();
}

} // namespace sonlet
