#include "support/platform/ShellFolders.h"

#include "PlatformTestKit.h"
#include "support/platform/Shell.h"

#include <gtest/gtest.h>

namespace sonlet {
namespace {

using testkit::TemporaryHome;
using testkit::Touch;

TEST(ShellFolders, XdgFoldersAndTheirDefaults) {
    TemporaryHome home;
    home.Set("XDG_CONFIG_HOME", home.Home() + "/conf");
    home.Set("XDG_DATA_HOME", home.Home() + "/data");
    EXPECT_EQ(GetShellFolder("AppData"), home.Home() + "/conf");
    EXPECT_EQ(GetShellFolder("Programs"), home.Home() + "/data/applications");
    EXPECT_EQ(GetShellFolder("Desktop"), home.Home() + "/Desktop");
    EXPECT_EQ(GetShellFolder("Cookies"), "");

    // The XDG rules ignore a relative or empty setting.
    home.Set("XDG_CONFIG_HOME", "relative/conf");
    home.Unset("XDG_DATA_HOME");
    EXPECT_EQ(GetShellFolder("AppData"), home.Home() + "/.config");
    EXPECT_EQ(GetShellFolder("Programs"), home.Home() + "/.local/share/applications");
}

TEST(ShellFolders, DesktopComesFromUserDirs) {
    TemporaryHome home;
    const std::string dirs = home.Config() + "/user-dirs.dirs";
    Touch(dirs, "# written by xdg-user-dirs-update\n"
                "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n"
                "XDG_DESKTOP_DIR=\"$HOME/Työpöytä\"\n");
    EXPECT_EQ(GetShellFolder("Desktop"), home.Home() + "/Työpöytä");

    Touch(dirs, "XDG_DESKTOP_DIR=\"/srv/shared \\\"desk\\\"\"\n");
    EXPECT_EQ(GetShellFolder("Desktop"), "/srv/shared \"desk\"");

    // Forms the file does not allow fall back to ~/Desktop.
    Touch(dirs, "XDG_DESKTOP_DIR=\"relative/desk\"\nXDG_DESKTOP_DIR=\"$HOMEWORK/x\"\n");
    EXPECT_EQ(GetShellFolder("Desktop"), home.Home() + "/Desktop");
}

TEST(Shell, TheProgramFileIsTheRunningExecutable) {
    const std::string program = ProgramFilePath();
    ASSERT_FALSE(program.empty());
    EXPECT_EQ(program.front(), '/');
    EXPECT_TRUE(program.ends_with("platform_tests")) << program;
    EXPECT_EQ(ShortPathName("/opt/my apps/sonlet"), "/opt/my apps/sonlet");
}

} // namespace
} // namespace sonlet
