#pragma once

#include "support/platform/Folders.h"
#include "support/platform/Registry.h"
#include "support/platform/RunOnce.h"
#include "support/platform/Shell.h"

#include <functional>
#include <string>
#include <string_view>

namespace sonlet {

inline constexpr std::string_view UninstallKeyPath =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Sonlet";
inline constexpr std::string_view InstallListName = "install.txt";

// The folder the developers build in; a program file inside it is never registered.
std::string DeveloperBuildFolder();

// What the installation bookkeeping works on. The defaults are those of the running program.
struct InstallContext {
    Registry& registry = SystemRegistry();
    std::string programFile = ProgramFilePath();
    std::string buildFolder = DeveloperBuildFolder();
    FileRemover& files = SystemFileRemover();
    RunOnceHost& runOnce = SystemRunOnce();
    // Shows the program folder when the uninstall cannot find its list.
    std::function<void(const std::string&)> openFolder = [](const std::string& folder) {
        RunDocument(folder);
    };
};

// Enters the program in the list of installed programs unless it runs from the build folder
// or is entered already; a program entered anew cancels the deletions a former uninstall
// left for the next login. Never fails: the editor must start whatever the registry says.
void RegisterInstallation(const InstallContext& context = {});

enum class UninstallResult {
    // Removed, or left to the run-once values; the entry is gone.
    Complete,
    // No install list: the program folder was shown, nothing else changed.
    ListMissing,
    // Some deletions were refused for lack of rights: the entry stays, nothing is scheduled,
    // and the error named them and how to run the uninstall with the rights.
    NotPermitted,
};

// Removes the shortcuts and the files of "install.txt" in the program folder, leaves what
// resists (the program file itself above all) to the run-once values and removes the entry.
// Lines that lead out of the install prefix, or through a link to a folder, are skipped.
// Ends with a message box. Throws RegistryError when a run-once value cannot be written.
UninstallResult Uninstall(const InstallContext& context = {});

// The start, before the GUI: HasUninstallSwitch on the arguments as given; with the switch and
// no display, a terminal to ask on is needed, else the program ends at once, changing nothing.
// Then RegisterInstallation; with the switch, RunUninstallCommand (in message boxes, or on the
// terminal), and the end.

// True when the first argument, in any case, is "/uninstall".
bool HasUninstallSwitch(int argc, const char* const* argv);

// The "/uninstall" command: asks "Are you sure to remove Sonlet?" and uninstalls on Yes.
// Returns the program's exit code: 1 when a run-once value could not be written or the rights
// were missing (the error has been shown), else 0.
int RunUninstallCommand(const InstallContext& context = {});

} // namespace sonlet
