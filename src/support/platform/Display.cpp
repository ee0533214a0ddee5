#include "support/platform/Display.h"

#ifndef _WIN32
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace sonlet {

#ifdef _WIN32

bool HasDisplay() { return true; }

#else

namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Connects to a local socket, abstract when the name starts with a zero byte.
bool SocketAnswers(std::string_view name) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.empty() || name.size() >= sizeof(address.sun_path)) {
        return false;
    }
    std::memcpy(address.sun_path, name.data(), name.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
    ::close(fd);
    return connected;
}

bool WaylandAnswers() {
    const std::string display = Environment("WAYLAND_DISPLAY");
    if (display.empty()) {
        return false;
    }
    if (display.front() == '/') {
        return SocketAnswers(display);
    }
    const std::string runtime = Environment("XDG_RUNTIME_DIR");
    return !runtime.empty() && SocketAnswers(runtime + "/" + display);
}

// A local display (":N", "unix:N") answers on its socket; a display on another host is
// taken on trust.
bool XAnswers() {
    const std::string display = Environment("DISPLAY");
    std::string_view rest = display;
    if (rest.starts_with("unix:")) {
        rest.remove_prefix(4);
    }
    if (rest.empty()) {
        return false;
    }
    if (rest.front() != ':') {
        return true;
    }
    rest.remove_prefix(1);
    const std::string number(rest.substr(0, rest.find('.')));
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const std::string socket = "/tmp/.X11-unix/X" + number;
    return SocketAnswers(socket) || SocketAnswers(std::string(1, '\0') + socket);
}

// One platform of QT_QPA_PLATFORM, with or without its options ("xcb", "offscreen:size=...").
bool PlatformAnswers(std::string_view platform) {
    const std::string_view name = platform.substr(0, platform.find(':'));
    if (name == "xcb") {
        return XAnswers();
    }
    if (name.starts_with("wayland")) {
        return WaylandAnswers();
    }
    return !name.empty();
}

} // namespace

bool HasDisplay() {
    // The toolkit tries the platforms of a list separated by ";" in turn.
    const std::string platforms = Environment("QT_QPA_PLATFORM");
    if (platforms.empty()) {
        return WaylandAnswers() || XAnswers();
    }
    std::string_view rest = platforms;
    for (;;) {
        const std::size_t end = rest.find(';');
        if (PlatformAnswers(rest.substr(0, end))) {
            return true;
        }
        if (end == std::string_view::npos) {
            return false;
        }
        rest.remove_prefix(end + 1);
    }
}

#endif

} // namespace sonlet
