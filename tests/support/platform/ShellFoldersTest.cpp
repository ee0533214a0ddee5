#include "support/platform/ShellFolders.h"

#include "PlatformTestKit.h"
#include "support/platform/Shell.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

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

TEST(Shell, RunDocumentHandsThePathToXdgOpenAsOneArgument) {
    TemporaryHome home;
    const std::string bin = home.Home() + "/bin";
    const std::string seen = home.Home() + "/seen";
    // A stand-in handler that records its arguments, one per line.
    Touch(bin + "/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + seen + ".new\"\nmv \"" +
                                 seen + ".new\" \"" + seen + "\"\n");
    std::filesystem::permissions(bin + "/xdg-open", std::filesystem::perms::owner_all);
    const char* path = std::getenv("PATH");
    home.Set("PATH", bin + ":" + (path ? path : "/usr/bin:/bin"));
    const std::string folder = home.Home() + "/my \"odd\" folder $HOME; true/";
    RunDocument(folder);
    // The handler runs on its own; wait for its record (a minute means it never came).
    for (int i = 0; i < 6000 && !testkit::Exists(seen); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(testkit::Exists(seen));
    const auto bytes = testkit::ReadAll(seen);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), folder + "\n");
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
