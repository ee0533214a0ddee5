#include "PlatformTestKit.h"
#include "support/platform/Display.h"
#include "support/platform/TerminalReporter.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace sonlet {
namespace {

// A file standing in for one end of the terminal.
struct Stream {
    Stream() : file(std::tmpfile()) {}
    ~Stream() { std::fclose(file); }
    std::string Text() {
        std::fflush(file);
        std::rewind(file);
        std::string text;
        for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
            text += static_cast<char>(c);
        }
        return text;
    }
    std::FILE* file;
};

TEST(Terminal, QuestionsTakeOnlyYesAndMessagesLoseTheirCarriageReturns) {
    Stream in;
    Stream out;
    Stream err;
    std::fputs("y\n  YES \nn\n\nyesterday\nr\n", in.file);
    std::rewind(in.file);
    TerminalReporter terminal(in.file, out.file, err.file);
    EXPECT_TRUE(terminal.AskYesNo("Confirm", "Are you sure to remove Sonlet?"));
    EXPECT_TRUE(terminal.AskYesNo("Confirm", "again"));
    EXPECT_FALSE(terminal.AskYesNo("Confirm", "again"));
    EXPECT_FALSE(terminal.AskYesNo("Confirm", "again"));
    EXPECT_FALSE(terminal.AskYesNo("Confirm", "again"));
    EXPECT_TRUE(terminal.AskRetryIgnore("Warning", "Cannot delete x"));
    // The end of the input answers No.
    EXPECT_FALSE(terminal.AskYesNo("Confirm", "last"));
    EXPECT_TRUE(out.Text().starts_with("Are you sure to remove Sonlet? [y/N] again [y/N] "));

    terminal.ShowBox("Tulvo Sonlet", "Uninstall complete.", MessageIcon::None);
    terminal.ShowBox("Error", "first\r\n\r\nsecond", MessageIcon::Error);
    EXPECT_TRUE(out.Text().ends_with("last [y/N] \nUninstall complete.\n"));
    EXPECT_EQ(err.Text(), "first\n\nsecond\n");
}

TEST(Terminal, ADisplayCountsWhenItsSocketAnswersOrThePlatformNeedsNone) {
    testkit::TemporaryHome home;
    testkit::TempDir sockets;
    home.Unset("WAYLAND_DISPLAY");
    home.Unset("DISPLAY");
    home.Unset("QT_QPA_PLATFORM");
    EXPECT_FALSE(HasDisplay());
    home.Set("QT_QPA_PLATFORM", "offscreen");
    EXPECT_TRUE(HasDisplay());
    home.Set("QT_QPA_PLATFORM", "xcb;wayland");
    EXPECT_FALSE(HasDisplay());
    // No X server will ever take this number.
    home.Set("DISPLAY", ":65432.0");
    EXPECT_FALSE(HasDisplay());

    const std::string path = sockets.File("wayland-0");
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof(address.sun_path));
    path.copy(address.sun_path, path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(fd, 4), 0);
    home.Set("WAYLAND_DISPLAY", path);
    EXPECT_TRUE(HasDisplay());
    home.Set("QT_QPA_PLATFORM", "xcb");
    EXPECT_FALSE(HasDisplay());
    home.Unset("QT_QPA_PLATFORM");
    EXPECT_TRUE(HasDisplay());
    ::close(fd);
}

} // namespace
} // namespace sonlet
