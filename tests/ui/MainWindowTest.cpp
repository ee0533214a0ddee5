#include "MainWindowTestKit.h"
#include "support/widgets/ThreadedTimer.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>

namespace sonlet::uitest {
namespace {

using testkit::ProcessEventsUntil;

// A ring whose player thread cannot be woken, as when it hangs in a call that does not
// return; the test lets it go at the end and learns when the player destroyed the ring.
class StuckRing final : public ForwardingRing {
public:
    StuckRing(TestOutputRing& ring, std::promise<void>& destroyed)
        : ForwardingRing(ring), destroyed_(destroyed) {}
    ~StuckRing() override { destroyed_.set_value(); }
    void LetGo() {
        stuck_ = false;
        ring_.Wake();
    }
    void Wake() override {
        if (!stuck_) {
            ring_.Wake();
        }
    }

private:
    std::promise<void>& destroyed_;
    std::atomic<bool> stuck_{true};
};

class MainWindowTest : public MainWindowFixture {
protected:
    // Gives a control of the window the keyboard focus, as a click would.
    void Focus(QWidget& control) {
        window->activateWindow();
        QApplication::setActiveWindow(window.get());
        control.setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(ProcessEventsUntil([&] {
            QWidget* focus = QApplication::focusWidget();
            return focus == &control || (focus != nullptr && control.focusProxy() == focus);
        }));
    }
    QWidget& KeyTarget() {
        QWidget* focus = QApplication::focusWidget();
        return focus != nullptr ? *focus : *window;
    }
    void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyPress(&KeyTarget(), key, modifiers);
    }
    void Release(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyRelease(&KeyTarget(), key, modifiers);
    }
    // A key the window system repeats while it is held: a release and a press, both marked.
    void AutoRepeat(Qt::Key key, const QString& text) {
        QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text, true);
        QApplication::sendEvent(&KeyTarget(), &up);
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text, true);
        QApplication::sendEvent(&KeyTarget(), &down);
    }
    // A key event as the window system sends it, with its time in milliseconds.
    void SendKey(QEvent::Type type, Qt::Key key, const QString& text, qulonglong timestamp) {
        QKeyEvent event(type, key, Qt::NoModifier, text);
        event.setTimestamp(timestamp);
        QApplication::sendEvent(&KeyTarget(), &event);
    }
    NoteCount Piano(int note) { return CountNotes(*window->Player, window->Instrument, note); }
    NoteCount Frame(int note) { return CountNotes(*window->Player, window->Sonlet->Slot, note); }

    void Wheel(int angle, qulonglong timestamp, QWidget* over = nullptr,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier, QPointF at = {10, 10},
               bool sideways = false) {
        QWidget& target = over != nullptr ? *over : *window->Sonlet->PaintBox1;
        const QPoint delta = sideways ? QPoint(angle, 0) : QPoint(0, angle);
        QWheelEvent event(at, target.mapToGlobal(at), QPoint(), delta, Qt::NoButton, modifiers,
                          Qt::NoScrollPhase, false);
        event.setTimestamp(timestamp);
        QApplication::sendEvent(&target, &event);
    }

    void WriteSettings(const std::string& text) {
        std::filesystem::create_directories(home.Path() / "Sonlet");
        std::ofstream(SettingsPath()) << text;
    }
    int SettingsValue(const char* key) {
        QSettings ini(QString::fromStdString(SettingsPath()), QSettings::IniFormat);
        return ini.value(QString("Form/") + key, -1).toInt();
    }
};

TEST_F(MainWindowTest, StartsWithTitleNewInstrumentRunningPlayerAndHiddenExtras) {
    TfrmMain& w = MakeWindow();
    EXPECT_EQ(w.windowTitle(), "Tulvo Sonlet");
    ASSERT_TRUE(w.HasPlayer());
    EXPECT_FLOAT_EQ(w.Player->OutputGain.load(), 0.5f);
    EXPECT_EQ(w.Sonlet->Player, w.Player.get());
    TInstrument* inst = w.Instrument.load();
    ASSERT_NE(inst, nullptr);
    EXPECT_EQ(w.Sonlet->Instrument(), inst);
    EXPECT_EQ(inst->SampleCount, 1);
    EXPECT_EQ(w.DataFolder, (home.Path() / "Sonlet").string() + "/");
    EXPECT_TRUE(std::filesystem::is_directory(home.Path() / "Sonlet"));
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_EQ(w.Timer1->interval(), 200);
    EXPECT_FALSE(w.Timer->Enabled());
    EXPECT_EQ(w.Timer->Interval(), 20u);
    EXPECT_EQ(w.Timer->ThreadPriority(), QThread::HighPriority);
    EXPECT_TRUE(w.White1->isChecked());
    // The design placement is the outer one, frame included.
    EXPECT_TRUE(ProcessEventsUntil([&] { return w.frameGeometry().size() == QSize(839, 516); }));
    EXPECT_EQ(w.frameGeometry(), QRect(231, 134, 839, 516));
    EXPECT_TRUE(reporter.Messages().empty());
}

TEST_F(MainWindowTest, OutputThatCannotOpenIsReportedAndLeavesNoPlayer) {
    {
        TfrmMain failed([] {
            return std::make_unique<TestOutputRing>(TestOutputRing::Failures{.init = true});
        });
        EXPECT_FALSE(failed.HasPlayer());
        EXPECT_EQ(failed.Sonlet->Player, nullptr);
    }
    ASSERT_EQ(reporter.Messages().size(), 1u);
    EXPECT_EQ(reporter.Messages()[0].text, "Error initializing DirectSound.");
    EXPECT_EQ(reporter.Messages()[0].caption, "Error");
}

TEST_F(MainWindowTest, StatusBarHasFivePanelsAndShowsTheViewTexts) {
    TfrmMain& w = MakeWindow();
    const std::array<int, 5> widths{150, 150, 150, 100, 50};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(w.StatusPanels[i]->width(), widths[i]);
    }
    w.Sonlet->ZoomIn();
    EXPECT_EQ(w.StatusPanels[2]->text(), "Zoom: 200%");
    w.Sonlet->SetStatus(0, "Position: 5");
    EXPECT_EQ(w.StatusPanels[0]->text(), "Position: 5");

    // A message longer than a panel gets the whole bar.
    for (int i = 0; i < 16; ++i) {
        w.Sonlet->tbSampleNew->trigger();
    }
    const QString full = "An instrument holds at most 16 samples.";
    EXPECT_EQ(w.StatusBar->currentMessage(), full);
    EXPECT_GE(w.StatusBar->width(), w.StatusBar->fontMetrics().horizontalAdvance(full));
}

TEST_F(MainWindowTest, PianoKeySendsOneNoteOnPerPressAndIgnoresAutoRepeat) {
    MakeWindow();
    Focus(*window->Sonlet->Panel);
    Press(Qt::Key_Q);
    EXPECT_EQ(Piano(60).held, 1);
    AutoRepeat(Qt::Key_Q, "q");
    AutoRepeat(Qt::Key_Q, "q");
    EXPECT_EQ(Piano(60).held, 1);
    EXPECT_EQ(Piano(60).released, 0);
    Release(Qt::Key_Q);
    EXPECT_EQ(Piano(60).held, 0);
    EXPECT_EQ(Piano(60).released, 1);

    // Pressed again, it plays again; Z is the lowest key, ] the highest.
    Press(Qt::Key_Q);
    EXPECT_EQ(Piano(60).held, 1);
    Press(Qt::Key_Z);
    Press(Qt::Key_BracketRight);
    EXPECT_EQ(Piano(48).held, 1);
    EXPECT_EQ(Piano(79).held, 1);
    // Shift changes nothing: the same key plays the same note.
    Press(Qt::Key_2, Qt::ShiftModifier);
    EXPECT_EQ(Piano(61).held, 1);
    // The frame's slot is a different slot: its Stop leaves the piano's notes alone.
    window->Sonlet->mniStop->trigger();
    EXPECT_EQ(Piano(60).held, 1);
}

// Under X11 a held key repeats as a release and a press with one timestamp, and Qt marks
// only some of those pairs as repeats.
TEST_F(MainWindowTest, UnmarkedRepeatPairsOfAHeldKeyNeitherEndNorRestartTheNote) {
    MakeWindow();
    Focus(*window->Sonlet->Panel);
    SendKey(QEvent::KeyPress, Qt::Key_Q, "q", 1000);
    for (qulonglong t = 1500; t <= 1700; t += 100) {
        SendKey(QEvent::KeyRelease, Qt::Key_Q, "q", t);
        SendKey(QEvent::KeyPress, Qt::Key_Q, "q", t);
    }
    ASSERT_FALSE(ProcessEventsUntil([&] { return Piano(60).released > 0; }, 200));
    EXPECT_EQ(Piano(60).held, 1);

    // The real release ends the note; a quick new press (another time) plays a new one.
    SendKey(QEvent::KeyRelease, Qt::Key_Q, "q", 2000);
    EXPECT_TRUE(ProcessEventsUntil([&] { return Piano(60).released == 1; }));
    EXPECT_EQ(Piano(60).held, 0);
    SendKey(QEvent::KeyPress, Qt::Key_Q, "q", 3000);
    SendKey(QEvent::KeyRelease, Qt::Key_Q, "q", 3050);
    SendKey(QEvent::KeyPress, Qt::Key_Q, "q", 3060);
    EXPECT_EQ(Piano(60).held, 1);
    EXPECT_EQ(Piano(60).released, 2);
    EXPECT_TRUE(window->HeldKeys['Q']);
}

TEST_F(MainWindowTest, TwoKeysOfOneNoteGiveTwoVoicesAndAMissedReleaseIsCaughtUp) {
    MakeWindow();
    Focus(*window->Sonlet->Panel);
    Press(Qt::Key_Q);
    Press(Qt::Key_Comma);
    EXPECT_EQ(Piano(60).held, 2);
    Release(Qt::Key_Comma);
    EXPECT_EQ(Piano(60).held, 1);
    EXPECT_EQ(Piano(60).released, 1);

    // W's release went to another program: the flag stays, the next press sends nothing,
    // and the next release ends the note.
    Press(Qt::Key_W);
    EXPECT_TRUE(window->HeldKeys['W']);
    Press(Qt::Key_W);
    EXPECT_EQ(Piano(62).held, 1);
    Release(Qt::Key_W);
    EXPECT_EQ(Piano(62).held, 0);
    EXPECT_FALSE(window->HeldKeys['W']);
}

TEST_F(MainWindowTest, PianoKeysStillReachTheFocusedControl) {
    MakeWindow();
    QSpinBox& transpose = *window->Sonlet->udTransposeSample;
    Focus(transpose);
    QLineEdit& edit = *transpose.findChild<QLineEdit*>();
    edit.selectAll();
    QTest::keyClick(&KeyTarget(), Qt::Key_5);
    EXPECT_EQ(edit.text(), "5");
    EXPECT_EQ(Piano(66).released, 1);

    // F1 plays nothing and is left to the control as well.
    QTest::keyClick(&KeyTarget(), Qt::Key_F1);
    for (int note = 48; note <= 79; ++note) {
        EXPECT_EQ(Piano(note).held, 0) << note;
    }
}

// The digit row plays notes: it must not type into a value the user did not focus, nor
// pick a sample in the list.
TEST_F(MainWindowTest, FocusComesToValueControlsOnlyFromTheUser) {
    MakeWindow();
    TfrSonlet& frame = *window->Sonlet;
    window->activateWindow();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(ProcessEventsUntil([&] { return QApplication::focusWidget() == frame.Panel; }));

    frame.PageControl1->setCurrentWidget(frame.pnInstrument);
    Focus(*frame.cbVEEnabled);
    QTabBar& tabs = *frame.PageControl1->tabBar();
    QTest::mouseClick(&tabs, Qt::LeftButton, Qt::NoModifier, tabs.tabRect(0).center());
    ASSERT_EQ(frame.PageControl1->currentWidget(), frame.pnSample);
    EXPECT_EQ(QApplication::focusWidget(), frame.Panel);
    for (Qt::Key key : {Qt::Key_2, Qt::Key_3, Qt::Key_5}) {
        QTest::keyClick(&KeyTarget(), key);
    }
    EXPECT_EQ(frame.Sample()->Transpose, 0);

    // Coming back to the window does not put the focus back into the box.
    Focus(*frame.udTransposeSample);
    QApplication::setActiveWindow(nullptr);
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(ProcessEventsUntil([&] { return QApplication::focusWidget() == frame.Panel; }));

    // The sample list takes arrow keys, not typed digits.
    frame.tbSampleNew->trigger();
    frame.tbSampleNew->trigger();
    frame.lbSamples->setCurrentRow(0);
    Focus(*frame.lbSamples);
    QTest::keyClick(&KeyTarget(), Qt::Key_2);
    QTest::keyClick(&KeyTarget(), Qt::Key_3);
    EXPECT_EQ(frame.Instrument()->CurrentIndex, 0);
    QTest::keyClick(&KeyTarget(), Qt::Key_Down);
    EXPECT_EQ(frame.Instrument()->CurrentIndex, 1);
}

TEST_F(MainWindowTest, CtrlSOpensSaveAsBecauseNoFileNameIsKept) {
    MakeWindow();
    Focus(*window->Sonlet->Panel);
    Press(Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_TRUE(dialogs[0].ForSave);
    EXPECT_EQ(dialogs[0].Filter, "Xi files (*.xi)|*.xi");
    EXPECT_EQ(dialogs[0].DefaultExt, "xi");
}

TEST_F(MainWindowTest, PlayCommandsUseTheFrameSlotAndStopReleasesEveryNoteTheyStarted) {
    MakeWindow();
    Focus(*window->Sonlet->Panel);
    Press(Qt::Key_F5);
    EXPECT_EQ(Frame(60).held, 1);
    window->N31->trigger();
    window->N32->trigger();
    EXPECT_EQ(Frame(57).held, 1);
    EXPECT_EQ(Frame(63).held, 1);

    window->Sonlet->tbPlay->trigger();
    EXPECT_EQ(Frame(60).held, 2);
    window->N22->trigger();
    Press(Qt::Key_F8);
    for (std::int32_t note : {57, 60, 62, 63}) {
        EXPECT_EQ(Frame(note).held, 0) << note;
    }
    EXPECT_EQ(Frame(60).released, 2);
    EXPECT_EQ(Frame(62).released, 1);
    // Nothing left to stop: a second Stop changes nothing.
    window->Sonlet->mniStop->trigger();
    EXPECT_EQ(Frame(60).released, 2);
    // No piano voice came from any of this.
    EXPECT_EQ(Piano(60).held + Piano(60).released, 0);
}

TEST_F(MainWindowTest, TwoWheelNotchesMakeOneZoomStepAndOppositeNotchesCancel) {
    MakeWindow();
    window->Sonlet->ZoomIn();
    window->Sonlet->ZoomIn();
    ASSERT_DOUBLE_EQ(ZoomFactor, 4.0);
    Wheel(-120, 1);
    EXPECT_DOUBLE_EQ(ZoomFactor, 4.0);
    Wheel(-120, 2);
    EXPECT_DOUBLE_EQ(ZoomFactor, 2.0);
    EXPECT_EQ(window->WheelSteps, 0);

    Wheel(-120, 3);
    Wheel(120, 4);
    EXPECT_EQ(window->WheelSteps, 0);
    EXPECT_DOUBLE_EQ(ZoomFactor, 2.0);

    Wheel(120, 5);
    Wheel(120, 6);
    EXPECT_DOUBLE_EQ(ZoomFactor, 4.0);
    // A fine-grained wheel sends parts of a notch; they add up.
    Wheel(-60, 7);
    Wheel(-60, 8);
    Wheel(-120, 9);
    EXPECT_DOUBLE_EQ(ZoomFactor, 2.0);

    // Over a control the wheel zooms all the same and leaves the control's value alone.
    TfrSonlet& frame = *window->Sonlet;
    const int volume = frame.tbVolume->value();
    Wheel(120, 10, frame.tbVolume);
    Wheel(120, 11, frame.tbVolume);
    EXPECT_DOUBLE_EQ(ZoomFactor, 4.0);
    EXPECT_EQ(frame.tbVolume->value(), volume);
    EXPECT_EQ(frame.Sample()->Volume, volume);
    Wheel(120, 12, frame.udTransposeSample);
    Wheel(120, 13, frame.udTransposeSample);
    EXPECT_EQ(frame.Sample()->Transpose, 0);
}

TEST_F(MainWindowTest, ColorSchemesSetTheFramesColorsAndCheckOneItem) {
    MakeWindow();
    window->Blue1->trigger();
    EXPECT_EQ(window->ColorScheme, 2);
    EXPECT_EQ(window->Sonlet->BackgroundColor, QColor(0x41, 0x74, 0xAB));
    EXPECT_EQ(window->Sonlet->SelectionColor, QColor(0xA4, 0xBF, 0xDD));
    EXPECT_EQ(window->Sonlet->AccentColor, QColor(0xFF, 0xFF, 0x00));
    EXPECT_EQ(window->Sonlet->WaveColor, QColor(0xE0, 0xE0, 0xE0));
    EXPECT_TRUE(window->Blue1->isChecked());
    EXPECT_FALSE(window->White1->isChecked());
    window->White1->trigger();
    EXPECT_EQ(window->Sonlet->BackgroundColor, QColor(Qt::white));
    EXPECT_EQ(window->Sonlet->CenterLineColor, QColor(0xC0, 0xC0, 0xC0));
    EXPECT_FALSE(window->Blue1->isChecked());
}

TEST_F(MainWindowTest, SettingsFileBlackSchemeAndPlacementAreRestored) {
    WriteSettings("[Form]\nTop=40\nLeft=50\nWidth=900\nHeight=480\nColorScheme=1\n");
    MakeWindow();
    EXPECT_EQ(window->ColorScheme, 1);
    EXPECT_TRUE(window->Black1->isChecked());
    EXPECT_FALSE(window->White1->isChecked());
    EXPECT_EQ(window->Sonlet->BackgroundColor, QColor(Qt::black));
    EXPECT_EQ(window->Sonlet->SelectionColor, QColor(0x00, 0x00, 0x80));
    EXPECT_EQ(window->Sonlet->WaveColor, QColor(0x8F, 0xFF, 0x8F));
    EXPECT_TRUE(
        ProcessEventsUntil([&] { return window->frameGeometry().size() == QSize(900, 480); }));
    EXPECT_EQ(window->frameGeometry(), QRect(50, 40, 900, 480));
}

TEST_F(MainWindowTest, AbsurdSizesInTheSettingsFileAreCappedAndPositionKept) {
    WriteSettings("[Form]\nTop=-20000\nLeft=30000\nWidth=1000000000\nHeight=-7\n");
    MakeWindow();
    EXPECT_LE(window->width(), 4096);
    // Never so small that the property panel cuts off its values.
    EXPECT_GE(window->width(), 820);
    EXPECT_GE(window->height(), 400);
    EXPECT_EQ(window->frameGeometry().topLeft(), QPoint(30000, -20000));
    EXPECT_TRUE(reporter.Messages().empty());
}

TEST_F(MainWindowTest, UnknownSchemeNumberShowsWhiteAndIsWrittenBackAtClose) {
    WriteSettings("[Form]\nColorScheme=7\n");
    MakeWindow();
    EXPECT_EQ(window->ColorScheme, 7);
    EXPECT_TRUE(window->White1->isChecked());
    EXPECT_EQ(window->Sonlet->BackgroundColor, QColor(Qt::white));
    EXPECT_EQ(window->Sonlet->WaveColor, QColor(Qt::black));
    window->move(60, 70);
    ASSERT_TRUE(CloseCompletely());
    EXPECT_EQ(SettingsValue("ColorScheme"), 7);
    EXPECT_EQ(SettingsValue("Left"), 60);
    EXPECT_EQ(SettingsValue("Top"), 70);
    EXPECT_EQ(SettingsValue("Width"), 839);
    EXPECT_EQ(SettingsValue("Height"), 516);
}

// Ctrl keeps the frame under the mouse in its column while the two-notch rule still counts;
// Shift or a sideways wheel scrolls a zoomed view and never zooms.
TEST_F(MainWindowTest, CtrlWheelZoomsAboutTheMouseAndShiftOrSidewaysWheelScrolls) {
    MakeWindow();
    TfrSonlet& frame = *window->Sonlet;
    const QPointF at(600, 10);
    const std::int64_t under = frame.XToFrame(600);
    Wheel(120, 1, nullptr, Qt::ControlModifier, at);
    EXPECT_DOUBLE_EQ(ZoomFactor, 1.0);
    for (qulonglong t = 2; t < 5; ++t) {
        Wheel(120, t, nullptr, Qt::ControlModifier, at);
    }
    ASSERT_DOUBLE_EQ(ZoomFactor, 4.0);
    EXPECT_NEAR(static_cast<double>(frame.XToFrame(600)), static_cast<double>(under), 2.0);
    EXPECT_GT(frame.ScrollBar->value(), 0);

    const int position = frame.ScrollBar->value();
    Wheel(-120, 6, nullptr, Qt::ShiftModifier, at);
    Wheel(-120, 7, nullptr, Qt::ShiftModifier, at);
    EXPECT_GT(frame.ScrollBar->value(), position) << "Shift and the wheel down scroll on";
    Wheel(120, 8, nullptr, Qt::NoModifier, at, true);
    Wheel(120, 9, nullptr, Qt::NoModifier, at, true);
    EXPECT_EQ(frame.ScrollBar->value(), position);
    EXPECT_DOUBLE_EQ(ZoomFactor, 4.0);

    const int middle = frame.PaintBox1->width() / 2;
    const std::int64_t shown = frame.XToFrame(middle);
    Wheel(-120, 10, nullptr, Qt::ControlModifier, QPointF(middle, 10));
    Wheel(-120, 11, nullptr, Qt::ControlModifier, QPointF(middle, 10));
    EXPECT_DOUBLE_EQ(ZoomFactor, 2.0);
    EXPECT_NEAR(static_cast<double>(frame.XToFrame(middle)), static_cast<double>(shown), 2.0);
}

// View > Show peaks is on by default and kept in [View] across a restart.
TEST_F(MainWindowTest, ShowPeaksIsOnByDefaultAndKept) {
    MakeWindow();
    QAction* item = window->Sonlet->mniShowPeaks;
    EXPECT_TRUE(item->isChecked());
    EXPECT_TRUE(window->Sonlet->ShowPeaks);
    item->trigger();
    EXPECT_FALSE(window->Sonlet->ShowPeaks);
    ASSERT_TRUE(CloseCompletely());
    QSettings ini(QString::fromStdString(SettingsPath()), QSettings::IniFormat);
    EXPECT_EQ(ini.value("View/ShowPeaks").toInt(), 0);
    window.reset();
    MakeWindow();
    EXPECT_FALSE(window->Sonlet->mniShowPeaks->isChecked());
    EXPECT_FALSE(window->Sonlet->ShowPeaks);
}

// [Playback] LatencyMs reaches the output before it opens, held to 0..1000; a missing or
// unreadable value asks for the device's least.
TEST_F(MainWindowTest, LatencyFromTheSettingsIsAskedOfTheOutput) {
    const std::pair<const char*, std::int32_t> cases[] = {{"", 0},
                                                          {"LatencyMs=50\n", 50},
                                                          {"LatencyMs=-5\n", 0},
                                                          {"LatencyMs=99999\n", 1000},
                                                          {"LatencyMs=soon\n", 0}};
    for (const auto& [line, expected] : cases) {
        WriteSettings(std::string("[Playback]\n") + line);
        MakeWindow();
        EXPECT_EQ(ring->RequestedLatency(), expected) << line;
        ASSERT_TRUE(CloseCompletely());
        window.reset();
    }
}

// "Tracker playback" sets the mode of the notes started after it, each sounding voice keeping
// its own; the choice is kept in a section of its own, and an unreadable value means off.
TEST_F(MainWindowTest, TrackerPlaybackPlaysNewNotesInItsModeAndIsKeptAcrossARestart) {
    WriteSettings("[Form]\nColorScheme=0\n[Playback]\nTracker=yes\n");
    MakeWindow();
    QAction* item = window->Sonlet->mniTrackerPlayback;
    EXPECT_FALSE(item->isChecked());
    Focus(*window->Sonlet->Panel);
    Press(Qt::Key_Q);
    item->trigger();
    EXPECT_EQ(window->Player->Mode.load(), PlaybackMode::Tracker);
    Press(Qt::Key_W);
    const std::string report = window->Player->VoiceStatusText();
    const auto heldIn = [&](const std::string& mode) {
        std::size_t count = 0;
        for (std::size_t at = 0; (at = report.find("Status: 2", at)) != std::string::npos; ++at) {
            const std::size_t end = report.find("\r\n", at);
            count += report.substr(at, end - at).ends_with("Mode: " + mode) ? 1 : 0;
        }
        return count;
    };
    EXPECT_EQ(heldIn("standard"), 1u);
    EXPECT_EQ(heldIn("tracker"), 1u);
    Release(Qt::Key_Q);
    Release(Qt::Key_W);
    EXPECT_EQ(Piano(60).released + Piano(62).released, 2);

    ASSERT_TRUE(CloseCompletely());
    QSettings ini(QString::fromStdString(SettingsPath()), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Playback/Tracker").toInt(), 1);
    ini.beginGroup("Form");
    EXPECT_EQ(ini.childKeys().size(), 5);
    ini.endGroup();

    window.reset();
    MakeWindow();
    EXPECT_TRUE(window->Sonlet->mniTrackerPlayback->isChecked());
    EXPECT_EQ(window->Player->Mode.load(), PlaybackMode::Tracker);
}

TEST_F(MainWindowTest, FirstCloseIsRefusedAndTheNextTickEndsPlayerThenWindow) {
    MakeWindow();
    TWavePlayer* player = window->Player.get();
    window->close();
    EXPECT_TRUE(window->isVisible()) << "the first close request never closes";
    EXPECT_TRUE(window->Closing);
    EXPECT_TRUE(player->FreeOnExit.load());
    EXPECT_FALSE(std::filesystem::exists(SettingsPath())) << "nothing is saved yet";
    EXPECT_NE(window->Instrument.load(), nullptr);

    ASSERT_TRUE(ProcessEventsUntil([&] { return !window->isVisible(); }));
    EXPECT_EQ(window->Player, nullptr);
    EXPECT_EQ(window->Instrument.load(), nullptr) << "freed once the player thread ended";
    EXPECT_EQ(window->Sonlet->Instrument(), nullptr);
    EXPECT_TRUE(std::filesystem::exists(SettingsPath()));
    EXPECT_TRUE(reporter.Messages().empty());
}

TEST_F(MainWindowTest, CloseCompletesWhenThePlayerThreadDoesNotEndAndKeepsItsInstrument) {
    TestOutputRing inner;
    std::promise<void> destroyed;
    StuckRing* stuck = nullptr;
    window = std::make_unique<TfrmMain>([&] {
        auto made = std::make_unique<StuckRing>(inner, destroyed);
        stuck = made.get();
        return made;
    });
    window->show();
    TInstrument* inst = window->Instrument.load();
    ASSERT_TRUE(CloseCompletely()) << "the close must not hang on the player";
    EXPECT_TRUE(window->PlayerStillRunning());
    EXPECT_EQ(window->Instrument.load(), inst) << "the running player may still read it";
    EXPECT_TRUE(std::filesystem::exists(SettingsPath()));

    // Once let go, the player ends and destroys itself; then the instrument may go.
    stuck->LetGo();
    ASSERT_EQ(destroyed.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
    window.reset();
    delete inst;
}

TEST_F(MainWindowTest, DestroyingTheWindowUnderAStuckPlayerEndsTheProcessBeforeFreeingItsSlots) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            TestOutputRing inner;
            std::promise<void> destroyed;
            window = std::make_unique<TfrmMain>(
                [&] { return std::make_unique<StuckRing>(inner, destroyed); });
            window->show();
            window.reset(); // without the close handshake: the player cannot be ended
            std::fputs("the destructor returned\n", stderr);
            std::exit(3);
        },
        testing::ExitedWithCode(EXIT_SUCCESS), "");
}

TEST_F(MainWindowTest, FileExitGoesThroughTheSameHandshake) {
    MakeWindow();
    window->Sonlet->mniExit->trigger();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->Closing);
    EXPECT_TRUE(ProcessEventsUntil([&] { return !window->isVisible(); }));
}

TEST_F(MainWindowTest, UnwritableSettingsAreReportedAndTheCloseCompletes) {
    // A file where the settings folder should be: neither folder nor file can be made.
    std::ofstream(home.File("Sonlet")) << "in the way";
    MakeWindow();
    ASSERT_TRUE(CloseCompletely());
    ASSERT_EQ(reporter.Messages().size(), 1u);
    EXPECT_NE(reporter.Texts()[0].find("sonlet.ini"), std::string::npos);
}

TEST_F(MainWindowTest, DroppedFileOpensAsOpenWould) {
    MakeWindow();
    const std::string wav =
        home.Write("drop.wav", testkit::WavBuilder::Pcm(1, 22050, 16)
                                   .DataChunk(testkit::Le16Values({100, -100, 200, -200}))
                                   .Bytes());
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(wav))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    const TSample* sample = window->Sonlet->Sample();
    ASSERT_NE(sample, nullptr);
    EXPECT_EQ(sample->NumFrames, 4);
    EXPECT_EQ(sample->GetValue(2), 200);
    EXPECT_EQ(window->Sonlet->lbFormat->text().contains("16"), true);
}

} // namespace
} // namespace sonlet::uitest
