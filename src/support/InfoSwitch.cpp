#include "support/InfoSwitch.h"

#include "support/Version.h"

namespace sonlet {

std::optional<int> AnswerInfoSwitch(int argc, const char* const* argv, std::string_view program,
                                    std::string_view usage, std::ostream& out) {
    if (argc < 2 || argv[1] == nullptr) {
        return std::nullopt;
    }
    const std::string_view first = argv[1];
    if (first == "--help" || first == "-h") {
        out << usage;
        return 0;
    }
    if (first == "--version") {
        out << program << " " << ProgramVersion << "\n";
        return 0;
    }
    return std::nullopt;
}

} // namespace sonlet
