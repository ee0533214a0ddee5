#include "ui/FrameCommands.h"

#include "playback/Player.h"
#include "support/Report.h"
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
    mniSave = item(nullptr, "Save", &TfrSonlet::mniSaveClick, QKeySequence(Qt::CTRL | Qt::Key_S));
    addAction(mniSave);
    mniSaveAs = item(mniFile, "Save As .XI...", &TfrSonlet::mniSaveAsClick);
    mniFile->addSeparator();
    mniExit = item(mniFile, "Exit", &TfrSonlet::mniExitClick);

    mniEdit = MainMenu->addMenu("&Edit");
    mniCut = item(mniEdit, "Cu&t", &TfrSonlet::mniCutClick, QKeySequence(Qt::CTRL | Qt::Key_X));
    mniCut->setIcon(MakeToolIcon(ToolIcon::Cut));
    mniCopy = item(mniEdit, "&Copy", &TfrSonlet::mniCopyClick, QKeySequence(Qt::CTRL | Qt::Key_C));
    mniCopy->setIcon(MakeToolIcon(ToolIcon::Copy));
    mniPaste =
        item(mniEdit, "&Paste", &TfrSonlet::mniPasteClick, QKeySequence(Qt::CTRL | Qt::Key_V));
    mniPaste->setIcon(MakeToolIcon(ToolIcon::Paste));
    mniPasteMix = item(mniEdit, "Paste Mix", &TfrSonlet::mniPasteMixClick);
    mniCrop = item(mniEdit, "Crop", &TfrSonlet::mniCropClick, QKeySequence(Qt::CTRL | Qt::Key_R));
    mniSelectAll = item(mniEdit, "Select All", &TfrSonlet::mniSelectAllClick,
                        QKeySequence(Qt::CTRL | Qt::Key_A));
    // A hidden menu's items take no shortcuts; held by the frame as well, they do.
    mniEdit->menuAction()->setVisible(false);
    addActions(mniEdit->actions());

    mniView = MainMenu->addMenu("View");
    mniZoom = mniView->addMenu("Zoom");
    mniZoomIn = item(mniZoom, "Zoom in", &TfrSonlet::mniZoomInClick);
    mniZoomIn->setIcon(MakeToolIcon(ToolIcon::ZoomIn));
    mniZoomOut = item(mniZoom, "Zoom out", &TfrSonlet::mniZoomOutClick);
    mniZoomOut->setIcon(MakeToolIcon(ToolIcon::ZoomOut));
    mniOriginalZoom = item(mniZoom, "Original", &TfrSonlet::mniOriginalZoomClick);
    mniOriginalZoom->setIcon(MakeToolIcon(ToolIcon::ZoomOriginal));
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
    mniFlipByZero = item(mniFunction, "Flip by zero", &TfrSonlet::mniFlipByZeroClick);
    mniReverse = item(mniFunction, "Reverse", &TfrSonlet::mniReverseClick);
    const QList<QAction*> hiddenFunctions{
        mniFunction->addSeparator(),
        mniSwapChannels = item(mniFunction, "Swap channels", &TfrSonlet::mniSwapChannelsClick),
        mniCopyLeftToRight =
            item(mniFunction, "Copy left to right", &TfrSonlet::mniCopyLeftToRightClick),
        mniCopyRightToLeft =
            item(mniFunction, "Copy right to left", &TfrSonlet::mniCopyRightToLeftClick),
        mniFunction->addSeparator(),
        mniVolume = item(mniFunction, "Volume...", &TfrSonlet::mniVolumeClick),
        mniNormalize = item(mniFunction, "Normalize", &TfrSonlet::mniNormalizeClick),
        mniFadeIn = item(mniFunction, "Fade in", &TfrSonlet::mniFadeInClick),
        mniFadeOut = item(mniFunction, "Fade out", &TfrSonlet::mniFadeOutClick),
        mniFunction->addSeparator(),
        mniEcho = item(mniFunction, "Echo...", &TfrSonlet::mniEchoClick),
    };
    for (QAction* hidden : hiddenFunctions) {
        hidden->setVisible(false);
    }

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
    tbSave->setVisible(false);
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
    OpenDialog.Filter = "Supported files (*.wav, *.xi)|*.wav; *.xi|All files (*.*)|*.*";
    SaveDialog.Title = "Save As";
    SaveDialog.DefaultExt = "wav";
    SaveDialog.Filter = "Wave files (*.wav)|*.wav|All files (*.*)|*.*";
    SaveDialog.ForSave = true;
}

void TfrSonlet::mniNewClick() {
    TInstrument* inst = Instrument();
    if (inst == nullptr) {
        return;
    }
    inst->InitNew();
    RefreshInstrument();
}

void TfrSonlet::mniOpenClick() {
    if (Instrument() == nullptr || !OpenDialog.Execute(window())) {
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
    if (inst->LoadFromFile(ToPath(fileName))) {
        RefreshInstrument();
        // Such keys stay as the file has them; showing the file must not change it.
        if (const std::int32_t silent = inst->SilentKeyCount(); silent > 0) {
            ShowStatusMessage(QString::number(silent) +
                              " keys of the key map name a sample the instrument lacks and "
                              "play nothing");
        }
    }
}

void TfrSonlet::mniSaveClick() {
    TInstrument* inst = Instrument();
    if (inst == nullptr) {
        return;
    }
    if (inst->FileName.empty()) {
        mniSaveAsClick();
        return;
    }
    inst->SaveToFile(inst->FileName);
}

void TfrSonlet::mniSaveAsClick() {
    TInstrument* inst = Instrument();
    if (inst == nullptr || !SaveDialog.Execute(window())) {
        return;
    }
    inst->SaveToFile(ToPath(SaveDialog.FileName));
}

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

void TfrSonlet::mniFillRandomClick() { ApplySampleFunction(FunctionNoise); }
void TfrSonlet::mniSilenceClick() { ApplySampleFunction(FunctionSilence); }
void TfrSonlet::mniSinClick() { ApplySampleFunction(FunctionTone); }
void TfrSonlet::mniInvertClick() { ApplySampleFunction(FunctionInvert); }
void TfrSonlet::mniFlipByZeroClick() { ApplySampleFunction(FunctionFlipByZero); }
void TfrSonlet::mniReverseClick() { ApplySampleFunction(FunctionReverse); }

void TfrSonlet::mniSwapChannelsClick() { ApplySampleFunction(FunctionSwapChannels); }
void TfrSonlet::mniVolumeClick() { ApplySampleFunction(FunctionVolume); }
void TfrSonlet::mniNormalizeClick() { ApplySampleFunction(FunctionNormalize); }
void TfrSonlet::mniFadeInClick() { ApplySampleFunction(FunctionFadeIn); }
void TfrSonlet::mniFadeOutClick() { ApplySampleFunction(FunctionFadeOut); }
void TfrSonlet::mniEchoClick() { ApplySampleFunction(FunctionEcho); }

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

void TfrSonlet::ApplySampleFunction(std::int32_t code) {
    TInstrument* inst = Instrument();
    TSample* sample = Sample();
    if (inst == nullptr || sample == nullptr) {
        return;
    }
    {
        InstrumentEditGuard guard(inst->EditLock());
        sample->ApplyFunction(code);
    }
    UpdateView(-1);
}

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
