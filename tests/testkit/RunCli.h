#pragma once

#include <string>
#include <vector>

namespace sonlet::testkit {

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the built sonlet-cli with args (no shell) and collects its output and exit code.
CliResult RunCli(const std::vector<std::string>& args);

} // namespace sonlet::testkit
