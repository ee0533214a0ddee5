// sonlet-cli: converts and checks instruments without the editor.
#include "cli/CliCommand.h"
#include "cli/CliSupport.h"

#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace {

void PrintUsage(std::ostream& out) {
    out << "Usage:\n";
    for (const sonlet::cli::CliCommand* command : sonlet::cli::AllCommands()) {
        out << "  sonlet-cli " << command->name << " " << command->synopsis << "\n";
    }
}

} // namespace

int main(int argc, char** argv) {
    using namespace sonlet::cli;
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    if (args.empty()) {
        PrintUsage(std::cerr);
        return ExitUsage;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
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
