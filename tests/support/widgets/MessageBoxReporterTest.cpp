#include "support/widgets/MessageBoxReporter.h"

#include "QtTestApp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace sonlet {
namespace {

using testkit::ProcessEventsUntil;

struct SeenBox {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool onGuiThread = false;
};

QMessageBox* OpenBox() { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()); }

// Waits (from a GUI-thread timer) for the next box, records it and presses one button.
void AnswerNextBox(SeenBox& seen, QMessageBox::StandardButton button) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, &seen, button] {
        QMessageBox* box = OpenBox();
        if (!box) {
            return;
        }
        seen = {box->windowTitle(), box->text(), box->icon(),
                QThread::currentThread() == qApp->thread()};
        box->button(button)->click();
        poll->deleteLater();
    });
    poll->start(5);
}

TEST(MessageBoxReporterTest, BoxesCarryCaptionTextIconAndAnswer) {
    MessageBoxReporter reporter;
    ScopedReporter scope(reporter);

    SeenBox seen;
    AnswerNextBox(seen, QMessageBox::Ok);
    ShowError("File not found");
    EXPECT_EQ(seen.caption, "Error");
    EXPECT_EQ(seen.text, "File not found");
    EXPECT_EQ(seen.icon, QMessageBox::Information);

    AnswerNextBox(seen, QMessageBox::Ok);
    reporter.ShowBox("Player", "Device lost", MessageIcon::Error);
    EXPECT_EQ(seen.icon, QMessageBox::Critical);

    AnswerNextBox(seen, QMessageBox::Yes);
    EXPECT_TRUE(Confirm("Are you sure?"));
    EXPECT_EQ(seen.caption, "Confirm");
    EXPECT_EQ(seen.icon, QMessageBox::Question);

    AnswerNextBox(seen, QMessageBox::No);
    EXPECT_FALSE(Confirm("Are you sure?"));

    AnswerNextBox(seen, QMessageBox::Retry);
    EXPECT_TRUE(reporter.AskRetryIgnore("Warning", "Cannot delete x"));
    AnswerNextBox(seen, QMessageBox::Ignore);
    EXPECT_FALSE(reporter.AskRetryIgnore("Warning", "Cannot delete x"));
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
}

TEST(MessageBoxReporterTest, CallFromAnotherThreadWaitsOnGuiThreadUntilDismissed) {
    MessageBoxReporter reporter;
    ScopedReporter scope(reporter);

    std::atomic<bool> returned{false};
    std::atomic<bool> answer{false};
    bool returnedWhileOpen = true;
    SeenBox seen;
    // The box runs its own event loop, so the answer comes from a timer inside it.
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [&, poll] {
        QMessageBox* box = OpenBox();
        if (!box) {
            return;
        }
        seen = {box->windowTitle(), box->text(), box->icon(), box->thread() == qApp->thread()};
        returnedWhileOpen = returned.load();
        box->button(QMessageBox::Yes)->click();
        poll->deleteLater();
    });
    poll->start(5);

    std::thread player([&] {
        answer = CurrentReporter().AskYesNo("Question", "From the player");
        returned = true;
    });
    EXPECT_TRUE(ProcessEventsUntil([&] { return returned.load(); }));
    player.join();
    EXPECT_EQ(seen.caption, "Question");
    EXPECT_EQ(seen.text, "From the player");
    EXPECT_TRUE(seen.onGuiThread);
    EXPECT_FALSE(returnedWhileOpen) << "the caller must wait while the box is open";
    EXPECT_TRUE(answer.load());
}

} // namespace
} // namespace sonlet
