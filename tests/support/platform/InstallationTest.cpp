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
    std::string programFolder = installDir.Path().string() + "/bin/";
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
    context.buildFolder = installDir.Path().string() + "/BIN/";
    RegisterInstallation(context);
    EXPECT_FALSE(Exists(store.FileOf(Machine)));

    // A folder that merely starts with the same letters is another folder.
    context.buildFolder = installDir.Path().string() + "/bi";
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
