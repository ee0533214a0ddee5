#include "ui/MainWindow.h"

#include "playback/KeyMap.h"
#include "support/Report.h"
#include "support/platform/ShellFolders.h"
#include "support/widgets/About.h"
#include "support/widgets/ThreadedTimer.h"
#include "ui/Frame.h"
#include "ui/MainWindowKeys.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace sonlet {

namespace {

constexpr QRect DesignPlacement{231, 134, 839, 516};
constexpr QSize MinimumClientSize{820, 400};
constexpr std::array<int, 5> StatusPanelWidths{150, 150, 150, 100, 50};
constexpr int Timer1Interval = 200;
constexpr std::uint32_t TimerInterval = 20;
constexpr std::int32_t PianoVelocity = 100;
constexpr int WheelNotch = 120;
constexpr std::chrono::milliseconds FrameSettleDelay{250};
constexpr int StatusMessageMilliseconds = 5000;
// How long a key release waits for the press that would make it half of a repeat pair.
constexpr std::chrono::milliseconds RepeatPairWindow{30};

constexpr std::int32_t SchemeWhite = 0;
constexpr std::int32_t SchemeBlack = 1;
constexpr std::int32_t SchemeBlue = 2;

struct SchemeColors {
    QColor background;
    QColor selection;
    QColor accent;
    QColor centerLine;
    QColor wave;
};

SchemeColors ColorsOf(std::int32_t scheme) {
    switch (scheme) {
    case SchemeBlack:
        return {QColor::fromRgb(0x000000u), QColor::fromRgb(0x000080u), QColor::fromRgb(0xFFFFFFu),
                QColor::fromRgb(0xFFFFFFu), QColor::fromRgb(0x8FFF8Fu)};
    case SchemeBlue:
        return {QColor::fromRgb(0x4174ABu), QColor::fromRgb(0xA4BFDDu), QColor::fromRgb(0xFFFF00u),
                QColor::fromRgb(0xFFFFFFu), QColor::fromRgb(0xE0E0E0u)};
    default:
        return {QColor::fromRgb(0xFFFFFFu), QColor::fromRgb(0xF0F0FAu), QColor::fromRgb(0xFFFFFFu),
                QColor::fromRgb(0xC0C0C0u), QColor::fromRgb(0x000000u)};
    }
}

// A hand-edited size must not make the window (and its backing store) absurdly large: at
// most the whole desktop, and never less than a generous fixed size.
QSize LargestWindowSize() {
    constexpr int floor = 4096;
    QSize desktop;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        desktop = screen->virtualSize();
    }
    return {std::max(floor, desktop.width()), std::max(floor, desktop.height())};
}

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

    Player = TWavePlayer::Create(makeRing ? makeRing() : nullptr);
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
    Sonlet->SaveDialog.Filter = "Xi files (*.xi)|*.xi";
    // A name typed without an extension saves an XI file rather than nothing.
    Sonlet->SaveDialog.DefaultExt = "xi";

    HeldKeys.fill(false);
}

QString TfrmMain::SettingsFile() const {
    return QFile::decodeName(QByteArray::fromStdString(DataFolder)) + "sonlet.ini";
}

void TfrmMain::LoadSettings() {
    QSettings ini(SettingsFile(), QSettings::IniFormat);
    ini.beginGroup("Form");
    const QRect outer = frameGeometry();
    const int top = ini.value("Top", outer.top()).toInt();
    move(x(), top);
    const int left = ini.value("Left", outer.left()).toInt();
    move(left, top);
    const QSize limit = LargestWindowSize();
    const int width = std::clamp(ini.value("Width", outer.width()).toInt(), 1, limit.width());
    const int height = std::clamp(ini.value("Height", outer.height()).toInt(), 1, limit.height());
    pendingOuterSize_ = QSize(width, height);
    resize(width, height);
    ColorScheme = ini.value("ColorScheme", ColorScheme).toInt();
    ini.endGroup();
    if (ColorScheme == SchemeBlack) {
        Black1Click(*Black1);
    } else if (ColorScheme == SchemeBlue) {
        Blue1Click(*Blue1);
    }
}

void TfrmMain::SaveSettings() {
    QSettings ini(SettingsFile(), QSettings::IniFormat);
    ini.beginGroup("Form");
    const QRect outer = frameGeometry();
    // A size still waiting for the window's frame is the one to keep.
    const QSize size = pendingOuterSize_.isEmpty() ? outer.size() : pendingOuterSize_;
    ini.setValue("Top", outer.top());
    ini.setValue("Left", outer.left());
    ini.setValue("Width", size.width());
    ini.setValue("Height", size.height());
    ini.setValue("ColorScheme", ColorScheme);
    ini.endGroup();
    ini.sync();
    if (ini.status() != QSettings::NoError) {
        ShowError("Cannot save the settings to " + QFile::encodeName(SettingsFile()).toStdString(),
                  MessageIcon::Warning);
    }
}

// Width and Height are the outer size. The window manager's frame is known only a moment
// after the window is first shown, so the inner size is corrected then, once.
void TfrmMain::FitOuterSize() {
    if (pendingOuterSize_.isEmpty()) {
        return;
    }
    const QSize frame = frameGeometry().size() - geometry().size();
    resize(pendingOuterSize_ - frame);
    pendingOuterSize_ = QSize();
}

void TfrmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!pendingOuterSize_.isEmpty()) {
        QTimer::singleShot(FrameSettleDelay, this, &TfrmMain::FitOuterSize);
    }
}

void TfrmMain::ApplyScheme(QAction& sender, std::int32_t scheme) {
    sender.setChecked(true);
    ColorScheme = scheme;
    const SchemeColors colors = ColorsOf(scheme);
    Sonlet->BackgroundColor = colors.background;
    Sonlet->SelectionColor = colors.selection;
    Sonlet->AccentColor = colors.accent;
    Sonlet->CenterLineColor = colors.centerLine;
    Sonlet->WaveColor = colors.wave;
    Sonlet->RedrawWaveforms();
}

void TfrmMain::White1Click(QAction& sender) { ApplyScheme(sender, SchemeWhite); }
void TfrmMain::Black1Click(QAction& sender) { ApplyScheme(sender, SchemeBlack); }
void TfrmMain::Blue1Click(QAction& sender) { ApplyScheme(sender, SchemeBlue); }

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

void TfrmMain::OpenFile(const QString& fileName) { Sonlet->OpenFile(fileName); }

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

void TfrmMain::FormKeyDown(std::uint32_t virtualKey) {
    const std::uint8_t offset = KeyToNote(virtualKey);
    if (offset == NoNote || HeldKeys[virtualKey]) {
        return;
    }
    HeldKeys[virtualKey] = true;
    if (Player) {
        Player->NoteOn(Instrument, KeyboardBaseNote + offset, PianoVelocity);
    }
}

void TfrmMain::FormKeyUp(std::uint32_t virtualKey) {
    const std::uint8_t offset = KeyToNote(virtualKey);
    if (offset == NoNote) {
        return;
    }
    HeldKeys[virtualKey] = false;
    if (Player) {
        Player->NoteOff(Instrument, KeyboardBaseNote + offset);
    }
}

void TfrmMain::FormMouseWheelDown() {
    if (++WheelSteps >= 2) {
        WheelSteps = 0;
        Sonlet->ZoomOut();
    }
}

void TfrmMain::FormMouseWheelUp() {
    if (--WheelSteps <= -2) {
        WheelSteps = 0;
        Sonlet->ZoomIn();
    }
}

bool TfrmMain::MatchesMenuShortcut(const QKeyEvent& event) const {
    const QKeySequence pressed(event.keyCombination());
    for (const QAction* action : shortcutActions_) {
        if (action->isEnabled() && action->shortcut() == pressed) {
            return true;
        }
    }
    return false;
}

bool TfrmMain::KeyEventForPiano(QObject* watched, QEvent* event) {
    // A key event travels up from the focused control; take it once, where it starts.
    QWidget* focus = QApplication::focusWidget();
    if (watched != (focus != nullptr ? static_cast<QObject*>(focus) : this)) {
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    if (event->type() == QEvent::ShortcutOverride) {
        // The menu takes its shortcuts even from controls that would use the keys themselves.
        if (MatchesMenuShortcut(*key)) {
            event->ignore();
            return true;
        }
        return false;
    }
    const std::uint32_t vk = VirtualKeyOf(*key);
    if (vk == 0 || vk > 255) {
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        PianoKeyPress(vk, key->timestamp());
    } else if (!key->isAutoRepeat()) {
        PianoKeyRelease(vk, key->timestamp());
    }
    return false;
}

// A held key repeats as a release and a press. X11 gives both the same timestamp, and Qt
// marks only the pairs whose press it already had in its queue. So a release waits a moment:
// a press of the same key with the release's timestamp makes it a repeat and both vanish;
// any other press of that key, or the end of the wait, lets the release through first.
void TfrmMain::PianoKeyPress(std::uint32_t virtualKey, qulonglong timestamp) {
    std::optional<qulonglong>& pending = pendingRelease_[virtualKey];
    if (pending) {
        const bool repeat = *pending == timestamp;
        pending.reset();
        if (repeat) {
            return;
        }
        FormKeyUp(virtualKey);
    }
    FormKeyDown(virtualKey);
}

void TfrmMain::PianoKeyRelease(std::uint32_t virtualKey, qulonglong timestamp) {
    std::optional<qulonglong>& pending = pendingRelease_[virtualKey];
    if (pending) {
        // A second release without a press between: the key is up, end the note once.
        pending.reset();
        FormKeyUp(virtualKey);
        return;
    }
    // Without a time the release cannot be half of a pair: it ends the note at once.
    if (timestamp == 0 || KeyToNote(virtualKey) == NoNote) {
        FormKeyUp(virtualKey);
        return;
    }
    pending = timestamp;
    QTimer::singleShot(RepeatPairWindow, this, [this, virtualKey, timestamp] {
        std::optional<qulonglong>& waiting = pendingRelease_[virtualKey];
        if (waiting && *waiting == timestamp) {
            waiting.reset();
            FormKeyUp(virtualKey);
        }
    });
}

bool TfrmMain::WheelEventForZoom(QObject* watched, QEvent* event) {
    auto* wheel = static_cast<QWheelEvent*>(event);
    const WheelStamp stamp{wheel->timestamp(), wheel->globalPosition(), wheel->angleDelta()};
    if (stamp == lastWheel_) {
        return false;
    }
    lastWheel_ = stamp;
    // Positive angles turn the wheel away from the user: zoom in. One notch is 120.
    wheelRemainder_ += wheel->angleDelta().y();
    while (wheelRemainder_ >= WheelNotch) {
        wheelRemainder_ -= WheelNotch;
        FormMouseWheelUp();
    }
    while (wheelRemainder_ <= -WheelNotch) {
        wheelRemainder_ += WheelNotch;
        FormMouseWheelDown();
    }
    // The wheel zooms and changes no setting: only the sample list scrolls with it as well.
    return !Sonlet->ScrollsWithWheel(watched);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease &&
        type != QEvent::ShortcutOverride && type != QEvent::Wheel) {
        return false;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != this || closed_) {
        return false;
    }
    if (type == QEvent::Wheel) {
        return WheelEventForZoom(watched, event);
    }
    return KeyEventForPiano(watched, event);
}

} // namespace sonlet
