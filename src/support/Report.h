#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sonlet {

enum class MessageIcon { None, Information, Warning, Error, Question };

// Every message the user must see goes through one Reporter: the editor shows message
// boxes, the command-line tool prints to stderr, tests capture the messages.
// Implementations must accept calls from any thread; a GUI implementation shows the box
// on its own thread and makes the caller wait until it is dismissed.
class Reporter {
public:
    virtual ~Reporter() = default;

    // A box with one OK button.
    virtual void ShowBox(std::string_view caption, std::string_view text, MessageIcon icon) = 0;
    // A box about a problem the operation got past: it went on and left a usable result.
    // Reporters that must tell warnings from failures (the command-line tool's exit status
    // does) override it; the others show it as any box.
    virtual void ShowWarningBox(std::string_view caption, std::string_view text, MessageIcon icon) {
        ShowBox(caption, text, icon);
    }
    // A Yes/No question; true only for Yes.
    virtual bool AskYesNo(std::string_view caption, std::string_view text) = 0;
    // A warning with Retry and Ignore; true for Retry.
    virtual bool AskRetryIgnore(std::string_view caption, std::string_view text) = 0;
};

// Writes every message to stderr and answers every question with No / Ignore.
class StderrReporter final : public Reporter {
public:
    void ShowBox(std::string_view caption, std::string_view text, MessageIcon icon) override;
    // Prints "warning: " and the text.
    void ShowWarningBox(std::string_view caption, std::string_view text, MessageIcon icon) override;
    bool AskYesNo(std::string_view caption, std::string_view text) override;
    bool AskRetryIgnore(std::string_view caption, std::string_view text) override;
};

// The process-wide reporter; a StderrReporter until SetReporter installs another.
Reporter& CurrentReporter();
// Installs reporter (not owned; it must outlive its use). nullptr restores the default.
void SetReporter(Reporter* reporter);

// Installs a reporter for the lifetime of the guard and restores the previous one after.
class ScopedReporter {
public:
    explicit ScopedReporter(Reporter& reporter);
    ~ScopedReporter();
    ScopedReporter(const ScopedReporter&) = delete;
    ScopedReporter& operator=(const ScopedReporter&) = delete;

private:
    Reporter* previous_;
};

// Holds back the boxes that ShowError, ShowWarning and ShowMessage raise on this thread
// while it lives, and shows them in order when it goes, so a command can finish its work
// and show its result before the user reads about it. Other threads' boxes and questions
// are never held. Holders nest: an inner one hands its boxes to the outer one.
class HeldMessages {
public:
    HeldMessages();
    ~HeldMessages();
    HeldMessages(const HeldMessages&) = delete;
    HeldMessages& operator=(const HeldMessages&) = delete;

    // Keeps one box for later; used by the helpers below.
    void Hold(std::string_view caption, std::string_view text, MessageIcon icon, bool warning);

private:
    struct Box {
        std::string caption;
        std::string text;
        MessageIcon icon;
        bool warning;
    };
    std::vector<Box> boxes_;
    HeldMessages* previous_;
};

// The error box of the model: caption "Error", OK button.
void ShowError(std::string_view text, MessageIcon icon = MessageIcon::Information);
// A warning: the operation went on with a usable result (Reporter::ShowWarningBox).
void ShowWarning(std::string_view text, std::string_view caption = "Warning",
                 MessageIcon icon = MessageIcon::Warning);
// The confirmation box: caption "Confirm", Yes and No; true only for Yes.
bool Confirm(std::string_view text);
// The toolkit's plain message box (no icon, the application's title as caption).
void ShowMessage(std::string_view text);

// Caption of plain message boxes.
inline constexpr std::string_view ApplicationTitle = "Tulvo Sonlet";

} // namespace sonlet
