#pragma once

#include "support/Report.h"

#include <cstdio>

namespace sonlet {

// True when standard input is a terminal that a question can be asked on.
bool StandardInputIsTerminal();

// Shows messages as lines on a terminal and reads the answers to questions from it: the
// stand-in for message boxes where no display is. Errors and warnings go to err, the rest
// to out. A question defaults to No (Ignore) on an empty answer or the end of the input.
class TerminalReporter final : public Reporter {
public:
    TerminalReporter(std::FILE* in, std::FILE* out, std::FILE* err)
        : in_(in), out_(out), err_(err) {}

    void ShowBox(std::string_view caption, std::string_view text, MessageIcon icon) override;
    bool AskYesNo(std::string_view caption, std::string_view text) override;
    bool AskRetryIgnore(std::string_view caption, std::string_view text) override;

private:
    // Prints the question with its choices and reads one line; true when it is one of yes.
    bool Ask(std::string_view text, std::string_view choices, std::string_view shortYes,
             std::string_view longYes);

    std::FILE* in_;
    std::FILE* out_;
    std::FILE* err_;
};

} // namespace sonlet
