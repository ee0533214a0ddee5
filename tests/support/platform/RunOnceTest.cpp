#include "support/platform/RunOnce.h"

#include "CapturingReporter.h"
#include "PlatformTestKit.h"
#include "support/platform/Installation.h"
#include "support/platform/TextRegistry.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace sonlet {
namespace {

using testkit::Exists;
using testkit::TempDir;
using testkit::Touch;

constexpr RegistryRoot Machine = RegistryRoot::LocalMachine;

std::string ReadText(const std::string& path) {
    const auto bytes = testkit::ReadAll(path);
    return {bytes.begin(), bytes.end()};
}

class RunOnce : public ::testing::Test {
protected:
    std::unique_ptr<RegistryKey> RunOnceKey() { return store.OpenKey(Machine, RunOnceKeyPath); }

    testkit::TemporaryHome home;
    TempDir work;
    TextRegistry store = MakeUserRegistry(DefaultRegistryFolder());
    RunOncePaths paths = UserRunOncePaths(work.File("bin/sonlet"));
};

TEST_F(RunOnce, PathsLieInTheUsersFoldersAndBesideTheProgram) {
    EXPECT_EQ(DefaultRegistryFolder(), home.Data() + "/sonlet/registry");
    EXPECT_EQ(paths.stagedExecutor, home.Data() + "/sonlet/sonlet-runonce");
    EXPECT_EQ(paths.autostartEntry, home.Config() + "/autostart/sonlet-runonce.desktop");
    EXPECT_TRUE(paths.installedExecutor.starts_with(work.File("bin/")));
    EXPECT_TRUE(paths.installedExecutor.ends_with("/sonlet-runonce"));
}

TEST_F(RunOnce, TheExecutorDeletesWhatTheValuesNameAndNothingElseRuns) {
    const std::string spaced = work.File("my files/with spaces.dat");
    const std::string quoted = work.File("it's \"quoted\" $HOME; rm -rf x.dat");
    const std::string folder = work.File("my files/sub/");
    const std::string inFolder = folder + "inner.dat";
    const std::string canary = work.File("canary");
    for (const std::string& path : {spaced, quoted, inFolder}) {
        Touch(path);
    }
    auto key = RunOnceKey();
    key->WriteString("Delete Sonlet", DeleteCommand(spaced));
    // The folder's value comes before the file in it; files still go first.
    key->WriteString("Delete Sonlet file 0", DeleteCommand(folder));
    key->WriteString("Delete Sonlet file 1", DeleteCommand(inFolder));
    key->WriteString("Delete Sonlet file 2", "COMMAND.COM /C DEL " + quoted);
    key->WriteString("Foreign", "touch " + canary);
    Touch(paths.autostartEntry);
    Touch(paths.stagedExecutor);

    EXPECT_EQ(RunPendingCommands(store, paths), 0U);
    EXPECT_FALSE(Exists(spaced));
    EXPECT_FALSE(Exists(quoted));
    EXPECT_FALSE(Exists(folder));
    EXPECT_TRUE(Exists(work.File("my files")));
    EXPECT_FALSE(Exists(canary));
    EXPECT_TRUE(RunOnceKey()->ValueNames().empty());
    EXPECT_FALSE(Exists(paths.autostartEntry));
    EXPECT_FALSE(Exists(paths.stagedExecutor));
}

TEST_F(RunOnce, AFailedDeletionIsNotTriedAgain) {
    const std::string locked = work.File("locked.dat");
    Touch(locked);
    RunOnceKey()->WriteString("Delete Sonlet", DeleteCommand(locked));
    testkit::LockingRemover remover;
    remover.Deny(locked);
    // Nobody watches the executor at login: what it could not do goes to the session's log.
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(RunPendingCommands(store, paths, remover), 0U);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "sonlet-runonce: cannot delete " + locked + ": " + ErrorText(EACCES) + "\n");
    EXPECT_TRUE(Exists(locked));
    EXPECT_TRUE(RunOnceKey()->ValueNames().empty());
}

TEST_F(RunOnce, TheLoginEntryStartsTheStagedCopyWhileValuesArePending) {
    home.Set("XDG_DATA_HOME", home.Home() + "/da ta\\\"$%");
    paths = UserRunOncePaths(work.File("bin/sonlet"));
    Touch(paths.installedExecutor, "#!executor");
    AutostartRunOnce host(paths);
    host.Prepare();
    ASSERT_EQ(ReadText(paths.stagedExecutor), "#!executor");
    EXPECT_NE(std::filesystem::status(paths.stagedExecutor).permissions() &
                  std::filesystem::perms::owner_exec,
              std::filesystem::perms::none);

    host.Update(true);
    const std::string entry = ReadText(paths.autostartEntry);
    EXPECT_TRUE(entry.starts_with("[Desktop Entry]\n")) << entry;
    // Desktop-entry quoting: \" \\ \$ inside the quotes, every backslash doubled once more,
    // and % doubled.
    EXPECT_NE(entry.find("\nExec=\"" + home.Home() +
                         "/da ta\\\\\\\\\\\\\"\\\\$%%/sonlet/sonlet-runonce\"\n"),
              std::string::npos)
        << entry;
    host.Update(false);
    EXPECT_FALSE(Exists(paths.autostartEntry));
    EXPECT_FALSE(Exists(paths.stagedExecutor));
}

// The whole road: an uninstall leaves a locked file and the program, the next login runs the
// installed executor program, and everything is gone, the program's own folder and the
// executor's traces included.
TEST_F(RunOnce, TheExecutorProgramFinishesWhatAnUninstallLeft) {
    testkit::CapturingReporter reporter;
    const std::string programFolder = work.File("prefix/libexec/sonlet/");
    const std::string locked = work.File("prefix/share/sonlet/locked file.dat");
    paths = UserRunOncePaths(programFolder + "sonlet");
    Touch(programFolder + "sonlet");
    Touch(locked);
    Touch(programFolder + "install.txt",
          "sonlet\nsonlet-runonce\n../../share/sonlet/locked file.dat\ninstall.txt\n"
          "../../share/sonlet/\n../sonlet/\n");
    std::filesystem::copy_file(SONLET_RUNONCE_EXECUTABLE, paths.installedExecutor);

    AutostartRunOnce host(paths);
    testkit::LockingRemover remover;
    remover.Lock(locked);
    const InstallContext context{.registry = store,
                                 .programFile = programFolder + "sonlet",
                                 .buildFolder = "",
                                 .files = remover,
                                 .runOnce = host};
    Uninstall(context);
    ASSERT_FALSE(Exists(paths.installedExecutor));
    ASSERT_EQ(RunOnceKey()->ValueNames().size(), 3U);
    ASSERT_TRUE(Exists(paths.autostartEntry));
    ASSERT_TRUE(Exists(paths.stagedExecutor));

    char* argv[] = {paths.stagedExecutor.data(), nullptr};
    pid_t child = 0;
    ASSERT_EQ(::posix_spawn(&child, paths.stagedExecutor.c_str(), nullptr, nullptr, argv, environ),
              0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    EXPECT_FALSE(Exists(programFolder));
    EXPECT_FALSE(Exists(locked));
    EXPECT_TRUE(RunOnceKey()->ValueNames().empty());
    EXPECT_FALSE(Exists(paths.autostartEntry));
    EXPECT_FALSE(Exists(paths.stagedExecutor));
}

} // namespace
} // namespace sonlet
