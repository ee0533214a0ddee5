#include "ui/MainWindow.h"

#include "support/Report.h"
#include "support/platform/ShellFolders.h"
#include "support/widgets/About.h"
#include "support/widgets/ThreadedTimer.h"
#include "ui/Frame.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSessionManager>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

namespace sonlet {

namespace {

constexpr QRect DesignPlacement{231, 134, 839, 516};
constexpr QSize MinimumClientSize{820, 400};
constexpr std::array<int, 5> StatusPanelWidths{150, 150, 150, 100, 50};
constexpr int Timer1Interval = 200;
constexpr std::uint32_t TimerInterval = 20;
constexpr int StatusMessageMilliseconds = 5000;

QString StartFolder() {
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    return QDir(music).exists() ? music : QDir::homePath();
}

} // namespace

std::string ApplicationDataFolder() { return GetShellFolder("AppData"); }

TfrmMain::TfrmMain(const OutputRingFactory& makeRing, QWidget* parent) : QMainWindow(parent) {
    setWindowTitle("Tulvo Sonlet");
    move(DesignPlacement.topLeft());
    resize(DesignPlacement.size());
    // Narrower than its design, the property panel would cut off its labels and values.
    setMinimumSize(MinimumClientSize);
    setAcceptDrops(true);

    Sonlet = new TfrSonlet(this);
    Sonlet->setObjectName("Sonlet");
    setCentralWidget(Sonlet);
    Sonlet->BuildCommands();
    BuildMenus();
    BuildStatusBar();

    Timer1 = new QTimer(this);
    Timer1->setInterval(Timer1Interval);
    connect(Timer1, &QTimer::timeout, this, &TfrmMain::Timer1Timer);
    Timer1->start();

    Timer = new TThreadedTimer(this);
    Timer->SetInterval(TimerInterval);
    Timer->SetThreadPriority(QThread::HighPriority);
    Timer->OnTimer = [this](TThreadedTimer&) { TimerTimer(); };

    // The window sees every key before the focused control (and leaves it to that control).
    qApp->installEventFilter(this);

    FormCreate(makeRing);

    connect(Sonlet, &TfrSonlet::DocumentChanged, this,
            [this] { setWindowTitle(Sonlet->WindowTitle()); });
    // The desktop session ends: unsaved changes get the same question as a close.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
        if (!Closing && Sonlet->Modified() &&
            (!manager.allowsInteraction() || !Sonlet->MayDiscardChanges())) {
            manager.cancel();
        }
        manager.release();
    });
}

TfrmMain::~TfrmMain() {
    qApp->removeEventFilter(this);
    const bool hadPlayer = Player != nullptr;
    ShutDownPlayer();
    if (hadPlayer && playerRunning_) {
        // The stuck player's voices still point at the instrument slots this destructor is
        // about to free: end the process now, as main does after a close.
        std::fflush(nullptr);
        std::_Exit(EXIT_SUCCESS);
    }
}

void TfrmMain::BuildMenus() {
    setMenuBar(Sonlet->MainMenu);

    // The frame's Play item becomes the submenu of transposed notes.
    auto semitone = [this](const QString& caption, void (TfrmMain::*handler)()) {
        QAction* action = Sonlet->mniPlay->addAction(caption);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    N31 = semitone("-3 semitones", &TfrmMain::N31Click);
    N21 = semitone("-2 semitones", &TfrmMain::N21Click);
    N11 = semitone("-1 semitone", &TfrmMain::N11Click);
    N01 = semitone("Play as is", &TfrmMain::N01Click);
    N01->setShortcut(QKeySequence(Qt::Key_F5));
    N12 = semitone("+1 semitone", &TfrmMain::N12Click);
    N22 = semitone("+2 semitones", &TfrmMain::N22Click);
    N32 = semitone("+3 semitones", &TfrmMain::N32Click);

    Sonlet->mniSaveAs->setText("Save As .XI...");
    Sonlet->mniChannels->setVisible(true);
    Sonlet->mniHelp->menuAction()->setVisible(true);

    Options1 = new QMenu("Options", Sonlet->MainMenu);
    Sonlet->MainMenu->insertMenu(Sonlet->mniHelp->menuAction(), Options1);
    Colorscheme1 = Options1->addMenu("Color scheme");
    ColorSchemes = new QActionGroup(this);
    ColorSchemes->setExclusive(true);
    auto scheme = [this](const QString& caption, void (TfrmMain::*handler)(QAction&)) {
        QAction* action = Colorscheme1->addAction(caption);
        action->setCheckable(true);
        ColorSchemes->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, action, handler] { (this->*handler)(*action); });
        return action;
    };
    White1 = scheme("White", &TfrmMain::White1Click);
    Black1 = scheme("Black", &TfrmMain::Black1Click);
    Blue1 = scheme("Blue", &TfrmMain::Blue1Click);

    // Items whose commands the window routes through its own handlers.
    auto route = [this](QAction* action, void (TfrmMain::*handler)()) {
        disconnect(action, &QAction::triggered, nullptr, nullptr);
        connect(action, &QAction::triggered, this, handler);
    };
    route(Sonlet->mniNew, &TfrmMain::SonletmniNewClick);
    route(Sonlet->mniSave, &TfrmMain::SonletmniSaveClick);
    route(Sonlet->mniSaveAs, &TfrmMain::SonletmniSaveAsClick);
    route(Sonlet->mniExit, &TfrmMain::SonletmniExitClick);
    route(Sonlet->mniZoomIn, &TfrmMain::SonletmniZoomInClick);
    route(Sonlet->mniChannels, &TfrmMain::SonletmniChannelsClick);
    route(Sonlet->mniSwapChannels, &TfrmMain::SonletmniSwapChannelsClick);
    route(Sonlet->mniNormalize, &TfrmMain::SonletmniNormalizeClick);
    route(Sonlet->mniStop, &TfrmMain::SonletmniStopClick);
    route(Sonlet->tbPlay, &TfrmMain::SonlettbPlayClick);
    route(Sonlet->mniAbout, &TfrmMain::SonletmniAboutClick);

    for (QAction* action : findChildren<QAction*>()) {
        if (!action->shortcut().isEmpty()) {
            shortcutActions_.push_back(action);
        }
    }
}

void TfrmMain::BuildStatusBar() {
    StatusBar = new QStatusBar(this);
    StatusBar->setSizeGripEnabled(false);
    for (std::size_t i = 0; i < StatusPanels.size(); ++i) {
        auto* panel = new QLabel(StatusBar);
        // A longer text widens its panel rather than being cut.
        panel->setMinimumWidth(StatusPanelWidths[i]);
        panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        StatusBar->addWidget(panel);
        StatusPanels[i] = panel;
    }
    setStatusBar(StatusBar);
    connect(Sonlet, &TfrSonlet::StatusChanged, this, [this](int panel, const QString& text) {
        if (panel >= 0 && panel < 3) {
            StatusPanels[static_cast<std::size_t>(panel)]->setText(text);
        }
    });
    connect(Sonlet, &TfrSonlet::StatusMessage, this, [this](const QString& text) {
        StatusBar->showMessage(text, StatusMessageMilliseconds);
    });
}

void TfrmMain::FormCreate(const OutputRingFactory& makeRing) {
    // Qt paints every widget double-buffered already; nothing to switch on.
    White1Click(*White1);

    DataFolder = JoinPath(ApplicationDataFolder(), "Sonlet");
    DataFolder += PathSeparator;
    std::error_code ignored;
    std::filesystem::create_directories(DataFolder, ignored);

    LoadSettings();

    instrument_ = std::make_unique<TInstrument>();
    instrument_->InitNew();
    Instrument.store(instrument_.get(), std::memory_order_release);
    Sonlet->SetInstrument(instrument_.get());

    std::unique_ptr<OutputRing> ring = makeRing ? makeRing() : nullptr;
    if (ring) {
        ring->RequestLatency(LatencyMs);
    }
    Player = TWavePlayer::Create(std::move(ring));
    if (!Player) {
        return;
    }
    Player->OutputGain = 0.5f;
    Player->Resume();
    playerRunning_ = true;

    Sonlet->InitEditor();
    Sonlet->SetPlayer(Player.get());

    Sonlet->OpenDialog.InitialDir = StartFolder();
    Sonlet->SaveDialog.InitialDir = StartFolder();
    Sonlet->SampleOpenDialog.InitialDir = StartFolder();
    Sonlet->SampleSaveDialog.InitialDir = StartFolder();
    Sonlet->SaveDialog.Filter = "Xi files (*.xi)|*.xi";
    // A name typed without an extension saves an XI file rather than nothing.
    Sonlet->SaveDialog.DefaultExt = "xi";

    HeldKeys.fill(false);
}

void TfrmMain::N31Click() { Sonlet->PlayNote(-3); }
void TfrmMain::N21Click() { Sonlet->PlayNote(-2); }
void TfrmMain::N11Click() { Sonlet->PlayNote(-1); }
void TfrmMain::N01Click() { Sonlet->PlayNote(0); }
void TfrmMain::N12Click() { Sonlet->PlayNote(1); }
void TfrmMain::N22Click() { Sonlet->PlayNote(2); }
void TfrmMain::N32Click() { Sonlet->PlayNote(3); }

void TfrmMain::SonletmniNewClick() { Sonlet->mniNewClick(); }
void TfrmMain::SonletmniSaveClick() { Sonlet->mniSaveClick(); }
void TfrmMain::SonletmniSaveAsClick() { Sonlet->mniSaveAsClick(); }
void TfrmMain::SonletmniExitClick() { Sonlet->mniExitClick(); }
void TfrmMain::SonletmniZoomInClick() { Sonlet->mniZoomInClick(); }
void TfrmMain::SonletmniChannelsClick() { Sonlet->mniChannelsClick(); }
void TfrmMain::SonletmniSwapChannelsClick() { Sonlet->mniSwapChannelsClick(); }
void TfrmMain::SonletmniNormalizeClick() { Sonlet->mniNormalizeClick(); }
void TfrmMain::SonletmniStopClick() { Sonlet->mniStopClick(); }
void TfrmMain::SonlettbPlayClick() { Sonlet->mniPlayClick(); }

void TfrmMain::SonletmniAboutClick() {
    if (AboutBox != nullptr) {
        AboutBox->exec();
        return;
    }
    TAboutBox box(this);
    box.exec();
}

void TfrmMain::OpenFile(const QString& fileName) {
    if (Sonlet->MayDiscardChanges()) {
        Sonlet->OpenFile(fileName);
    }
}

void TfrmMain::dragEnterEvent(QDragEnterEvent* event) {
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            return;
        }
    }
}

void TfrmMain::dropEvent(QDropEvent* event) {
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            OpenFile(url.toLocalFile());
            return;
        }
    }
}

void TfrmMain::Timer1Timer() {
    if (!Closing || closed_) {
        return;
    }
    // The close saves the settings first, then ends the player: a report about the settings
    // may repaint the window, which must still have its instrument then.
    close();
}

// The threaded timer is created disabled and has no work of its own: its tick does nothing.
void TfrmMain::TimerTimer() {}

void TfrmMain::closeEvent(QCloseEvent* event) {
    if (closed_) {
        event->accept();
        return;
    }
    if (!Closing) {
        event->ignore();
        if (!Sonlet->MayDiscardChanges()) {
            return;
        }
        Timer->SetEnabled(false);
        Closing = true;
        if (Player) {
            Player->FreeOnExit = true;
        }
        return;
    }
    SaveSettings();
    ShutDownPlayer();
    closed_ = true;
    Timer1->stop();
    event->accept();
}

void TfrmMain::ShutDownPlayer() {
    Sonlet->SetPlayer(nullptr);
    if (Player) {
        playerRunning_ = !CoreThread::ShutDown(std::move(Player), PlayerEndLimit);
    }
    if (!instrument_) {
        return;
    }
    if (playerRunning_) {
        // The player thread is still busy and may read the instrument: keep it alive.
        (void)instrument_.release();
        return;
    }
    Sonlet->SetInstrument(nullptr);
    Instrument.store(nullptr, std::memory_order_release);
    instrument_.reset();
}

} // namespace sonlet
