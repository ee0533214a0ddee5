#include "support/Report.h"

#include <atomic>
#include <cstdio>

namespace sonlet {

namespace {

StderrReporter defaultReporter;
std::atomic<Reporter*> installed{nullptr};

thread_local HeldMessages* holding = nullptr;

void Raise(std::string_view caption, std::string_view text, MessageIcon icon, bool warning) {
    if (holding != nullptr) {
        holding->Hold(caption, text, icon, warning);
    } else if (warning) {
        CurrentReporter().ShowWarningBox(caption, text, icon);
    } else {
        CurrentReporter().ShowBox(caption, text, icon);
    }
}

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

HeldMessages::HeldMessages() : previous_(holding) { holding = this; }

HeldMessages::~HeldMessages() {
    holding = previous_;
    for (const Box& box : boxes_) {
        Raise(box.caption, box.text, box.icon, box.warning);
    }
}

void HeldMessages::Hold(std::string_view caption, std::string_view text, MessageIcon icon,
                        bool warning) {
    boxes_.push_back({std::string(caption), std::string(text), icon, warning});
}

void ShowError(std::string_view text, MessageIcon icon) { Raise("Error", text, icon, false); }

void ShowWarning(std::string_view text, std::string_view caption, MessageIcon icon) {
    Raise(caption, text, icon, true);
}

bool Confirm(std::string_view text) { return CurrentReporter().AskYesNo("Confirm", text); }

void ShowMessage(std::string_view text) { Raise(ApplicationTitle, text, MessageIcon::None, false); }

} // namespace sonlet
