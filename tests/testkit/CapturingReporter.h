#pragma once

#include "support/Report.h"

#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace sonlet::testkit {

struct CapturedMessage {
    std::string caption;
    std::string text;
    MessageIcon icon = MessageIcon::None;
    bool warning = false; // came through ShowWarningBox
    bool operator==(const CapturedMessage&) const = default;
};

// Records every message and answers questions from a script (default: No / Ignore).
// Installs itself for its lifetime.
class CapturingReporter final : public Reporter {
public:
    CapturingReporter() : scope_(*this) {}

    void ShowBox(std::string_view caption, std::string_view text, MessageIcon icon) override {
        std::lock_guard lock(mutex_);
        messages_.push_back({std::string(caption), std::string(text), icon});
    }
    void ShowWarningBox(std::string_view caption, std::string_view text,
                        MessageIcon icon) override {
        std::lock_guard lock(mutex_);
        messages_.push_back({std::string(caption), std::string(text), icon, true});
    }
    bool AskYesNo(std::string_view caption, std::string_view text) override {
        return Answer(caption, text, MessageIcon::Question);
    }
    bool AskRetryIgnore(std::string_view caption, std::string_view text) override {
        return Answer(caption, text, MessageIcon::Warning);
    }

    // Queues the answers of the next questions; true is Yes or Retry.
    void ScriptAnswers(std::initializer_list<bool> answers) {
        std::lock_guard lock(mutex_);
        answers_.insert(answers_.end(), answers);
    }
    std::vector<CapturedMessage> Messages() const {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    std::vector<std::string> Texts() const {
        std::lock_guard lock(mutex_);
        std::vector<std::string> texts;
        for (const auto& m : messages_) {
            texts.push_back(m.text);
        }
        return texts;
    }
    void Reset() {
        std::lock_guard lock(mutex_);
        messages_.clear();
        answers_.clear();
    }

private:
    bool Answer(std::string_view caption, std::string_view text, MessageIcon icon) {
        std::lock_guard lock(mutex_);
        messages_.push_back({std::string(caption), std::string(text), icon});
        if (answers_.empty()) {
            return false;
        }
        const bool answer = answers_.front();
        answers_.pop_front();
        return answer;
    }

    mutable std::mutex mutex_;
    std::vector<CapturedMessage> messages_;
    std::deque<bool> answers_;
    ScopedReporter scope_;
};

} // namespace sonlet::testkit
