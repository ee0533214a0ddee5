#include "support/platform/RunOnce.h"

#include "support/platform/Shell.h"

#ifndef _WIN32
#include "support/Text.h"
#include "support/platform/ShellFolders.h"
#include "support/platform/TextFile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>
#endif

namespace sonlet {

std::string DeleteCommand(const std::string& path) {
    return std::string(DeleteCommandPrefix) + ShortPathName(path);
}

#ifdef _WIN32

RunOnceHost& SystemRunOnce() {
    static RunOnceHost system;
    return system;
}

#else

namespace fs = std::filesystem;

namespace {

constexpr std::string_view ExecutorName = "sonlet-runonce";

// One Exec argument: quoted, with the characters the desktop-entry format reserves escaped
// (first for the quoting, then for the string value). Empty when the path cannot be written
// there (a control character).
std::string ExecArgument(std::string_view path) {
    std::string quoted = "\"";
    for (const char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            return {};
        }
        if (c == '"' || c == '`' || c == '$') {
            quoted += "\\\\";
        } else if (c == '\\') {
            quoted += "\\\\\\";
        } else if (c == '%') {
            quoted += '%';
        }
        quoted += c;
    }
    return quoted + "\"";
}

} // namespace

RunOncePaths UserRunOncePaths(const std::string& programFile) {
    RunOncePaths paths;
    const std::string programFolder = FolderPart(programFile);
    if (!programFolder.empty()) {
        // Appended rather than joined with +: GCC 12 warns falsely about that form here.
        paths.installedExecutor = programFolder;
        paths.installedExecutor += ExecutorName;
    }
    if (const std::string data = UserDataFolder(); !data.empty()) {
        paths.stagedExecutor = JoinPath(JoinPath(data, "sonlet"), ExecutorName);
    }
    if (const std::string config = UserConfigFolder(); !config.empty()) {
        paths.autostartEntry = JoinPath(JoinPath(config, "autostart"), "sonlet-runonce.desktop");
    }
    return paths;
}

void AutostartRunOnce::Prepare() {
    if (paths_.installedExecutor.empty() || paths_.stagedExecutor.empty()) {
        return;
    }
    // Copy beside the target and rename: an older copy may be running right now.
    std::error_code ec;
    const fs::path staged(paths_.stagedExecutor);
    const fs::path temporary(paths_.stagedExecutor + ".new");
    fs::create_directories(staged.parent_path(), ec);
    if (!fs::copy_file(paths_.installedExecutor, temporary, fs::copy_options::overwrite_existing,
                       ec)) {
        return;
    }
    fs::permissions(temporary,
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                        fs::perms::others_read | fs::perms::others_exec,
                    ec);
    fs::rename(temporary, staged, ec);
    if (ec) {
        fs::remove(temporary, ec);
    }
}

void AutostartRunOnce::Update(bool pending) {
    if (paths_.autostartEntry.empty()) {
        return;
    }
    if (!pending) {
        std::remove(paths_.autostartEntry.c_str());
        if (!paths_.stagedExecutor.empty()) {
            std::remove(paths_.stagedExecutor.c_str());
        }
        return;
    }
    const std::string& executor =
        FileExists(paths_.stagedExecutor) ? paths_.stagedExecutor : paths_.installedExecutor;
    const std::string exec = ExecArgument(executor);
    if (executor.empty() || exec.empty()) {
        return;
    }
    ReplaceFile(paths_.autostartEntry, "[Desktop Entry]\n"
                                       "Type=Application\n"
                                       "Name=Sonlet clean-up\n"
                                       "Comment=Deletes what the Sonlet uninstall left\n"
                                       "Exec=" +
                                           exec +
                                           "\n"
                                           "Terminal=false\n"
                                           "NoDisplay=true\n");
}

RunOnceHost& SystemRunOnce() {
    static AutostartRunOnce host(UserRunOncePaths(ProgramFilePath()));
    return host;
}

namespace {

// The executor runs from the login session, whose log keeps its standard error: every
// deletion that fails is told there, since nobody watches for it otherwise.
void TellFailure(const std::string& path, const FileRemover& remover) {
    std::fprintf(stderr, "sonlet-runonce: cannot delete %s: %s\n", path.c_str(),
                 ErrorText(remover.LastError()).c_str());
}

} // namespace

std::size_t RunPendingCommands(Registry& registry, const RunOncePaths& paths,
                               FileRemover& remover) {
    std::size_t left = 0;
    if (auto key = registry.OpenKey(RegistryRoot::LocalMachine, RunOnceKeyPath)) {
        struct Pending {
            std::string name;
            std::string folder;
        };
        std::vector<Pending> folders;
        for (const std::string& name : key->ValueNames()) {
            const std::string command = key->ReadString(name).value_or(std::string());
            if (StartsWithText(DeleteCommandPrefix, command)) {
                const std::string target = command.substr(DeleteCommandPrefix.size());
                if (FolderExists(target)) {
                    folders.push_back({name, StripTrailingSlash(target)});
                    continue;
                }
                if (FileExists(target) && !remover.RemoveFile(target)) {
                    TellFailure(target, remover);
                }
            } else {
                std::fprintf(stderr, "sonlet-runonce: not run: %s\n", command.c_str());
            }
            key->DeleteValue(name);
        }
        // Deeper folders first, so a parent is empty by the time its turn comes.
        std::stable_sort(folders.begin(), folders.end(), [](const Pending& a, const Pending& b) {
            return a.folder.size() > b.folder.size();
        });
        for (const Pending& folder : folders) {
            if (!remover.RemoveFolder(folder.folder)) {
                TellFailure(folder.folder, remover);
            }
            key->DeleteValue(folder.name);
        }
        left = key->ValueNames().size();
    }
    if (left == 0) {
        AutostartRunOnce(paths).Update(false);
    }
    return left;
}

#endif

} // namespace sonlet
