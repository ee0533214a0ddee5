#include "support/platform/Installation.h"

#include "support/NativePath.h"
#include "support/Report.h"
#include "support/Text.h"
#include "support/platform/ShellFolders.h"
#include "support/platform/TextFile.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <vector>

namespace sonlet {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view DeleteProgramValue = "Delete Sonlet";
constexpr std::string_view DeleteFileValue = "Delete Sonlet file ";

// An install list holds one line per installed file; anything larger is not one.
constexpr std::int64_t MaxInstallListSize = 16 * 1024 * 1024;

bool IsSeparator(char c) {
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

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

// One line of the install list and the path it names, "." and ".." resolved.
struct ListedPath {
    std::string line;
    std::string path;
    bool isFolder = false;
};

// The install prefix with a final separator: nothing outside it is ours to delete.
std::string InstallTree(const std::string& programFolder) {
    std::string tree =
        PathBytes(NativePath(programFolder + SONLET_PREFIX_FROM_PROGRAM).lexically_normal());
    if (tree.empty() || !IsSeparator(tree.back())) {
        tree += PathSeparator;
    }
    return tree;
}

// True when a folder on the way from tree down to path (path itself not included) is a
// symbolic link: the path would then lead wherever the link points.
bool PassesThroughLink(const std::string& tree, const std::string& path) {
    for (std::size_t at = tree.size(); at < path.size(); ++at) {
        if (IsSeparator(path[at]) && IsLink(path.substr(0, at))) {
            return true;
        }
    }
    return false;
}

// The lines that name a path inside the install tree; the others are dropped, so that a
// damaged or tampered list cannot reach files of anybody else.
std::vector<ListedPath> ResolveList(const std::string& programFolder,
                                    const std::vector<std::string>& lines) {
    const std::string tree = InstallTree(programFolder);
    std::vector<ListedPath> listed;
    for (const std::string& line : lines) {
        const bool isFolder = NamesFolder(line);
        std::string path =
            PathBytes(NativePath(programFolder + (isFolder ? StripTrailingSlash(line) : line))
                          .lexically_normal());
        while (path.size() > 1 && IsSeparator(path.back())) {
            path.pop_back();
        }
        if (path.size() <= tree.size() || !path.starts_with(tree) ||
            PassesThroughLink(tree, path)) {
            continue;
        }
        listed.push_back({line, std::move(path), isFolder});
    }
    return listed;
}

// True when the folder's one entry is the program file, whose deletion the run-once values
// take care of.
bool HoldsOnlyProgram(const std::string& folder, const std::string& programFile) {
    std::error_code ec;
    fs::directory_iterator it(NativePath(folder), ec);
    if (ec || it == fs::directory_iterator()) {
        return false;
    }
    const bool isProgram =
        it->path().lexically_normal() == NativePath(programFile).lexically_normal();
    return isProgram && it.increment(ec) == fs::directory_iterator() && !ec;
}

// What the deletions of the install list left behind.
struct Remains {
    // Left to the run-once values, in the order of their numbers.
    std::vector<ListedPath> leftOver;
    // Refused for lack of rights: a later run as the same user would fail again.
    std::vector<std::string> denied;
};

// Deletes the listed files, then the listed folders last to first. The list itself goes after
// the other files, and only when none was refused: a run with the rights needs it again.
Remains DeleteListedFiles(const InstallContext& context, const std::string& programFolder,
                          const std::vector<std::string>& lines) {
    Remains remains;
    const std::vector<ListedPath> listed = ResolveList(programFolder, lines);
    const std::string programName = LowerCase(BareFileName(context.programFile));
    const std::string programPath = PathBytes(NativePath(context.programFile).lexically_normal());
    const std::string listPath =
        PathBytes(NativePath(programFolder + std::string(InstallListName)).lexically_normal());
    const auto failed = [&](const ListedPath& entry) {
        if (IsDeniedError(context.files.LastError())) {
            remains.denied.push_back(entry.path);
        } else {
            remains.leftOver.push_back(entry);
        }
    };
    const auto deleteFile = [&](const ListedPath& entry) {
        if (FileExists(entry.path) && !context.files.RemoveFile(entry.path)) {
            failed(entry);
        }
    };
    std::optional<ListedPath> list;
    for (const ListedPath& entry : listed) {
        if (entry.isFolder || LowerCase(entry.line) == programName || entry.path == programPath) {
            continue;
        }
        if (entry.path == listPath) {
            list = entry;
            continue;
        }
        deleteFile(entry);
    }
    if (list && remains.denied.empty()) {
        deleteFile(*list);
    }
    for (auto it = listed.rbegin(); it != listed.rend(); ++it) {
        if (!it->isFolder || !FolderExists(it->path)) {
            continue;
        }
        // A folder that still holds entries stays, unless only the program keeps it: then it
        // goes at the next login, right after the program.
        if (HoldsOnlyProgram(it->path, context.programFile)) {
            remains.leftOver.push_back(*it);
        } else if (IsFolderEmpty(it->path) && !context.files.RemoveFolder(it->path)) {
            failed(*it);
        }
    }
    std::stable_sort(remains.leftOver.begin(), remains.leftOver.end(),
                     [](const ListedPath& a, const ListedPath& b) {
                         return LowerCase(a.line) < LowerCase(b.line);
                     });
    return remains;
}

// The error of an uninstall refused for lack of rights: the first few paths, then a count,
// and how to run it with the rights.
std::string DeniedMessage(const InstallContext& context, const std::string& programFolder,
                          const std::vector<std::string>& denied) {
    constexpr std::size_t Shown = 5;
    std::string text = "Sonlet was not removed. You may not delete these files and folders:\r\n";
    for (std::size_t i = 0; i < denied.size() && i < Shown; ++i) {
        text += "    " + denied[i] + "\r\n";
    }
    if (denied.size() > Shown) {
        text += "    and " + std::to_string(denied.size() - Shown) + " more\r\n";
    }
    text += "\r\nThe uninstall must be run by a user who may change " + InstallTree(programFolder) +
            ", for example:\r\n    sudo " + context.programFile + " /uninstall";
    return text;
}

void ScheduleDeletions(const InstallContext& context, const std::vector<ListedPath>& leftOver) {
    auto key = context.registry.OpenKey(RegistryRoot::LocalMachine, RunOnceKeyPath);
    if (!key) {
        throw RegistryError(FailedToSetDataMessage(DeleteProgramValue));
    }
    try {
        key->WriteString(DeleteProgramValue, DeleteCommand(context.programFile));
        for (std::size_t n = 0; n < leftOver.size(); ++n) {
            key->WriteString(std::string(DeleteFileValue) + std::to_string(n),
                             DeleteCommand(leftOver[n].path + (leftOver[n].isFolder
                                                                   ? std::string(1, PathSeparator)
                                                                   : std::string())));
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

UninstallResult Uninstall(const InstallContext& context) {
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
        return UninstallResult::ListMissing;
    }
    context.runOnce.Prepare();
    const Remains remains = DeleteListedFiles(context, programFolder, *lines);
    if (!remains.denied.empty()) {
        // Nothing is scheduled and the entry stays: the uninstall is to be run again.
        auto key = context.registry.OpenKey(RegistryRoot::LocalMachine, RunOnceKeyPath);
        context.runOnce.Update(key && !key->ValueNames().empty());
        ShowError(DeniedMessage(context, programFolder, remains.denied), MessageIcon::Error);
        return UninstallResult::NotPermitted;
    }
    ScheduleDeletions(context, remains.leftOver);
    context.registry.DeleteKey(RegistryRoot::LocalMachine, UninstallKeyPath);
    ShowMessage("Uninstall complete.");
    return UninstallResult::Complete;
}

bool HasUninstallSwitch(int argc, const char* const* argv) {
    return argc > 1 && argv[1] != nullptr && LowerCase(argv[1]) == "/uninstall";
}

int RunUninstallCommand(const InstallContext& context) {
    if (!Confirm("Are you sure to remove Sonlet?")) {
        return 0;
    }
    try {
        return Uninstall(context) == UninstallResult::NotPermitted ? 1 : 0;
    } catch (const RegistryError& error) {
        ShowError(error.what());
        return 1;
    }
}

} // namespace sonlet
