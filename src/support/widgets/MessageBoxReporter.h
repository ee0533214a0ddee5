#pragma once

#include "support/Report.h"

#include <QObject>

namespace sonlet {

// Shows every message as a modal Qt message box with the caption and icon of the call.
// The boxes always open on the GUI thread: a call from another thread (the player) is
// handed over to the GUI thread and the caller waits until the user has dismissed the box.
// Create it on the GUI thread and install it with ScopedReporter or SetReporter.
class MessageBoxReporter final : public QObject, public Reporter {
    Q_OBJECT

public:
    explicit MessageBoxReporter(QObject* parent = nullptr);

    void ShowBox(std::string_view caption, std::string_view text, MessageIcon icon) override;
    bool AskYesNo(std::string_view caption, std::string_view text) override;
    bool AskRetryIgnore(std::string_view caption, std::string_view text) override;

private:
    enum class Kind { Ok, YesNo, RetryIgnore };
    bool Run(Kind kind, std::string_view caption, std::string_view text, MessageIcon icon);
    bool RunHere(Kind kind, const QString& caption, const QString& text, MessageIcon icon);
};

} // namespace sonlet
