// sonlet-cli: converts and checks instruments without the editor.
#include "cli/CliCommand.h"
#include "cli/CliSupport.h"
#include "support/InfoSwitch.h"

#include <exception>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

void PrintUsage(std::ostream& out) {
    out << "Usage:\n";
    for (const sonlet::cli::CliCommand* command : sonlet::cli::AllCommands()) {
        out << "  sonlet-cli " << command->name << " " << command->synopsis << "\n";
    }
    out << "  sonlet-cli --help | --version\n";
}

} // namespace

int main(int argc, char** argv) {
    using namespace sonlet::cli;
    std::ostringstream usage;
    PrintUsage(usage);
    if (const auto status =
            sonlet::AnswerInfoSwitch(argc, argv, "sonlet-cli", usage.str(), std::cout)) {
        return *status;
    }
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (args.empty()) {
        PrintUsage(std::cerr);
        return ExitUsage;
    }
    if (args[0] == "help") {
        PrintUsage(std::cout);
        return ExitOk;
    }
    for (const CliCommand* command : AllCommands()) {
        if (command->name == args[0]) {
            try {
                return command->run(std::span(args).subspan(1));
            } catch (const UsageError& error) {
                std::cerr << "sonlet-cli " << command->name << ": " << error.what() << "\n";
                PrintUsage(std::cerr);
                return ExitUsage;
            } catch (const std::exception& error) {
                std::cerr << "sonlet-cli " << command->name << ": " << error.what() << "\n";
                return ExitFailure;
            }
        }
    }
    std::cerr << "sonlet-cli: unknown command " << args[0] << "\n";
    PrintUsage(std::cerr);
    return ExitUsage;
}
