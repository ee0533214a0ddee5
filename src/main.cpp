#include "playback/SdlOutputRing.h"
#include "support/InfoSwitch.h"
#include "support/Report.h"
#include "support/platform/Display.h"
#include "support/platform/Installation.h"
#include "support/platform/TerminalReporter.h"
#include "support/widgets/About.h"
#include "support/widgets/Memo.h"
#include "support/widgets/MessageBoxReporter.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QStringList>
#include <cfenv>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

namespace {

constexpr std::string_view Usage =
    "Usage: sonlet [FILE]\n"
    "       sonlet /uninstall\n"
    "\n"
    "Edits one FastTracker 2 XI instrument at a time. FILE, a WAV or XI file, opens at start.\n"
    "/uninstall removes the installed program after asking.\n"
    "\n"
    "  -h, --help     print this text and exit\n"
    "      --version  print the version and exit\n";

} // namespace

int main(int argc, char** argv) {
    // Answered before anything else: no window, no installation bookkeeping.
    if (const auto status = sonlet::AnswerInfoSwitch(argc, argv, "sonlet", Usage, std::cout)) {
        return *status;
    }

    // Floating-point faults give infinities and NaNs, never traps, for the whole process.
    std::fenv_t startEnvironment;
    std::feholdexcept(&startEnvironment);

    // The installation bookkeeping and the uninstall switch run after the floating-point
    // set-up and before the GUI exists. They may end the program.
    // The switch is read before the toolkit takes its own options out of the arguments.
    const bool uninstall = sonlet::HasUninstallSwitch(argc, argv);
    // Without a display the toolkit would end the process; the uninstall then asks on the
    // terminal, and with no terminal either it ends before anything is changed.
    const bool uninstallOnTerminal = uninstall && !sonlet::HasDisplay();
    if (uninstallOnTerminal && !sonlet::StandardInputIsTerminal()) {
        std::fputs("sonlet: /uninstall needs a display or a terminal to ask whether to remove "
                   "Sonlet; nothing was changed\n",
                   stderr);
        return 2;
    }
    sonlet::RegisterInstallation();
    if (uninstallOnTerminal) {
        sonlet::TerminalReporter terminal(stdin, stdout, stderr);
        sonlet::ScopedReporter reportOnTerminal(terminal);
        // A file manager started from here would find no display either: name the folder.
        return sonlet::RunUninstallCommand({.openFolder = [](const std::string& folder) {
            std::printf("The program folder is %s\n", folder.c_str());
        }});
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName("Tulvo Sonlet");
    QApplication::setDesktopFileName("com.tulvo.Sonlet");
    QApplication::setWindowIcon(sonlet::ProgramIcon());

    sonlet::MessageBoxReporter reporter;
    sonlet::ScopedReporter reportInBoxes(reporter);

    // "/uninstall" asks and uninstalls in message boxes only, then ends without a window.
    if (uninstall) {
        return sonlet::RunUninstallCommand();
    }

    sonlet::TfrmMain mainWindow([] { return std::make_unique<sonlet::SdlOutputRing>(); });
    if (!mainWindow.HasPlayer()) {
        return 1;
    }
    sonlet::TfrmMemo traceWindow;
    sonlet::TAboutBox aboutBox(&mainWindow);
    mainWindow.SetAboutBox(&aboutBox);
    mainWindow.show();

    // "sonlet FILE" opens the file as File > Open would.
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1) {
        mainWindow.OpenFile(arguments.at(1));
    }
    const int status = QApplication::exec();
    if (mainWindow.PlayerStillRunning()) {
        // A player thread that did not end (stuck in a message box, say) still reads the
        // window's slots: end at once instead of freeing them under it.
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
