// The frame's document: every edit as a step of the history, Undo and Redo, the Edit menu
// and the sample list's Copy and Paste, Save that remembers its file, and the question
// before unsaved changes are dropped.
#include "edit/ParamCommands.h"
#include "support/Report.h"
#include "ui/EnvPanel.h"
#include "ui/Frame.h"
#include "ui/SaveQuestion.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <algorithm>
#include <utility>

namespace sonlet {

namespace {

bool IsTextBox(const QWidget* widget) {
    return qobject_cast<const QLineEdit*>(widget) != nullptr ||
           qobject_cast<const QAbstractSpinBox*>(widget) != nullptr ||
           qobject_cast<const QTextEdit*>(widget) != nullptr ||
           qobject_cast<const QPlainTextEdit*>(widget) != nullptr;
}

bool HasShortcut(const QAction* action, const QKeySequence& pressed) {
    return action != nullptr && action->shortcuts().contains(pressed);
}

QString Caption(const char* verb, const std::string& name) {
    QString text = verb;
    if (!name.empty()) {
        text += ' ' + QString::fromStdString(name);
    }
    return text;
}

} // namespace

bool TfrSonlet::Perform(std::unique_ptr<TEditCommand> command) {
    TInstrument* instrument = Instrument();
    if (!command || !instrument) {
        return false;
    }
    const QString name = QString::fromStdString(command->Name());
    const EditOutcome outcome = History.Do(*instrument, std::move(command));
    if (outcome == EditOutcome::NoMemory) {
        ShowStatusMessage(name + " needs more memory than there is.");
        return false;
    }
    if (outcome == EditOutcome::Refused) {
        return false;
    }
    if (outcome == EditOutcome::DoneNotUndoable) {
        ShowStatusMessage(name + " cannot be undone: it needs more than the " +
                          QString::number(History.Budget() >> 20) + " MB of undo memory.");
    }
    RefreshInstrument();
    UpdateEditActions();
    return true;
}

void TfrSonlet::UpdateEditActions() {
    if (mniUndo == nullptr) {
        return;
    }
    mniUndo->setEnabled(History.CanUndo());
    mniUndo->setText(Caption("Undo", History.UndoName()));
    mniRedo->setEnabled(History.CanRedo());
    mniRedo->setText(Caption("Redo", History.RedoName()));
    emit DocumentChanged();
}

void TfrSonlet::mniUndoClick() {
    TInstrument* inst = Instrument();
    if (inst == nullptr) {
        return;
    }
    if (const std::optional<EditFocus> focus = History.Undo(*inst)) {
        ShowFocus(*focus);
    }
    UpdateEditActions();
}

void TfrSonlet::mniRedoClick() {
    TInstrument* inst = Instrument();
    if (inst == nullptr) {
        return;
    }
    if (const std::optional<EditFocus> focus = History.Redo(*inst)) {
        ShowFocus(*focus);
    }
    UpdateEditActions();
}

void TfrSonlet::ShowFocus(const EditFocus& focus) {
    TInstrument* inst = Instrument();
    if (focus.SampleIndex >= 0 && focus.SampleIndex < inst->SampleCount) {
        inst->SetCurrentSample(focus.SampleIndex);
    }
    RefreshInstrument();
    if (focus.First < 0 || ZoomFactor <= 1.0) {
        return;
    }
    const WaveWindow window = Window();
    const std::int64_t lastShown = window.XToFrame(PaintBox1->width() - 1);
    if (focus.First < window.First || focus.First > lastShown) {
        UpdateView(
            static_cast<std::int32_t>(std::min<std::int64_t>(focus.First, ScrollBar->maximum())));
    }
}

// ---- the Edit menu ----

void TfrSonlet::mniCopyClick() {
    const TSample* s = Sample();
    if (s == nullptr) {
        return;
    }
    if (const std::optional<FrameRange> selection = SelectedFrames(*s)) {
        Clipboard = CopyFrames(*s, *selection);
    } else {
        ShowStatusMessage("Select the frames to copy first.");
    }
}

void TfrSonlet::mniCutClick() {
    const TSample* s = Sample();
    if (s == nullptr) {
        return;
    }
    const std::optional<FrameRange> selection = SelectedFrames(*s);
    if (!selection) {
        ShowStatusMessage("Select the frames to cut first.");
        return;
    }
    TClip taken = CopyFrames(*s, *selection);
    if (Perform(MakeDelete(*Instrument(), Instrument()->CurrentIndex, "Cut"))) {
        Clipboard = std::move(taken);
    }
}

void TfrSonlet::mniDeleteClick() {
    if (TInstrument* inst = Instrument()) {
        Perform(MakeDelete(*inst, inst->CurrentIndex));
    }
}

void TfrSonlet::mniPasteClick() {
    if (TInstrument* inst = Instrument(); inst != nullptr && !Clipboard.Empty()) {
        Perform(MakePaste(*inst, inst->CurrentIndex, Clipboard));
    }
}

void TfrSonlet::mniPasteMixClick() {
    if (TInstrument* inst = Instrument(); inst != nullptr && !Clipboard.Empty()) {
        Perform(MakePasteMix(*inst, inst->CurrentIndex, Clipboard));
    }
}

void TfrSonlet::mniCropClick() {
    if (TInstrument* inst = Instrument()) {
        Perform(MakeCrop(*inst, inst->CurrentIndex));
    }
}

void TfrSonlet::mniSelectAllClick() {
    TSample* s = Sample();
    if (s == nullptr || s->NumFrames <= 0) {
        return;
    }
    {
        InstrumentEditGuard guard(Instrument()->EditLock());
        s->SetMarkA(0);
        s->SetMarkB(s->NumFrames - 1);
    }
    UpdateView(-1);
}

void TfrSonlet::tbSampleCopyClick() {
    if (const TSample* s = Sample()) {
        SampleClipboard = std::make_unique<TSample>(*s);
        SampleClipboard->ClearMarks();
    }
}

void TfrSonlet::tbSamplePasteClick() {
    TInstrument* inst = Instrument();
    if (inst == nullptr || !SampleClipboard) {
        return;
    }
    if (inst->IsFull()) {
        ShowStatusMessage("An instrument holds at most 16 samples.");
        return;
    }
    Perform(std::make_unique<TInsertSampleCommand>(
        "Paste Sample", std::make_unique<TSample>(*SampleClipboard), inst->CurrentIndex + 1));
}

bool TfrSonlet::KeyBelongsToControl(const QKeyEvent& key, const QWidget* focus) const {
    if (focus == nullptr || !isAncestorOf(focus) || mniUndo == nullptr) {
        return false;
    }
    const QKeySequence pressed(key.keyCombination());
    const bool undoKey = HasShortcut(mniUndo, pressed) || HasShortcut(mniRedo, pressed);
    const bool sampleKey = HasShortcut(mniCut, pressed) || HasShortcut(mniCopy, pressed) ||
                           HasShortcut(mniPaste, pressed) || HasShortcut(mniCrop, pressed) ||
                           HasShortcut(mniDelete, pressed) || HasShortcut(mniSelectAll, pressed);
    if (!undoKey && !sampleKey) {
        return false;
    }
    // The waveform and the sample list edit the sample; so do the tab bar and the piano.
    if (focus == Panel || Panel->isAncestorOf(focus) || focus == lbSamples ||
        lbSamples->isAncestorOf(focus) || focus == PageControl1->tabBar()) {
        return false;
    }
    // A value control keeps the sample's keys; a text box also has an undo of its own.
    return sampleKey || IsTextBox(focus);
}

// ---- drags that edit live ----

bool TfrSonlet::IsLiveEditTarget(const QObject* object) const {
    if (object == nullptr) {
        return false;
    }
    if (object == PaintBox1 || object == PaintBox2 || object == envVol || object == envPan) {
        return true;
    }
    for (const TEnvelopePanel* panel : {envVol, envPan}) {
        if (panel != nullptr && std::find(panel->Markers.begin(), panel->Markers.end(), object) !=
                                    panel->Markers.end()) {
            return true;
        }
    }
    return false;
}

void TfrSonlet::BeginLiveEdit() {
    TInstrument* inst = Instrument();
    if (inst == nullptr) {
        return;
    }
    liveEdit_ = true;
    liveSample_ = inst->CurrentIndex;
    if (const TSample* s = Sample()) {
        liveSampleBefore_ = ParamsOf(*s);
    }
    liveInstrumentBefore_ = ParamsOf(*inst);
}

void TfrSonlet::EndLiveEdit() {
    TInstrument* inst = Instrument();
    if (!liveEdit_ || inst == nullptr) {
        return;
    }
    liveEdit_ = false;
    InstrumentParams instrumentAfter = ParamsOf(*inst);
    if (instrumentAfter != liveInstrumentBefore_) {
        Perform(std::make_unique<TInstrumentParamsCommand>("Envelope Edit", liveInstrumentBefore_,
                                                           std::move(instrumentAfter)));
    }
    const TSample* s = Sample();
    if (s != nullptr && inst->CurrentIndex == liveSample_) {
        SampleParams sampleAfter = ParamsOf(*s);
        if (sampleAfter != liveSampleBefore_) {
            Perform(std::make_unique<TSampleParamsCommand>(
                "Loop Marker Drag", liveSample_, liveSampleBefore_, std::move(sampleAfter)));
        }
    }
}

// ---- the document's file ----

QString TfrSonlet::WindowTitle() const {
    if (DocumentName.isEmpty() && !Modified()) {
        return "Tulvo Sonlet";
    }
    const QString name = DocumentName.isEmpty() ? "Untitled" : QFileInfo(DocumentName).fileName();
    return name + (Modified() ? "*" : "") + QString::fromUtf8(" \u2013 Tulvo Sonlet");
}

void TfrSonlet::StartDocument(const QString& name, bool saveTarget) {
    History.Clear();
    DocumentName = name;
    DocumentFile = saveTarget ? name : QString();
    UpdateEditActions();
}

bool TfrSonlet::SaveDocument() {
    TInstrument* inst = Instrument();
    if (inst == nullptr) {
        return false;
    }
    if (DocumentFile.isEmpty()) {
        return SaveDocumentAs();
    }
    if (!inst->SaveToFile(ToPath(DocumentFile))) {
        return false;
    }
    History.MarkSaved();
    UpdateEditActions();
    return true;
}

bool TfrSonlet::SaveDocumentAs() {
    TInstrument* inst = Instrument();
    if (inst == nullptr || !SaveDialog.Execute(window())) {
        return false;
    }
    const QString name = XiSaveName(SaveDialog.FileName);
    if (name.isEmpty() || !inst->SaveToFile(ToPath(name))) {
        return false;
    }
    DocumentName = name;
    DocumentFile = name;
    History.MarkSaved();
    UpdateEditActions();
    return true;
}

bool TfrSonlet::MayDiscardChanges() {
    if (!Modified()) {
        return true;
    }
    const QString name = DocumentName.isEmpty() ? "Untitled" : QFileInfo(DocumentName).fileName();
    switch (AskSaveChanges(window(), name)) {
    case SaveAnswer::Save:
        return SaveDocument();
    case SaveAnswer::Discard:
        return true;
    case SaveAnswer::Cancel:
        break;
    }
    return false;
}

} // namespace sonlet
