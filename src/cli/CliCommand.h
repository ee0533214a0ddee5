#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sonlet::cli {

// Exit codes of sonlet-cli.
inline constexpr int ExitOk = 0;
inline constexpr int ExitFailure = 1;
inline constexpr int ExitUsage = 2;

// One subcommand: its name, its argument synopsis for the usage text, and its body, which
// gets the arguments after the name and returns the exit code. A body throws UsageError
// for arguments it cannot use.
struct CliCommand {
    std::string_view name;
    std::string_view synopsis;
    int (*run)(std::span<const std::string> args);
};

// The table of every command (Commands.cpp).
std::span<const CliCommand* const> AllCommands();

} // namespace sonlet::cli
