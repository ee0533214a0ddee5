#include "support/platform/Shell.h"

#ifdef _WIN32
// shellapi.h needs the declarations of windows.h.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on
#else
#include <cerrno>
#include <climits>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;
#endif

namespace sonlet {

#ifdef _WIN32

void RunDocument(const std::string& file, const std::string& parameters) {
    ::ShellExecuteA(nullptr, "open", file.c_str(),
                    parameters.empty() ? nullptr : parameters.c_str(), nullptr, SW_SHOWNORMAL);
}

std::string ShortPathName(const std::string& path) {
    const DWORD needed = ::GetShortPathNameA(path.c_str(), nullptr, 0);
    if (needed == 0) {
        return path;
    }
    std::string shortPath(needed, '\0');
    const DWORD length = ::GetShortPathNameA(path.c_str(), shortPath.data(), needed);
    if (length == 0 || length >= needed) {
        return path;
    }
    shortPath.resize(length);
    return shortPath;
}

std::string ProgramFilePath() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

#else

void RunDocument(const std::string& file, const std::string&) {
    // Spawned directly, without a shell, so the path is one argument whatever it holds.
    std::string program = "xdg-open";
    std::string argument = file;
    char* argv[] = {program.data(), argument.data(), nullptr};
    pid_t child = 0;
    if (::posix_spawnp(&child, "xdg-open", nullptr, nullptr, argv, environ) != 0) {
        return;
    }
    // Reap the child whenever it ends so it never lingers as a zombie.
    std::thread([child] {
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

std::string ShortPathName(const std::string& path) { return path; }

std::string ProgramFilePath() {
    std::string path(PATH_MAX, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) {
        return {};
    }
    path.resize(static_cast<std::size_t>(length));
    return path;
}

#endif

} // namespace sonlet
