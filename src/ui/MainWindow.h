#pragma once

#include "model/Instrument.h"
#include "playback/OutputRing.h"
#include "playback/Player.h"

#include <QMainWindow>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QStatusBar;
class QTimer;

namespace sonlet {

class TAboutBox;
class TfrSonlet;
class TThreadedTimer;

// Makes the output ring the player plays into: SDL in the program, a deterministic ring in
// tests.
using OutputRingFactory = std::function<std::unique_ptr<OutputRing>()>;

// The program's working window: hosts the editor frame, owns the one instrument and the one
// player, plays the instrument from the computer keyboard, zooms with the mouse wheel, keeps
// its placement and colour scheme in "sonlet.ini" and shuts the player down in order when it
// closes. Everything here runs on the GUI thread.
class TfrmMain final : public QMainWindow {
    Q_OBJECT

public:
    explicit TfrmMain(const OutputRingFactory& makeRing, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // False when the audio output could not be opened (already reported): the program ends.
    bool HasPlayer() const { return Player != nullptr; }
    // True when the close gave up waiting for the player thread: it may still read this
    // window's instrument slots, so the process must end without destroying the window.
    bool PlayerStillRunning() const { return playerRunning_ && !Player; }
    // Loads a file as Open does (command line, dropped files).
    void OpenFile(const QString& fileName);
    // The About box Help > About... shows; without one a box is made for the occasion.
    void SetAboutBox(TAboutBox* box) { AboutBox = box; }

    TfrSonlet* Sonlet = nullptr;
    QStatusBar* StatusBar = nullptr;
    std::array<QLabel*, 5> StatusPanels{};
    QTimer* Timer1 = nullptr;
    TThreadedTimer* Timer = nullptr;
    QMenu* Options1 = nullptr;
    QMenu* Colorscheme1 = nullptr;
    QActionGroup* ColorSchemes = nullptr;
    QAction* White1 = nullptr;
    QAction* Black1 = nullptr;
    QAction* Blue1 = nullptr;
    QAction* N31 = nullptr;
    QAction* N21 = nullptr;
    QAction* N11 = nullptr;
    QAction* N01 = nullptr;
    QAction* N12 = nullptr;
    QAction* N22 = nullptr;
    QAction* N32 = nullptr;
    TAboutBox* AboutBox = nullptr;

    // The one player; handed over to its ordered shutdown at the first tick after a close.
    std::unique_ptr<TWavePlayer> Player;
    // The main window's instrument slot: the keyboard piano's notes read it.
    InstrumentSlot Instrument{nullptr};
    // The settings folder, with a trailing separator.
    std::string DataFolder;
    bool Closing = false;
    std::array<bool, 256> HeldKeys{};
    std::int32_t WheelSteps = 0;
    std::int32_t ColorScheme = 0;
    // [Playback] LatencyMs: the time from a key to its sound asked of the output; 0 (the
    // default) is as little as the device allows.
    std::int32_t LatencyMs = 0;

    // How long the close waits for the player thread before it gives up on freeing the
    // instrument (the player may be stuck in a message box).
    static constexpr std::chrono::milliseconds PlayerEndLimit{2000};

    void Timer1Timer();
    void TimerTimer();
    void FormKeyDown(std::uint32_t virtualKey);
    void FormKeyUp(std::uint32_t virtualKey);
    void FormMouseWheelDown();
    void FormMouseWheelUp();
    void White1Click(QAction& sender);
    void Black1Click(QAction& sender);
    void Blue1Click(QAction& sender);
    void N31Click();
    void N21Click();
    void N11Click();
    void N01Click();
    void N12Click();
    void N22Click();
    void N32Click();

    void SonletmniNewClick();
    void SonletmniSaveClick();
    void SonletmniSaveAsClick();
    void SonletmniExitClick();
    void SonletmniZoomInClick();
    void SonletmniChannelsClick();
    void SonletmniSwapChannelsClick();
    void SonletmniNormalizeClick();
    void SonletmniStopClick();
    void SonlettbPlayClick();
    void SonletmniAboutClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate(const OutputRingFactory& makeRing);
    void BuildMenus();
    void BuildStatusBar();
    void LoadSettings();
    void SaveSettings();
    QString SettingsFile() const;
    void ApplyScheme(QAction& sender, std::int32_t scheme);
    bool KeyEventForPiano(QObject* watched, QEvent* event);
    void PianoKeyPress(std::uint32_t virtualKey, qulonglong timestamp);
    void PianoKeyRelease(std::uint32_t virtualKey, qulonglong timestamp);
    bool WheelEventForZoom(QObject* watched, QEvent* event);
    bool MatchesMenuShortcut(const QKeyEvent& event) const;
    void FitOuterSize();
    // Ends the player thread (bounded) and, once it has ended, frees the instrument.
    void ShutDownPlayer();

    std::unique_ptr<TInstrument> instrument_;
    // True from the player's start until its thread has ended: until then the instrument
    // must stay alive.
    bool playerRunning_ = false;
    bool closed_ = false;
    std::vector<QAction*> shortcutActions_;
    // Wheel events reach the filter once per widget they propagate through.
    struct WheelStamp {
        qulonglong timestamp = 0;
        QPointF position;
        QPoint delta;
        bool operator==(const WheelStamp&) const = default;
    };
    WheelStamp lastWheel_;
    // Per key: the timestamp of a release not yet passed on, while it may still turn out to
    // be half of a repeat pair.
    std::array<std::optional<qulonglong>, 256> pendingRelease_{};
    std::int32_t wheelRemainder_ = 0;
    // The lane column a Ctrl+wheel zoom keeps in place; none for the plain wheel.
    std::optional<std::int32_t> wheelAnchor_;
    // The outer size from the settings, applied once the window manager's frame is known.
    QSize pendingOuterSize_;
};

// The settings folder's parent: the user's application-data folder.
std::string ApplicationDataFolder();

} // namespace sonlet
