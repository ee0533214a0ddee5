#pragma once

#include <string>
#include <string_view>

namespace sonlet {

#ifdef _WIN32
inline constexpr char PathSeparator = '\\';
#else
inline constexpr char PathSeparator = '/';
#endif

// folder + the separator + name; no second separator when folder already ends in one.
std::string JoinPath(std::string_view folder, std::string_view name);
// The folder part of a path with its trailing separator; empty for a bare file name.
std::string FolderPart(std::string_view path);

// The user's folder of that name ("AppData", "Desktop", "Programs"); empty for other names and
// when it cannot be told. On Windows: the value in the current user's "Shell Folders" key.
// Elsewhere: "AppData" is $XDG_CONFIG_HOME (~/.config), "Desktop" the desktop folder of
// xdg-user-dirs (~/Desktop) and "Programs" the desktop-entry folder $XDG_DATA_HOME/applications.
std::string GetShellFolder(std::string_view name);

#ifndef _WIN32
// $HOME, else the home folder of the password database; empty when neither is known.
std::string HomeFolder();
// $XDG_DATA_HOME when absolute, else ~/.local/share; empty without a home folder.
std::string UserDataFolder();
// $XDG_CONFIG_HOME when absolute, else ~/.config; empty without a home folder.
std::string UserConfigFolder();
#endif

} // namespace sonlet
