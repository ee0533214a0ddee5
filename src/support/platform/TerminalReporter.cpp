#include "support/platform/TerminalReporter.h"

#include "support/Text.h"

#include <string>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace sonlet {

namespace {

// The message boxes' texts end their lines with "\r\n"; a terminal wants "\n".
void PrintText(std::FILE* stream, std::string_view text) {
    for (const char c : text) {
        if (c != '\r') {
            std::fputc(c, stream);
        }
    }
}

// One line of input without its end, trimmed of blanks; nothing at the end of the input.
std::string ReadAnswer(std::FILE* in) {
    std::string line;
    for (int c = std::fgetc(in); c != EOF && c != '\n'; c = std::fgetc(in)) {
        if (line.size() < 64) {
            line += static_cast<char>(c);
        }
    }
    const std::size_t first = line.find_first_not_of(" \t\r");
    const std::size_t last = line.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : line.substr(first, last - first + 1);
}

} // namespace

bool StandardInputIsTerminal() {
#ifdef _WIN32
    return ::_isatty(0) != 0;
#else
    return ::isatty(STDIN_FILENO) != 0;
#endif
}

void TerminalReporter::ShowBox(std::string_view caption, std::string_view text, MessageIcon icon) {
    std::FILE* stream =
        icon == MessageIcon::Error || icon == MessageIcon::Warning || caption == "Error" ? err_
                                                                                         : out_;
    PrintText(stream, text);
    std::fputc('\n', stream);
    std::fflush(stream);
}

bool TerminalReporter::AskYesNo(std::string_view, std::string_view text) {
    return Ask(text, "[y/N]", "y", "yes");
}

bool TerminalReporter::AskRetryIgnore(std::string_view, std::string_view text) {
    return Ask(text, "[r]etry or [I]gnore?", "r", "retry");
}

bool TerminalReporter::Ask(std::string_view text, std::string_view choices,
                           std::string_view shortYes, std::string_view longYes) {
    PrintText(out_, text);
    std::fputc(' ', out_);
    PrintText(out_, choices);
    std::fputc(' ', out_);
    std::fflush(out_);
    const std::string answer = LowerCase(ReadAnswer(in_));
    if (std::feof(in_)) {
        std::fputc('\n', out_);
        std::fflush(out_);
    }
    return answer == shortYes || answer == longYes;
}

} // namespace sonlet
