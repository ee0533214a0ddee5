// The main window's settings file (placement and colour scheme) and the colour schemes it
// restores.
#include "support/Report.h"
#include "ui/Frame.h"
#include "ui/MainWindow.h"

#include <QAction>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <algorithm>

namespace sonlet {

namespace {

constexpr std::chrono::milliseconds FrameSettleDelay{250};
// Longer wishes get the output's longest period anyway.
constexpr int MaxLatencyMs = 1000;

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

} // namespace

QString TfrmMain::SettingsFile() const {
    return QFile::decodeName(QByteArray::fromStdString(DataFolder)) + "sonlet.ini";
}

void TfrmMain::LoadSettings() {
    Sonlet->SettingsPath = SettingsFile();
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
    // A missing or unreadable value leaves tracker playback off.
    Sonlet->SetTrackerPlayback(ini.value("Playback/Tracker").toString() == "1");
    // Taken when the output opens; a missing or unreadable value asks for the least latency.
    LatencyMs = std::clamp(ini.value("Playback/LatencyMs", 0).toInt(), 0, MaxLatencyMs);
    // The undo history's memory; a value that is no number of megabytes keeps the default.
    bool number = false;
    const qlonglong undoMegabytes = ini.value("Edit/UndoMemoryMB").toLongLong(&number);
    if (number && undoMegabytes >= 0) {
        Sonlet->History.SetBudget(
            static_cast<std::size_t>(std::min<qlonglong>(undoMegabytes, 1 << 24)) << 20);
    }
    // Peaks are shown unless the file says 0.
    Sonlet->SetShowPeaks(ini.value("View/ShowPeaks").toString() != "0");
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
    ini.setValue("Playback/Tracker", Sonlet->mniTrackerPlayback->isChecked() ? 1 : 0);
    ini.setValue("Playback/LatencyMs", LatencyMs);
    ini.setValue("View/ShowPeaks", Sonlet->ShowPeaks ? 1 : 0);
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

} // namespace sonlet
