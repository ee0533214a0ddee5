#include "support/platform/Folders.h"

#include "CapturingReporter.h"
#include "PlatformTestKit.h"
#include "support/platform/ShellFolders.h"

#include <gtest/gtest.h>

namespace sonlet {
namespace {

using testkit::CapturedMessage;
using testkit::CapturingReporter;
using testkit::Exists;
using testkit::TempDir;
using testkit::Touch;

TEST(Folders, EmptyMeansNoEntryOrNoFolderAtAll) {
    TempDir dir;
    EXPECT_TRUE(IsFolderEmpty(dir.Path().string()));
    EXPECT_TRUE(IsFolderEmpty(dir.File("missing")));
    Touch(dir.File("one"));
    EXPECT_FALSE(IsFolderEmpty(dir.Path().string()));
    EXPECT_FALSE(IsFolderEmpty(dir.Path().string() + "/"));

    EXPECT_TRUE(FileExists(dir.File("one")));
    EXPECT_FALSE(FileExists(dir.Path().string()));
    EXPECT_TRUE(FolderExists(dir.Path().string() + "/"));
    EXPECT_FALSE(FolderExists(dir.File("one")));
}

TEST(Folders, DeleteFolderTreeRemovesEverythingBelow) {
    TempDir dir;
    const std::string root = dir.File("tree");
    Touch(root + "/a.txt");
    Touch(root + "/sub/deeper/b.txt");
    Touch(root + "/sub/.hidden");
    std::filesystem::create_directories(root + "/empty");
    CapturingReporter reporter;
    DeleteFolderTree(root);
    EXPECT_FALSE(Exists(root));
    EXPECT_TRUE(reporter.Messages().empty());
}

TEST(Folders, DeleteFolderTreeDeletesLinksButNeverWhatTheyPointAt) {
#ifdef _WIN32
    GTEST_SKIP() << "links need privileges on Windows";
#endif
    TempDir dir;
    const std::string outside = dir.File("outside");
    Touch(outside + "/keep.txt");
    const std::string root = dir.File("tree");
    std::filesystem::create_directories(root);
    std::filesystem::create_directory_symlink(outside, root + "/linked-folder");
    std::filesystem::create_symlink(outside + "/keep.txt", root + "/linked-file");
    DeleteFolderTree(root);
    EXPECT_FALSE(Exists(root));
    EXPECT_TRUE(Exists(outside + "/keep.txt"));
}

TEST(Folders, DeleteFolderTreeOfALinkDeletesOnlyTheLink) {
#ifdef _WIN32
    GTEST_SKIP() << "links need privileges on Windows";
#endif
    TempDir dir;
    const std::string precious = dir.File("precious");
    Touch(precious + "/keep.txt");
    const std::string apps = dir.File("apps");
    std::filesystem::create_directories(apps);
    std::filesystem::create_directory_symlink(precious, apps + "/Sonlet");
    std::filesystem::create_directory_symlink(precious, apps + "/Slashed");
    std::filesystem::create_directory_symlink(dir.File("gone"), apps + "/Dangling");

    DeleteFolderTree(apps + "/Sonlet");
    DeleteFolderTree(apps + "/Slashed/");
    DeleteFolderTree(apps + "/Dangling");
    EXPECT_TRUE(IsFolderEmpty(apps));
    EXPECT_TRUE(Exists(precious + "/keep.txt"));

    // A link that cannot be removed fails the call and still leaves the target alone.
    std::filesystem::create_directory_symlink(precious, apps + "/Locked");
    testkit::LockingRemover remover;
    remover.Lock(apps + "/Locked");
    EXPECT_THROW(DeleteFolderTree(apps + "/Locked", remover), FolderDeleteError);
    EXPECT_TRUE(Exists(precious + "/keep.txt"));
}

TEST(Folders, RetryTriesTheFileAgain) {
    TempDir dir;
    const std::string root = dir.File("tree");
    const std::string stubborn = JoinPath(root, "stubborn.bin");
    Touch(stubborn);
    testkit::LockingRemover remover;
    remover.Lock(stubborn, 2);
    CapturingReporter reporter;
    reporter.ScriptAnswers({true, true});
    DeleteFolderTree(root, remover);
    EXPECT_FALSE(Exists(root));
    const CapturedMessage retry{"Warning", "Cannot delete " + stubborn, MessageIcon::Warning};
    EXPECT_EQ(reporter.Messages(), (std::vector<CapturedMessage>{retry, retry}));
}

TEST(Folders, IgnoreMovesOnAndTheFolderLeftBehindFailsTheWholeTree) {
    TempDir dir;
    const std::string root = dir.File("tree");
    const std::string locked = JoinPath(JoinPath(root, "sub"), "locked.bin");
    Touch(locked);
    Touch(root + "/sub/free.bin");
    testkit::LockingRemover remover;
    remover.Lock(locked);
    CapturingReporter reporter;
    reporter.ScriptAnswers({false});
    EXPECT_THROW(DeleteFolderTree(root, remover), FolderDeleteError);
    EXPECT_TRUE(Exists(locked));
    EXPECT_FALSE(Exists(root + "/sub/free.bin"));
    EXPECT_EQ(reporter.Texts(), std::vector<std::string>{"Cannot delete " + locked});
}

TEST(Folders, DeleteFolderTreeOfAMissingFolderFails) {
    TempDir dir;
    EXPECT_THROW(DeleteFolderTree(dir.File("missing")), FolderDeleteError);
}

} // namespace
} // namespace sonlet
