// The property panel of the editor frame: set-up, the sample list, the "Sample" and
// "Instument" tabs and the key map.
#include "edit/InstrumentCommands.h"
#include "model/AudioImport.h"
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

namespace {

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
