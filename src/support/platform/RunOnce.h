#pragma once

#include "support/platform/Folders.h"
#include "support/platform/Registry.h"

#include <string>
#include <string_view>

namespace sonlet {

// Run-once values delete one path with the command line of the old Windows shell:
// "command.com /c del " followed by the short form of the path.
inline constexpr std::string_view DeleteCommandPrefix = "command.com /c del ";
std::string DeleteCommand(const std::string& path);

// How run-once values get carried out at the next login. Windows does it by itself; elsewhere
// a small executor installed with the program is registered to start at the next login.
class RunOnceHost {
public:
    virtual ~RunOnceHost() = default;
    // Called before the uninstall deletes the program's files, while the executor is in place.
    virtual void Prepare() {}
    // Called after the run-once values changed; pending tells whether any are left.
    virtual void Update([[maybe_unused]] bool pending) {}
};

// The host for the running program: the system on Windows, the autostart executor elsewhere.
RunOnceHost& SystemRunOnce();

#ifndef _WIN32

// Where the executor and its login entry live.
struct RunOncePaths {
    // The executor as installed with the program (deleted with the program's files).
    std::string installedExecutor;
    // Its copy in the user's data folder, which outlives the uninstall and deletes itself.
    std::string stagedExecutor;
    // The XDG autostart entry that starts the copy at the next login.
    std::string autostartEntry;
};

// stagedExecutor is $XDG_DATA_HOME/sonlet/sonlet-runonce, autostartEntry
// $XDG_CONFIG_HOME/autostart/sonlet-runonce.desktop; installedExecutor lies beside the program
// file (empty for an empty programFile).
RunOncePaths UserRunOncePaths(const std::string& programFile);

// Prepare copies the installed executor to its staged place; Update writes the autostart
// entry while values are pending and removes it and the staged copy when none are.
class AutostartRunOnce final : public RunOnceHost {
public:
    explicit AutostartRunOnce(RunOncePaths paths) : paths_(std::move(paths)) {}
    void Prepare() override;
    void Update(bool pending) override;

    const RunOncePaths& Paths() const { return paths_; }

private:
    RunOncePaths paths_;
};

// The executor's work: carries out every run-once value of the "command.com /c del PATH"
// form (files first, then folders, deepest first, each removed when empty) and removes each
// value after running it; a deletion that fails is told on standard error and not tried again.
// Any other value is removed without being run: nothing is ever handed to a shell. When no value is
// left, the autostart entry and the staged executor go. Returns the number of values left (added by
// someone else meanwhile).
std::size_t RunPendingCommands(Registry& registry, const RunOncePaths& paths,
                               FileRemover& remover = SystemFileRemover());

#endif

} // namespace sonlet
