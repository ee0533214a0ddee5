#include "cli/CliCommand.h"

#include <array>

namespace sonlet::cli {

// Every command lives in a file of its own that defines one CliCommand. To add a command,
// add its file to CMakeLists.txt and one line to this table; the usage text lists the
// commands in this order.
#define SONLET_CLI_COMMANDS(X)                                                                     \
    X(InfoCommand)                                                                                 \
    X(ConvertCommand)                                                                              \
    X(ImportCommand)                                                                               \
    X(ExportCommand)                                                                               \
    X(ApplyCommand)                                                                                \
    X(RenderCommand)                                                                               \
    X(BankCommand)

#define SONLET_CLI_DECLARE(command) extern const CliCommand command;
SONLET_CLI_COMMANDS(SONLET_CLI_DECLARE)
#undef SONLET_CLI_DECLARE

std::span<const CliCommand* const> AllCommands() {
#define SONLET_CLI_ENTRY(command) &command,
    static const std::array table = {SONLET_CLI_COMMANDS(SONLET_CLI_ENTRY)};
#undef SONLET_CLI_ENTRY
    return table;
}

} // namespace sonlet::cli
