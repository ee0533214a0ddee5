#pragma once

#include <optional>
#include <ostream>
#include <string_view>

namespace sonlet {

// Answers "--help" (or "-h") and "--version" given as the first argument, before a program
// does anything else: prints the usage text or "PROGRAM VERSION" to out and gives the exit
// status. Gives nothing for any other first argument, so the program goes on.
std::optional<int> AnswerInfoSwitch(int argc, const char* const* argv, std::string_view program,
                                    std::string_view usage, std::ostream& out);

} // namespace sonlet
