#include "support/platform/Installation.h"

#include "CapturingReporter.h"
#include "PlatformTestKit.h"
#include "support/platform/TextRegistry.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

namespace sonlet {
namespace {

using testkit::CapturedMessage;
using testkit::CapturingReporter;
using testkit::Exists;
using testkit::TempDir;
using testkit::Touch;
using Values = std::map<std::string, std::string>;

constexpr RegistryRoot Machine = RegistryRoot::LocalMachine;
const std::string Del = "command.com /c del ";

class Installation : public ::testing::Test {
protected:
    InstallContext Context() {
        return {.registry = store,
                .programFile = programFile,
                .buildFolder = "/nowhere/build",
                .files = files,
                .runOnce = runOnce,
                .openFolder = [this](const std::string& folder) { opened.push_back(folder); }};
    }

    void WriteList(const std::string& text) { Touch(programFolder + "install.txt", text); }

    Values RunOnceValues() {
        Values values;
        auto key = store.OpenKey(Machine, RunOnceKeyPath);
        for (const std::string& name : key->ValueNames()) {
            values[name] = *key->ReadString(name);
        }
        return values;
    }

    void SetRunOnce(const Values& values) {
        auto key = store.OpenKey(Machine, RunOnceKeyPath);
        for (const auto& [name, value] : values) {
            key->WriteString(name, value);
        }
    }

    bool EntryExists() { return store.OpenKey(Machine, UninstallKeyPath) != nullptr; }

    std::string StoreBytes() {
        const auto bytes = testkit::ReadAll(store.FileOf(Machine));
        return {bytes.begin(), bytes.end()};
    }

    testkit::TemporaryHome home;
    TempDir installDir;
    TextRegistry store = MakeUserRegistry(home.Data() + "/sonlet/registry");
    testkit::LockingRemover files;
    testkit::RecordingRunOnce runOnce;
    std::vector<std::string> opened;
    // The prefix lies one level down, so that lines which leave it still land in installDir.
    std::string prefix = installDir.Path().string() + "/prefix/";
    std::string programFolder = prefix + "libexec/sonlet/";
    std::string programFile = programFolder + "sonlet";
    CapturingReporter reporter;
};

TEST_F(Installation, TheFirstStartEntersTheProgram) {
    RegisterInstallation(Context());
    auto key = store.OpenKey(Machine, UninstallKeyPath);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->ReadString("DisplayName"), "Sonlet");
    EXPECT_EQ(key->ReadString("UninstallString"), programFile + " /uninstall");
    EXPECT_TRUE(reporter.Messages().empty());
}

TEST_F(Installation, AStartAfterAnUninstallCancelsItsDeletionsUpToTheFirstGap) {
    SetRunOnce({{"Delete Sonlet", Del + programFile},
                {"Delete Sonlet file 0", Del + programFolder + "a"},
                {"Delete Sonlet file 1", Del + programFolder + "b"},
                {"Delete Sonlet file 2", Del + programFolder + "c"},
                {"Delete Sonlet file 4", Del + programFolder + "e"},
                {"Other program", "cleanup.exe"}});
    RegisterInstallation(Context());
    EXPECT_TRUE(EntryExists());
    EXPECT_EQ(RunOnceValues(), (Values{{"Delete Sonlet file 4", Del + programFolder + "e"},
                                       {"Other program", "cleanup.exe"}}));
    EXPECT_EQ(runOnce.updates, std::vector<bool>{true});

    // Nothing left pending: the login entry can go.
    store.DeleteKey(Machine, UninstallKeyPath);
    SetRunOnce({{"Delete Sonlet", Del + programFile}});
    store.OpenKey(Machine, RunOnceKeyPath)->DeleteValue("Other program");
    store.OpenKey(Machine, RunOnceKeyPath)->DeleteValue("Delete Sonlet file 4");
    RegisterInstallation(Context());
    EXPECT_TRUE(RunOnceValues().empty());
    EXPECT_EQ(runOnce.updates, (std::vector<bool>{true, false}));
}

TEST_F(Installation, AStartWithTheEntryPresentWritesNothing) {
    RegisterInstallation(Context());
    SetRunOnce({{"Delete Sonlet", Del + programFile}, {"Delete Sonlet file 0", Del + "x"}});
    const std::string before = StoreBytes();
    RegisterInstallation(Context());
    EXPECT_EQ(StoreBytes(), before);
    EXPECT_TRUE(runOnce.updates.empty());
}

TEST_F(Installation, TheBuildFolderNeverRegistersButASiblingFolderDoes) {
    auto context = Context();
    context.buildFolder = prefix + "LIBEXEC/";
    RegisterInstallation(context);
    EXPECT_FALSE(Exists(store.FileOf(Machine)));

    // A folder that merely starts with the same letters is another folder.
    context.buildFolder = prefix + "libex";
    RegisterInstallation(context);
    EXPECT_TRUE(EntryExists());
}

TEST_F(Installation, TheSwitchIsTheFirstArgumentInAnyCase) {
    const char* capitals[] = {"sonlet", "/UnInstall"};
    const char* second[] = {"sonlet", "song.xi", "/uninstall"};
    const char* none[] = {"sonlet"};
    EXPECT_TRUE(HasUninstallSwitch(2, capitals));
    EXPECT_FALSE(HasUninstallSwitch(3, second));
    EXPECT_FALSE(HasUninstallSwitch(1, none));
}

TEST_F(Installation, AnsweringNoEndsTheProgramWithNothingRemoved) {
    WriteList("sonlet\nreadme.txt\n");
    Touch(programFile);
    Touch(programFolder + "readme.txt");
    RegisterInstallation(Context());
    EXPECT_EQ(RunUninstallCommand(Context()), 0);
    EXPECT_EQ(reporter.Messages(),
              (std::vector<CapturedMessage>{
                  {"Confirm", "Are you sure to remove Sonlet?", MessageIcon::Question}}));
    EXPECT_TRUE(Exists(programFolder + "readme.txt"));
    EXPECT_TRUE(EntryExists());
    EXPECT_TRUE(RunOnceValues().empty());
}

TEST_F(Installation, ALockedFileInAFolderLeavesExactlyTheProgramAndThatFile) {
    RegisterInstallation(Context());
    Touch(programFile);
    Touch(programFolder + "sub/locked.dat");
    // A folder without write permission locks its files, except for the superuser.
    if (::geteuid() != 0) {
        std::filesystem::permissions(programFolder + "sub", std::filesystem::perms::owner_read |
                                                                std::filesystem::perms::owner_exec);
    } else {
        files.Lock(programFolder + "sub/locked.dat");
    }
    WriteList("SONLET\r\nsub/locked.dat\r\nsub\\\r\n");
    Uninstall(Context());

    EXPECT_EQ(RunOnceValues(),
              (Values{{"Delete Sonlet", Del + programFile},
                      {"Delete Sonlet file 0", Del + programFolder + "sub/locked.dat"}}));
    EXPECT_TRUE(Exists(programFile));
    EXPECT_TRUE(Exists(programFolder + "sub"));
    EXPECT_FALSE(EntryExists());
    EXPECT_EQ(reporter.Texts(), std::vector<std::string>{"Uninstall complete."});
    EXPECT_EQ(runOnce.prepared, 1);
    EXPECT_EQ(runOnce.updates, std::vector<bool>{true});
}

TEST_F(Installation, FilesGoFirstThenFoldersDeepestFirstAndLeftOversSortIgnoringCase) {
    RegisterInstallation(Context());
    for (const char* name : {"sonlet", "tool", "b-held.dat", "A-held.dat", "share/sonlet/doc.txt",
                             "share/sonlet/deep/er.txt"}) {
        Touch(programFolder + name);
    }
    std::filesystem::create_directories(programFolder + "held-folder");
    files.Lock(programFolder + "b-held.dat");
    files.Lock(programFolder + "A-held.dat");
    files.Lock(programFolder + "held-folder");
    WriteList("sonlet\ntool\nb-held.dat\nA-held.dat\nmissing.dat\nshare/sonlet/doc.txt\n"
              "share/sonlet/deep/er.txt\nshare/sonlet/\nshare/sonlet/deep/\nheld-folder/\n"
              "gone-folder/\ninstall.txt\n");
    Uninstall(Context());

    EXPECT_EQ(RunOnceValues(),
              (Values{{"Delete Sonlet", Del + programFile},
                      {"Delete Sonlet file 0", Del + programFolder + "A-held.dat"},
                      {"Delete Sonlet file 1", Del + programFolder + "b-held.dat"},
                      {"Delete Sonlet file 2", Del + programFolder + "held-folder/"}}));
    EXPECT_FALSE(Exists(programFolder + "tool"));
    EXPECT_FALSE(Exists(programFolder + "share/sonlet"));
    EXPECT_TRUE(Exists(programFolder + "share"));
    EXPECT_FALSE(Exists(programFolder + "install.txt"));
}

// From the program folder prefix/libexec/sonlet/, "../../../" leaves the prefix.
TEST_F(Installation, LinesThatLeaveThePrefixOrPassThroughALinkToAFolderAreSkipped) {
    const std::string outside = installDir.Path().string() + "/";
    RegisterInstallation(Context());
    Touch(programFile);
    Touch(outside + "victim/escape.txt");
    std::filesystem::create_directories(outside + "victimdir");
    Touch(outside + "elsewhere/target.txt");
    std::filesystem::create_directories(prefix + "share");
    std::filesystem::create_directory_symlink(outside + "elsewhere", prefix + "share/linked");
    std::filesystem::create_directories(prefix + "bin");
    std::filesystem::create_symlink("../libexec/sonlet/sonlet", prefix + "bin/sonlet");
    Touch(prefix + "share/doc.txt");
    Touch(prefix + "share/back-in.txt");
    WriteList("sonlet\n../../../victim/escape.txt\n../../../victimdir/\n"
              "../../share/linked/target.txt\n../../share/linked/\n"
              "sub/../../../../victim/escape.txt\n../../share/./doc.txt\n"
              "../../../prefix/share/back-in.txt\n../../bin/sonlet\n../../\ninstall.txt\n");
    Uninstall(Context());

    EXPECT_TRUE(Exists(outside + "victim/escape.txt"));
    EXPECT_TRUE(Exists(outside + "victimdir"));
    EXPECT_TRUE(Exists(outside + "elsewhere/target.txt"));
    EXPECT_TRUE(Exists(prefix + "share/linked"));
    EXPECT_TRUE(Exists(prefix));
    for (const std::string& attempt : files.fileAttempts) {
        EXPECT_TRUE(!attempt.starts_with(outside) || attempt.starts_with(prefix)) << attempt;
    }
    // What lies inside the prefix goes as before, the links in bin/ as links.
    EXPECT_FALSE(Exists(prefix + "share/doc.txt"));
    EXPECT_FALSE(Exists(prefix + "share/back-in.txt"));
    EXPECT_FALSE(Exists(prefix + "bin/sonlet"));
    EXPECT_TRUE(Exists(programFile));
    EXPECT_EQ(RunOnceValues(), (Values{{"Delete Sonlet", Del + programFile}}));
    EXPECT_EQ(reporter.Texts(), std::vector<std::string>{"Uninstall complete."});
}

// Another user's uninstall of a root-owned install: a retry by the same user would fail too,
// so nothing is left to the next login, and the list stays for a run with the rights.
TEST_F(Installation, DeletionsRefusedForLackOfRightsKeepTheEntryAndTheListForARetry) {
    RegisterInstallation(Context());
    Touch(programFile);
    std::string list = "sonlet\nfree.dat\n";
    Touch(programFolder + "free.dat");
    for (int i = 0; i < 7; ++i) {
        const std::string name = "held" + std::to_string(i) + ".dat";
        Touch(programFolder + name);
        files.Deny(programFolder + name);
        list += name + "\n";
    }
    WriteList(list + "install.txt\n../sonlet/\n");
    reporter.ScriptAnswers({true});
    EXPECT_EQ(RunUninstallCommand(Context()), 1);

    EXPECT_TRUE(EntryExists());
    EXPECT_TRUE(Exists(programFolder + "install.txt"));
    EXPECT_TRUE(RunOnceValues().empty());
    EXPECT_EQ(runOnce.updates, std::vector<bool>{false});
    ASSERT_EQ(reporter.Messages().size(), 2U);
    const CapturedMessage error = reporter.Messages()[1];
    EXPECT_EQ(error.caption, "Error");
    EXPECT_EQ(error.icon, MessageIcon::Error);
    EXPECT_NE(error.text.find(programFolder + "held4.dat\r\n"), std::string::npos) << error.text;
    EXPECT_EQ(error.text.find("held5.dat"), std::string::npos) << error.text;
    EXPECT_NE(error.text.find("and 2 more"), std::string::npos) << error.text;
    EXPECT_NE(error.text.find("may change " + prefix), std::string::npos) << error.text;
    EXPECT_NE(error.text.find("sudo " + programFile + " /uninstall"), std::string::npos)
        << error.text;

    // Run with the rights, the uninstall finds its list and completes; the program folder,
    // held by the program alone, goes at the next login right after it.
    testkit::LockingRemover withRights;
    reporter.Reset();
    EXPECT_EQ(Uninstall({.registry = store,
                         .programFile = programFile,
                         .buildFolder = "",
                         .files = withRights,
                         .runOnce = runOnce}),
              UninstallResult::Complete);
    EXPECT_FALSE(EntryExists());
    EXPECT_FALSE(Exists(programFolder + "install.txt"));
    EXPECT_EQ(RunOnceValues(), (Values{{"Delete Sonlet", Del + programFile},
                                       {"Delete Sonlet file 0", Del + programFolder}}));
    EXPECT_EQ(reporter.Texts(), std::vector<std::string>{"Uninstall complete."});
}

TEST_F(Installation, WithoutTheListTheFolderOpensAndTheRegistryStaysAsItWas) {
    RegisterInstallation(Context());
    Uninstall(Context());
    EXPECT_EQ(reporter.Texts(),
              std::vector<std::string>{"Can't find install.txt\r\n\r\nYou need to delete the "
                                       "files manually"});
    EXPECT_EQ(opened, std::vector<std::string>{programFolder});
    EXPECT_TRUE(EntryExists());
    EXPECT_TRUE(RunOnceValues().empty());
    EXPECT_EQ(runOnce.prepared, 0);
    EXPECT_TRUE(runOnce.updates.empty());
}

TEST_F(Installation, TheShortcutsGoWhateverTheListSays) {
    const std::string desktop = home.Home() + "/Desktop/";
    const std::string programs = home.Data() + "/applications/";
    for (const std::string& path :
         {desktop + "Sonlet.lnk", desktop + "sonlet.desktop", desktop + "com.tulvo.Sonlet.desktop",
          desktop + "other.desktop", programs + "Sonlet/Sonlet.lnk",
          programs + "Sonlet/Help/readme.txt", programs + "Sonlet.lnk", programs + "sonlet.desktop",
          programs + "other.desktop"}) {
        Touch(path);
    }
    Uninstall(Context());
    EXPECT_FALSE(Exists(desktop + "Sonlet.lnk"));
    EXPECT_FALSE(Exists(desktop + "sonlet.desktop"));
    EXPECT_FALSE(Exists(desktop + "com.tulvo.Sonlet.desktop"));
    EXPECT_FALSE(Exists(programs + "Sonlet"));
    EXPECT_FALSE(Exists(programs + "Sonlet.lnk"));
    EXPECT_FALSE(Exists(programs + "sonlet.desktop"));
    EXPECT_TRUE(Exists(desktop + "other.desktop"));
    EXPECT_TRUE(Exists(programs + "other.desktop"));
}

// While it lives, no file of this process can grow past one byte, so every write of the store
// fails whatever its temporary is called; the limit binds root too.
class FileWritesFail {
public:
    FileWritesFail() {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit tiny = saved_;
        tiny.rlim_cur = 1;
        ::setrlimit(RLIMIT_FSIZE, &tiny);
    }
    ~FileWritesFail() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileWritesFail(const FileWritesFail&) = delete;
    FileWritesFail& operator=(const FileWritesFail&) = delete;

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST_F(Installation, ARunOnceValueThatCannotBeWrittenEndsWithTheErrorAndKeepsTheEntry) {
    RegisterInstallation(Context());
    WriteList("sonlet\n");
    reporter.ScriptAnswers({true});
    {
        const FileWritesFail writesFail;
        EXPECT_EQ(RunUninstallCommand(Context()), 1);
    }
    EXPECT_TRUE(EntryExists());
    ASSERT_EQ(reporter.Messages().size(), 2U);
    EXPECT_EQ(reporter.Messages()[1],
              (CapturedMessage{"Error", "Failed to set data for 'Delete Sonlet'",
                               MessageIcon::Information}));
    EXPECT_EQ(runOnce.updates, std::vector<bool>{false});
}

} // namespace
} // namespace sonlet
