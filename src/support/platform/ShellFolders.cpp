#include "support/platform/ShellFolders.h"

#ifdef _WIN32
#include "support/platform/Registry.h"
#else
#include "support/Text.h"
#include "support/platform/TextFile.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>
#endif

namespace sonlet {

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && path.back() != PathSeparator) {
        path += PathSeparator;
    }
    path += name;
    return path;
}

std::string FolderPart(std::string_view path) {
#ifdef _WIN32
    const std::size_t slash = path.find_last_of("/\\");
#else
    const std::size_t slash = path.rfind('/');
#endif
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

#ifdef _WIN32

std::string GetShellFolder(std::string_view name) {
    const auto key = SystemRegistry().OpenKey(RegistryRoot::CurrentUser, ShellFoldersKeyPath);
    return key ? key->ReadString(name).value_or(std::string()) : std::string();
}

#else

namespace {

std::string AbsoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? std::string(value) : std::string();
}

std::string UnderHome(std::string_view relative) {
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : JoinPath(home, relative);
}

// The value of XDG_DESKTOP_DIR in user-dirs.dirs: a double-quoted path, absolute or starting
// with $HOME, with \ escaping the next character. Empty when absent or in another form.
std::string DesktopFromUserDirs(std::string_view text) {
    constexpr std::string_view key = "XDG_DESKTOP_DIR=\"";
    std::string found;
    for (std::string_view line : SplitLines(text)) {
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
            line.remove_prefix(1);
        }
        if (!line.starts_with(key)) {
            continue;
        }
        line.remove_prefix(key.size());
        std::string value;
        bool closed = false;
        for (std::size_t i = 0; i < line.size() && !closed; ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                value += line[++i];
            } else if (line[i] == '"') {
                closed = true;
            } else {
                value += line[i];
            }
        }
        if (!closed) {
            continue;
        }
        constexpr std::string_view home = "$HOME";
        if (value.starts_with(home) && (value.size() == home.size() || value[home.size()] == '/')) {
            const std::string homeFolder = HomeFolder();
            found = homeFolder.empty() ? std::string() : homeFolder + value.substr(home.size());
        } else if (value.starts_with('/')) {
            found = value;
        }
    }
    return found;
}

std::string DesktopFolder() {
    const std::string config = UserConfigFolder();
    if (!config.empty()) {
        // user-dirs.dirs holds a dozen short lines; a larger file is not one.
        constexpr std::int64_t MaxSize = 64 * 1024;
        const FileText dirs = ReadWholeFile(JoinPath(config, "user-dirs.dirs"), MaxSize);
        if (std::string desktop = DesktopFromUserDirs(dirs.text); !desktop.empty()) {
            return desktop;
        }
    }
    return UnderHome("Desktop");
}

} // namespace

std::string HomeFolder() {
    if (std::string home = AbsoluteVariable("HOME"); !home.empty()) {
        return home;
    }
    const passwd* entry = ::getpwuid(::getuid());
    return entry != nullptr && entry->pw_dir != nullptr && entry->pw_dir[0] == '/'
               ? std::string(entry->pw_dir)
               : std::string();
}

std::string UserDataFolder() {
    const std::string data = AbsoluteVariable("XDG_DATA_HOME");
    return data.empty() ? UnderHome(".local/share") : data;
}

std::string UserConfigFolder() {
    const std::string config = AbsoluteVariable("XDG_CONFIG_HOME");
    return config.empty() ? UnderHome(".config") : config;
}

// Names compare without regard to case, as registry value names do.
std::string GetShellFolder(std::string_view name) {
    const std::string folded = LowerCase(name);
    if (folded == "appdata") {
        return UserConfigFolder();
    }
    if (folded == "desktop") {
        return DesktopFolder();
    }
    if (folded == "programs") {
        const std::string data = UserDataFolder();
        return data.empty() ? std::string() : JoinPath(data, "applications");
    }
    return {};
}

#endif

} // namespace sonlet
