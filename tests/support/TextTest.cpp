#include "support/Text.h"

#include <gtest/gtest.h>

namespace sonlet {
namespace {

TEST(FileExt, TakesTextAfterLastDotOfFileNameLowerCased) {
    EXPECT_EQ(GetFileExt("Bass.WAV"), "wav");
    EXPECT_EQ(GetFileExt("/home/me/a.tar.XI"), "xi");
    EXPECT_EQ(GetFileExt("C:\\music\\Lead.Xi"), "xi");
    EXPECT_EQ(GetFileExt("/home/me/samples.d/kick"), "");
    EXPECT_EQ(GetFileExt("folder.v2\\noext"), "");
    EXPECT_EQ(GetFileExt("trailingdot."), "");
    EXPECT_EQ(GetFileExt(""), "");
    EXPECT_EQ(GetFileExt("x." + std::string(1200, 'A')).size(), 999u);
}

TEST(TextTests, CompareWithoutCase) {
    EXPECT_TRUE(StartsWithText("/HOME", "/home/user"));
    EXPECT_FALSE(StartsWithText("/home/user/x", "/home"));
    EXPECT_TRUE(StartsWithText("", "anything"));
    EXPECT_TRUE(EndsWithText("\\", "C:\\Music\\"));
    EXPECT_FALSE(EndsWithText("\\", ""));
    EXPECT_TRUE(EndsWithText(".XI", "tone.xi"));
    EXPECT_FALSE(EndsWithText(".xi", "tone.wav"));
}

TEST(TextTests, StripTrailingSlashRemovesOnlyOne) {
    EXPECT_EQ(StripTrailingSlash("C:\\a\\\\"), "C:\\a\\");
    EXPECT_EQ(StripTrailingSlash("/usr/"), "/usr");
    EXPECT_EQ(StripTrailingSlash("/usr"), "/usr");
    EXPECT_EQ(StripTrailingSlash(""), "");
}

} // namespace
} // namespace sonlet
