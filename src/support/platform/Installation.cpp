#include "support/platform/Installation.h"

#include "support/Report.h"
#include "support/Text.h"
#include "support/platform/ShellFolders.h"
#include "support/platform/TextFile.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace sonlet {

namespace {

constexpr std::string_view DeleteProgramValue = "Delete Sonlet";
constexpr std::string_view DeleteFileValue = "Delete Sonlet file ";

// An install list holds one line per installed file; anything larger is not one.
constexpr std::int64_t MaxInstallListSize = 16 * 1024 * 1024;

std::size_t LastSeparator(std::string_view path) {
#ifdef _WIN32
    return path.find_last_of("/\\");
#else
    return path.rfind('/');
#endif
}

std::string BareFileName(const std::string& path) {
    const std::size_t slash = LastSeparator(path);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsInsideFolder(const std::string& path, const std::string& folder) {
    return !folder.empty() && StartsWithText(JoinPath(StripTrailingSlash(folder), ""), path);
}

bool NamesFolder(std::string_view line) {
    return EndsWithText("\\", line) || EndsWithText("/", line);
}

// The lines of the list, without line ends and blank lines; nullopt when it cannot be read.
std::optional<std::vector<std::string>> ReadInstallList(const std::string& path) {
    const FileText list = ReadWholeFile(path, MaxInstallListSize);
    if (list.status != FileText::Status::Read) {
        return std::nullopt;
    }
    std::vector<std::string> lines;
    for (const std::string_view line : SplitLines(list.text)) {
        if (!line.empty()) {
            lines.emplace_back(line);
        }
    }
    return lines;
}

// The shortcut files in folder: the Windows link; elsewhere the desktop entries, by the short
// name and by the program's application id.
void RemoveShortcuts(FileRemover& files, const std::string& folder) {
    files.RemoveFile(JoinPath(folder, "Sonlet.lnk"));
#ifndef _WIN32
    files.RemoveFile(JoinPath(folder, "sonlet.desktop"));
    files.RemoveFile(JoinPath(folder, "com.tulvo.Sonlet.desktop"));
#endif
}

// Cancels the deletions of an earlier uninstall: "Delete Sonlet", then the numbered values up
// to the first gap.
void CancelPendingDeletions(const InstallContext& context) {
    auto key = context.registry.OpenKey(RegistryRoot::LocalMachine, RunOnceKeyPath);
    if (!key || !key->ValueExists(DeleteProgramValue)) {
        return;
    }
    key->DeleteValue(DeleteProgramValue);
    for (int n = 0; key->DeleteValue(std::string(DeleteFileValue) + std::to_string(n)); ++n) {
    }
    context.runOnce.Update(!key->ValueNames().empty());
}

// The install list's entries that stay behind, in the list's own form.
std::vector<std::string> DeleteListedFiles(const InstallContext& context,
                                           const std::string& programFolder,
                                           const std::vector<std::string>& lines) {
    std::vector<std::string> leftOver;
    const std::string programName = LowerCase(BareFileName(context.programFile));
    for (const std::string& line : lines) {
        if (NamesFolder(line) || LowerCase(line) == programName) {
            continue;
        }
        const std::string path = programFolder + line;
        if (FileExists(path) && !context.files.RemoveFile(path)) {
            leftOver.push_back(line);
        }
    }
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        if (!NamesFolder(*it)) {
            continue;
        }
        // A folder that is gone already is not left over; one that still holds entries stays.
        const std::string folder = programFolder + StripTrailingSlash(*it);
        if (FolderExists(folder) && IsFolderEmpty(folder) && !context.files.RemoveFolder(folder)) {
            leftOver.push_back(*it);
        }
    }
    std::stable_sort(
        leftOver.begin(), leftOver.end(),
        [](const std::string& a, const std::string& b) { return LowerCase(a) < LowerCase(b); });
    return leftOver;
}

void ScheduleDeletions(const InstallContext& context, const std::string& programFolder,
                       const std::vector<std::string>& leftOver) {
    auto key = context.registry.OpenKey(RegistryRoot::LocalMachine, RunOnceKeyPath);
    if (!key) {
        throw RegistryError(FailedToSetDataMessage(DeleteProgramValue));
    }
    try {
        key->WriteString(DeleteProgramValue, DeleteCommand(context.programFile));
        for (std::size_t n = 0; n < leftOver.size(); ++n) {
            key->WriteString(std::string(DeleteFileValue) + std::to_string(n),
                             DeleteCommand(programFolder + leftOver[n]));
        }
    } catch (const RegistryError&) {
        context.runOnce.Update(!key->ValueNames().empty());
        throw;
    }
    context.runOnce.Update(true);
}

} // namespace

std::string DeveloperBuildFolder() { return SONLET_BUILD_FOLDER; }

void RegisterInstallation(const InstallContext& context) {
    if (context.programFile.empty() || IsInsideFolder(context.programFile, context.buildFolder)) {
        return;
    }
    if (context.registry.OpenKey(RegistryRoot::LocalMachine, UninstallKeyPath)) {
        return;
    }
    try {
        if (auto key = context.registry.CreateKey(RegistryRoot::LocalMachine, UninstallKeyPath)) {
            key->WriteString("DisplayName", "Sonlet");
            key->WriteString("UninstallString", context.programFile + " /uninstall");
        }
    } catch (const RegistryError&) {
        // An entry that cannot be written is written at the next start.
    }
    CancelPendingDeletions(context);
}

void Uninstall(const InstallContext& context) {
    if (const std::string desktop = GetShellFolder("Desktop"); !desktop.empty()) {
        RemoveShortcuts(context.files, desktop);
    }
    // An unknown folder stays empty: joined names would then point into the root folder.
    if (const std::string programs = GetShellFolder("Programs"); !programs.empty()) {
        const std::string menuFolder = JoinPath(programs, "Sonlet");
        try {
            DeleteFolderTree(menuFolder, context.files);
        } catch (const FolderDeleteError&) {
            // A missing or half-deleted menu folder does not stop the uninstall.
        }
        context.files.RemoveFolder(menuFolder);
        RemoveShortcuts(context.files, programs);
    }

    const std::string programFolder = FolderPart(context.programFile);
    const auto lines = programFolder.empty()
                           ? std::nullopt
                           : ReadInstallList(programFolder + std::string(InstallListName));
    if (!lines) {
        ShowMessage("Can't find install.txt\r\n\r\nYou need to delete the files manually");
        if (!programFolder.empty() && context.openFolder) {
            context.openFolder(programFolder);
        }
        return;
    }
    context.runOnce.Prepare();
    const std::vector<std::string> leftOver = DeleteListedFiles(context, programFolder, *lines);
    ScheduleDeletions(context, programFolder, leftOver);
    context.registry.DeleteKey(RegistryRoot::LocalMachine, UninstallKeyPath);
    ShowMessage("Uninstall complete.");
}

bool HasUninstallSwitch(int argc, const char* const* argv) {
    return argc > 1 && argv[1] != nullptr && LowerCase(argv[1]) == "/uninstall";
}

int RunUninstallCommand(const InstallContext& context) {
    if (!Confirm("Are you sure to remove Sonlet?")) {
        return 0;
    }
    try {
        Uninstall(context);
    } catch (const RegistryError& error) {
        ShowError(error.what());
        return 1;
    }
    return 0;
}

} // namespace sonlet
