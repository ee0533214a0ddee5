#include "ui/FrameCommands.h"

#include "model/BankImport.h"
#include "playback/Player.h"
#include "support/Report.h"
#include "ui/BankDialog.h"
#include "ui/Frame.h"
#include "ui/Icons.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <utility>

namespace sonlet {

namespace {

FileDialogRunner& DialogRunner() {
    static FileDialogRunner runner;
    return runner;
}

std::optional<QString> RunDesktopDialog(const TFileDialog& dialog, QWidget* parent) {
    QFileDialog box(parent, dialog.Title, dialog.InitialDir);
    box.setAcceptMode(dialog.ForSave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    box.setFileMode(dialog.ForSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    box.setNameFilters(QtNameFilters(dialog.Filter));
    // The descriptions already name their patterns.
    box.setOption(QFileDialog::HideNameFilterDetails);
    box.setDefaultSuffix(dialog.DefaultExt);
    box.setOption(QFileDialog::DontConfirmOverwrite, !dialog.ConfirmOverwrite);
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return box.selectedFiles().constFirst();
}

constexpr std::int32_t PlayBaseNote = 60;
constexpr std::int32_t PlayVelocity = 100;

} // namespace

std::string ToPath(const QString& name) { return QFile::encodeName(name).toStdString(); }

FileDialogRunner SetFileDialogRunner(FileDialogRunner runner) {
    return std::exchange(DialogRunner(), std::move(runner));
}

QStringList QtNameFilters(const QString& filter) {
    const QStringList parts = filter.split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            pattern = pattern.trimmed();
            if (pattern == "*.*") {
                pattern = "*";
            }
        }
        // Qt reads the patterns from the last parentheses; the description stays as written.
        filters << parts[i] + " (" + patterns.join(' ') + ")";
    }
    return filters;
}

QString XiSaveName(const QString& chosen) {
    QString name = chosen;
    if (QFileInfo(name).suffix().compare("xi", Qt::CaseInsensitive) != 0) {
        name += ".xi";
    }
    if (QFileInfo::exists(name) &&
        !Confirm((QFileInfo(name).fileName() + " already exists. Replace it?")
                     .toLatin1()
                     .toStdString())) {
        return {};
    }
    return name;
}

bool TFileDialog::Execute(QWidget* parent) {
    const std::optional<QString> chosen =
        DialogRunner() ? DialogRunner()(*this) : RunDesktopDialog(*this, parent);
    if (!chosen || chosen->isEmpty()) {
        return false;
    }
    FileName = *chosen;
    if (!DefaultExt.isEmpty() && QFileInfo(FileName).suffix().isEmpty()) {
        FileName += "." + DefaultExt;
    }
    return true;
}

void TfrSonlet::BuildCommands() {
    if (MainMenu != nullptr) {
        return;
    }
    MainMenu = new QMenuBar(this);
    auto item = [this](QMenu* menu, const QString& caption, void (TfrSonlet::*handler)(),
                       QKeySequence shortcut = {}) {
        auto* action = new QAction(caption, menu ? static_cast<QObject*>(menu) : this);
        action->setShortcut(shortcut);
        connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        if (menu) {
            menu->addAction(action);
        }
        return action;
    };

    mniFile = MainMenu->addMenu("File");
    mniNew = item(mniFile, "New", &TfrSonlet::mniNewClick, QKeySequence(Qt::CTRL | Qt::Key_N));
    mniNew->setIcon(MakeToolIcon(ToolIcon::New));
    mniOpen = item(mniFile, "Open", &TfrSonlet::mniOpenClick, QKeySequence(Qt::CTRL | Qt::Key_O));
    mniOpen->setIcon(MakeToolIcon(ToolIcon::Open));
    mniSave = item(mniFile, "Save", &TfrSonlet::mniSaveClick, QKeySequence(Qt::CTRL | Qt::Key_S));
    mniSave->setIcon(MakeToolIcon(ToolIcon::Save));
    mniSaveAs = item(mniFile, "Save As .XI...", &TfrSonlet::mniSaveAsClick);
    mniFile->addSeparator();
    mniExit = item(mniFile, "Exit", &TfrSonlet::mniExitClick);

    mniEdit = MainMenu->addMenu("&Edit");
    mniUndo = item(mniEdit, "Undo", &TfrSonlet::mniUndoClick, QKeySequence(Qt::CTRL | Qt::Key_Z));
    mniRedo = item(mniEdit, "Redo", &TfrSonlet::mniRedoClick, QKeySequence(Qt::CTRL | Qt::Key_Y));
    mniRedo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    mniEdit->addSeparator();
    mniCut = item(mniEdit, "Cu&t", &TfrSonlet::mniCutClick, QKeySequence(Qt::CTRL | Qt::Key_X));
    mniCut->setIcon(MakeToolIcon(ToolIcon::Cut));
    mniCopy = item(mniEdit, "&Copy", &TfrSonlet::mniCopyClick, QKeySequence(Qt::CTRL | Qt::Key_C));
    mniCopy->setIcon(MakeToolIcon(ToolIcon::Copy));
    mniPaste =
        item(mniEdit, "&Paste", &TfrSonlet::mniPasteClick, QKeySequence(Qt::CTRL | Qt::Key_V));
    mniPaste->setIcon(MakeToolIcon(ToolIcon::Paste));
    mniPasteMix = item(mniEdit, "Paste Mix", &TfrSonlet::mniPasteMixClick);
    mniCrop = item(mniEdit, "Crop", &TfrSonlet::mniCropClick, QKeySequence(Qt::CTRL | Qt::Key_R));
    mniDelete = item(mniEdit, "Delete", &TfrSonlet::mniDeleteClick, QKeySequence(Qt::Key_Delete));
    mniSelectAll = item(mniEdit, "Select All", &TfrSonlet::mniSelectAllClick,
                        QKeySequence(Qt::CTRL | Qt::Key_A));
    UpdateEditActions();

    mniView = MainMenu->addMenu("View");
    mniZoom = mniView->addMenu("Zoom");
    mniZoomIn = item(mniZoom, "Zoom in", &TfrSonlet::mniZoomInClick);
    mniZoomIn->setIcon(MakeToolIcon(ToolIcon::ZoomIn));
    mniZoomOut = item(mniZoom, "Zoom out", &TfrSonlet::mniZoomOutClick);
    mniZoomOut->setIcon(MakeToolIcon(ToolIcon::ZoomOut));
    mniOriginalZoom = item(mniZoom, "Original", &TfrSonlet::mniOriginalZoomClick);
    mniOriginalZoom->setIcon(MakeToolIcon(ToolIcon::ZoomOriginal));
    mniZoomToSelection = item(mniZoom, "Zoom to selection", &TfrSonlet::ZoomToSelection);
    mniZoomToSelection->setIcon(MakeToolIcon(ToolIcon::ZoomSelection));
    mniShowPeaks = item(mniView, "Show peaks", &TfrSonlet::mniShowPeaksClick);
    mniShowPeaks->setCheckable(true);
    mniShowPeaks->setChecked(ShowPeaks);
    mniView->addSeparator();
    mniFileInfo =
        item(mniView, "File info", &TfrSonlet::mniFileInfoClick, QKeySequence(Qt::Key_F3));
    mniChannels = item(mniView, "Channels", &TfrSonlet::mniChannelsClick, QKeySequence(Qt::Key_F4));

    mniFunction = MainMenu->addMenu("Function");
    mniFillRandom = item(mniFunction, "Noise", &TfrSonlet::mniFillRandomClick);
    mniSilence = item(mniFunction, "Silence", &TfrSonlet::mniSilenceClick);
    mniSin = item(mniFunction, "Tone...", &TfrSonlet::mniSinClick);
    mniFunction->addSeparator();
    mniInvert = item(mniFunction, "Invert", &TfrSonlet::mniInvertClick);
    mniSignFlip = mniFunction->addAction("Convert signed/unsigned");
    connect(mniSignFlip, &QAction::triggered, this,
            [this] { RunSampleFunction(SampleFunctionId::SignFlip); });
    mniFlipByZero = item(mniFunction, "Flip by zero", &TfrSonlet::mniFlipByZeroClick);
    mniReverse = item(mniFunction, "Reverse", &TfrSonlet::mniReverseClick);
    mniFunction->addSeparator();
    mniSwapChannels = item(mniFunction, "Swap channels", &TfrSonlet::mniSwapChannelsClick);
    mniCopyLeftToRight =
        item(mniFunction, "Copy left to right", &TfrSonlet::mniCopyLeftToRightClick);
    mniCopyRightToLeft =
        item(mniFunction, "Copy right to left", &TfrSonlet::mniCopyRightToLeftClick);
    mniFunction->addSeparator();
    mniVolume = item(mniFunction, "Volume...", &TfrSonlet::mniVolumeClick);
    mniNormalize = item(mniFunction, "Normalize", &TfrSonlet::mniNormalizeClick);
    mniFadeIn = item(mniFunction, "Fade in", &TfrSonlet::mniFadeInClick);
    mniFadeOut = item(mniFunction, "Fade out", &TfrSonlet::mniFadeOutClick);
    mniFunction->addSeparator();
    mniEcho = item(mniFunction, "Echo...", &TfrSonlet::mniEchoClick);
    BuildFunctionItems();
    mniSnapToZero = mniView->addAction("Snap to zero crossings");
    mniSnapToZero->setCheckable(true);
    connect(mniSnapToZero, &QAction::toggled, this, [this](bool on) { drag_.SnapToZero = on; });

    mniAudio = MainMenu->addMenu("Audio");
    mniPlay = mniAudio->addMenu("Play");
    mniPlay->menuAction()->setIcon(MakeToolIcon(ToolIcon::Play));
    mniStop = item(mniAudio, "Stop", &TfrSonlet::mniStopClick, QKeySequence(Qt::Key_F8));
    mniStop->setIcon(MakeToolIcon(ToolIcon::Stop));
    mniAudio->addSeparator()->setVisible(false);
    mniLoop = item(mniAudio, "Loop Playback", &TfrSonlet::mniLoopClick);
    mniLoop->setCheckable(true);
    mniLoop->setVisible(false);
    mniAudio->addSeparator();
    mniTrackerPlayback = item(mniAudio, "Tracker playback", &TfrSonlet::mniTrackerPlaybackClick);
    mniTrackerPlayback->setCheckable(true);

    mniHelp = MainMenu->addMenu("Help");
    mniAbout = new QAction("About...", mniHelp);
    mniHelp->addAction(mniAbout);

    ToolBar1 = new QToolBar(CoolBar1);
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setFocusPolicy(Qt::NoFocus);
    ToolBar1->addAction(mniNew);
    ToolBar1->addAction(mniOpen);
    tbSave = ToolBar1->addAction(MakeToolIcon(ToolIcon::Save), "Save");
    connect(tbSave, &QAction::triggered, this, [this] { mniSaveClick(); });
    ToolBar1->addSeparator();
    ToolBar1->addAction(mniCut);
    ToolBar1->addAction(mniCopy);
    ToolBar1->addAction(mniPaste);
    ToolBar1->addSeparator();
    tbPlay = ToolBar1->addAction(MakeToolIcon(ToolIcon::Play), "Play");
    connect(tbPlay, &QAction::triggered, this, [this] { mniPlayClick(); });
    ToolBar1->addAction(mniStop);
    tbLoop = ToolBar1->addAction(MakeToolIcon(ToolIcon::Loop), "Loop Playback");
    tbLoop->setCheckable(true);
    connect(tbLoop, &QAction::triggered, this, [this] { tbLoopClick(); });
    tbLoop->setVisible(false);
    ToolBar1->addSeparator();
    ToolBar1->addAction(mniZoomIn);
    ToolBar1->addAction(mniZoomOut);
    ToolBar1->addAction(mniZoomToSelection);
    ToolBar1->addSeparator();
    ToolBar1->addAction(mniOriginalZoom);
    ToolBar1->addSeparator();
    tbFunction = new QToolButton(ToolBar1);
    tbFunction->setIcon(MakeToolIcon(ToolIcon::Function));
    tbFunction->setToolTip("Function");
    tbFunction->setMenu(mniFunction);
    tbFunction->setPopupMode(QToolButton::InstantPopup);
    tbFunction->setFocusPolicy(Qt::NoFocus);
    ToolBar1->addWidget(tbFunction);
    ToolBar1->addSeparator()->setVisible(false);
    ToolButton21 = ToolBar1->addAction("Channels");
    connect(ToolButton21, &QAction::triggered, this, [this] { ToolButton21Click(); });
    ToolButton21->setVisible(false);
    for (QAction* action : ToolBar1->actions()) {
        if (QWidget* button = ToolBar1->widgetForAction(action)) {
            button->setFocusPolicy(Qt::NoFocus);
        }
    }
    CoolBar1->layout()->addWidget(ToolBar1);

    OpenDialog.Title = "Open";
    OpenDialog.DefaultExt = "wav";
    OpenDialog.Filter = "Supported files (*.wav, *.xi, *.sf2, *.sf3, *.dls)|*.wav; *.xi; *.sf2; "
                        "*.sf3; *.dls|All files (*.*)|*.*";
    SaveDialog.Title = "Save As";
    SaveDialog.DefaultExt = "wav";
    SaveDialog.Filter = "Wave files (*.wav)|*.wav|All files (*.*)|*.*";
    SaveDialog.ForSave = true;
    SaveDialog.ConfirmOverwrite = false;
}

void TfrSonlet::mniNewClick() {
    TInstrument* inst = Instrument();
    if (inst == nullptr || !MayDiscardChanges()) {
        return;
    }
    inst->InitNew();
    StartDocument(QString(), false);
    RefreshInstrument();
}

void TfrSonlet::mniOpenClick() {
    if (Instrument() == nullptr || !MayDiscardChanges() || !OpenDialog.Execute(window())) {
        return;
    }
    OpenFile(OpenDialog.FileName);
}

void TfrSonlet::OpenFile(const QString& fileName) {
    TInstrument* inst = Instrument();
    if (inst == nullptr || fileName.isEmpty()) {
        return;
    }
    // The load's messages come once the window shows what was loaded. A failed load has
    // left the instrument as it was, and the view with it.
    const HeldMessages held;
    if (IsBankFileName(ToPath(fileName))) {
        // A preset is a new document: the old history does not apply to it, and Save asks
        // for the XI file to write.
        if (OpenBankPreset(window(), *inst, ToPath(fileName), Player)) {
            StartDocument(fileName, false);
            RefreshInstrument();
        }
        return;
    }
    if (inst->LoadFromFile(ToPath(fileName))) {
        StartDocument(fileName,
                      QFileInfo(fileName).suffix().compare("xi", Qt::CaseInsensitive) == 0);
        RefreshInstrument();
        // Such keys stay as the file has them; showing the file must not change it.
        if (const std::int32_t silent = inst->SilentKeyCount(); silent > 0) {
            ShowStatusMessage(QString::number(silent) +
                              " keys of the key map name a sample the instrument lacks and "
                              "play nothing");
        }
    }
}

void TfrSonlet::mniSaveClick() { SaveDocument(); }

void TfrSonlet::mniSaveAsClick() { SaveDocumentAs(); }

void TfrSonlet::mniExitClick() { window()->close(); }

void TfrSonlet::mniFileInfoClick() {
    if (const TSample* sample = Sample()) {
        sample->ShowInfo();
    }
}

void TfrSonlet::mniChannelsClick() {
    if (Player != nullptr) {
        Player->ShowVoiceStatus();
    }
}

void TfrSonlet::mniZoomInClick() { ZoomIn(); }
void TfrSonlet::mniZoomOutClick() { ZoomOut(); }
void TfrSonlet::mniOriginalZoomClick() { ResetZoom(); }
void TfrSonlet::mniShowPeaksClick() { SetShowPeaks(mniShowPeaks->isChecked()); }

void TfrSonlet::mniFillRandomClick() { RunSampleFunction(SampleFunctionId::Noise); }
void TfrSonlet::mniSilenceClick() { RunSampleFunction(SampleFunctionId::Silence); }
void TfrSonlet::mniInvertClick() { RunSampleFunction(SampleFunctionId::Invert); }
void TfrSonlet::mniFlipByZeroClick() { RunSampleFunction(SampleFunctionId::FlipByZero); }
void TfrSonlet::mniReverseClick() { RunSampleFunction(SampleFunctionId::Reverse); }
void TfrSonlet::mniSwapChannelsClick() { RunSampleFunction(SampleFunctionId::SwapChannels); }
void TfrSonlet::mniNormalizeClick() { RunSampleFunction(SampleFunctionId::Normalize); }

void TfrSonlet::mniPlayClick() { PlayNote(0); }
void TfrSonlet::mniStopClick() { StopNote(); }

// The item toggles its own check mark; notes started from now on play in that mode.
void TfrSonlet::mniTrackerPlaybackClick() { SetTrackerPlayback(mniTrackerPlayback->isChecked()); }

void TfrSonlet::SetTrackerPlayback(bool on) {
    mniTrackerPlayback->setChecked(on);
    if (Player != nullptr) {
        Player->Mode.store(on ? PlaybackMode::Tracker : PlaybackMode::Standard,
                           std::memory_order_relaxed);
    }
}

// The item toggles its own check mark; the button follows it.
void TfrSonlet::mniLoopClick() { tbLoop->setChecked(mniLoop->isChecked()); }

void TfrSonlet::tbLoopClick() {
    mniLoop->setChecked(tbLoop->isChecked());
    if (Player != nullptr) {
        Player->LoopPlayback = tbLoop->isChecked();
    }
}

void TfrSonlet::ToolButton21Click() { mniChannelsClick(); }

void TfrSonlet::PlayNote(std::int32_t offset) {
    if (Player != nullptr) {
        Player->NoteOn(Slot, PlayBaseNote + offset, PlayVelocity);
    }
}

// Every note of Play and its semitone items, however often pressed; the keyboard's notes
// belong to their keys (another slot).
void TfrSonlet::StopNote() {
    if (Player != nullptr) {
        Player->ReleaseSlot(Slot);
    }
}

} // namespace sonlet
