#include "support/platform/TextRegistry.h"

#include "PlatformTestKit.h"

#include <gtest/gtest.h>

namespace sonlet {
namespace {

using testkit::TempDir;

constexpr RegistryRoot Machine = RegistryRoot::LocalMachine;
constexpr std::string_view Entry = "Software\\Vendor\\Entry";

TEST(TextRegistry, ValuesSurviveInAFreshStoreWithTheirBytesIntact) {
    TempDir dir;
    const std::vector<std::pair<std::string, std::string>> values = {
        {"Plain", "Sonlet"},
        {"Spaces and \"quotes\"", "/opt/my apps/so\"n\\let /uninstall"},
        {"Controls", "line\nbreak\r\ttab\x7f" + std::string(1, '\0') + "end"},
        {"Empty", ""},
    };
    {
        TextRegistry store(dir.Path().string());
        auto key = store.CreateKey(Machine, Entry);
        ASSERT_TRUE(key);
        for (const auto& [name, value] : values) {
            key->WriteString(name, value);
        }
        key->WriteString("Plain", "Sonlet again");
    }
    TextRegistry reread(dir.Path().string());
    auto key = reread.OpenKey(Machine, Entry);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->ValueNames(),
              (std::vector<std::string>{"Plain", "Spaces and \"quotes\"", "Controls", "Empty"}));
    EXPECT_EQ(key->ReadString("Plain"), "Sonlet again");
    for (std::size_t i = 1; i < values.size(); ++i) {
        EXPECT_EQ(key->ReadString(values[i].first), values[i].second) << values[i].first;
    }
    EXPECT_FALSE(key->ReadString("Missing"));
    // No temporary of the atomic replacement is left lying about.
    EXPECT_FALSE(testkit::Exists(reread.FileOf(Machine) + ".new"));
}

TEST(TextRegistry, KeysAndValueNamesIgnoreCaseLikeTheSystemRegistry) {
    TempDir dir;
    TextRegistry store(dir.Path().string());
    store.CreateKey(Machine, Entry)->WriteString("DisplayName", "Sonlet");
    auto key = store.OpenKey(Machine, "software\\VENDOR\\entry\\");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->ReadString("displayname"), "Sonlet");
    key->WriteString("DISPLAYNAME", "Other");
    EXPECT_EQ(key->ValueNames(), std::vector<std::string>{"DisplayName"});
    EXPECT_TRUE(key->DeleteValue("displayName"));
    EXPECT_FALSE(key->DeleteValue("displayName"));
    EXPECT_TRUE(key->ValueNames().empty());
}

TEST(TextRegistry, OpeningNeverCreatesAndRootsAreSeparateFiles) {
    TempDir dir;
    TextRegistry store(dir.Path().string());
    EXPECT_FALSE(store.OpenKey(Machine, Entry));
    EXPECT_FALSE(testkit::Exists(store.FileOf(Machine)));
    store.CreateKey(RegistryRoot::CurrentUser, Entry)->WriteString("A", "1");
    EXPECT_FALSE(store.OpenKey(Machine, Entry));
    EXPECT_TRUE(store.OpenKey(RegistryRoot::CurrentUser, Entry));
    EXPECT_FALSE(testkit::Exists(store.FileOf(Machine)));

    EXPECT_TRUE(store.DeleteKey(RegistryRoot::CurrentUser, Entry));
    EXPECT_FALSE(store.DeleteKey(RegistryRoot::CurrentUser, Entry));
    EXPECT_FALSE(store.OpenKey(RegistryRoot::CurrentUser, Entry));
}

TEST(TextRegistry, SystemKeysOpenBeforeAnythingWasWritten) {
    TempDir dir;
    TextRegistry store = MakeUserRegistry(dir.Path().string());
    auto runOnce = store.OpenKey(Machine, RunOnceKeyPath);
    ASSERT_TRUE(runOnce);
    EXPECT_TRUE(runOnce->ValueNames().empty());
    runOnce->WriteString("Delete Sonlet", "command.com /c del /x");
    EXPECT_EQ(MakeUserRegistry(dir.Path().string())
                  .OpenKey(Machine, RunOnceKeyPath)
                  ->ReadString("delete sonlet"),
              "command.com /c del /x");
}

TEST(TextRegistry, AStoreThatCannotBeWrittenFailsWithTheRegistryMessage) {
    TempDir dir;
    // A plain file where the store's folder should be stops even the superuser.
    const std::string blocked = dir.File("blocked");
    testkit::Touch(blocked);
    TextRegistry store = MakeUserRegistry(blocked);
    EXPECT_FALSE(store.CreateKey(Machine, Entry));
    auto runOnce = store.OpenKey(Machine, RunOnceKeyPath);
    ASSERT_TRUE(runOnce);
    try {
        runOnce->WriteString("Delete Sonlet", "command.com /c del /x");
        FAIL() << "the write must fail";
    } catch (const RegistryError& error) {
        EXPECT_STREQ(error.what(), "Failed to set data for 'Delete Sonlet'");
    }
    EXPECT_FALSE(runOnce->DeleteValue("Delete Sonlet"));
}

TEST(TextRegistry, WithoutAFolderNothingIsStoredAnywhere) {
    TextRegistry store = MakeUserRegistry("");
    EXPECT_FALSE(store.CreateKey(Machine, Entry));
    EXPECT_FALSE(store.OpenKey(Machine, RunOnceKeyPath));
}

TEST(TextRegistry, HandEditedLinesThatFitNoFormAreSkipped) {
    TempDir dir;
    TextRegistry store(dir.Path().string());
    testkit::Touch(store.FileOf(Machine), "\"orphan\"=\"before any key\"\r\n"
                                          "[Software\\Vendor\\Entry]\r\n"
                                          "\"Good\"=\"yes\"\r\n"
                                          "\"Unclosed=\"no\"\n"
                                          "\"BadEscape\"=\"\\q\"\n"
                                          "\"Trailing\"=\"x\" junk\n"
                                          "\"Hex\"=\"\\x41\\x4\"\n"
                                          "garbage\n");
    auto key = store.OpenKey(Machine, Entry);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->ValueNames(), std::vector<std::string>{"Good"});
}

} // namespace
} // namespace sonlet
