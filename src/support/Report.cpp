#include "support/Report.h"

#include <atomic>
#include <cstdio>

namespace sonlet {

namespace {

StderrReporter defaultReporter;
std::atomic<Reporter*> installed{nullptr};

void PrintLine(std::string_view caption, std::string_view text) {
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                 static_cast<int>(text.size()), text.data());
}

} // namespace

void StderrReporter::ShowBox(std::string_view caption, std::string_view text, MessageIcon) {
    PrintLine(caption, text);
}

void StderrReporter::ShowWarningBox(std::string_view, std::string_view text, MessageIcon) {
    PrintLine("warning", text);
}

bool StderrReporter::AskYesNo(std::string_view caption, std::string_view text) {
    PrintLine(caption, text);
    return false;
}

bool StderrReporter::AskRetryIgnore(std::string_view caption, std::string_view text) {
    PrintLine(caption, text);
    return false;
}

Reporter& CurrentReporter() {
    Reporter* r = installed.load(std::memory_order_acquire);
    return r ? *r : defaultReporter;
}

void SetReporter(Reporter* reporter) { installed.store(reporter, std::memory_order_release); }

ScopedReporter::ScopedReporter(Reporter& reporter)
    : previous_(installed.exchange(&reporter, std::memory_order_acq_rel)) {}

ScopedReporter::~ScopedReporter() { installed.store(previous_, std::memory_order_release); }

void ShowError(std::string_view text, MessageIcon icon) {
    CurrentReporter().ShowBox("Error", text, icon);
}

void ShowWarning(std::string_view text, std::string_view caption, MessageIcon icon) {
    CurrentReporter().ShowWarningBox(caption, text, icon);
}

bool Confirm(std::string_view text) { return CurrentReporter().AskYesNo("Confirm", text); }

void ShowMessage(std::string_view text) {
    CurrentReporter().ShowBox(ApplicationTitle, text, MessageIcon::None);
}

} // namespace sonlet
