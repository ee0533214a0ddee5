// The Edit menu in the running window: shortcuts, the focus rule, Undo and Redo named after
// the step, Save that remembers its file, the title, and the question before changes are lost.
#include "MainWindowTestKit.h"
#include "TempDir.h"
#include "ui/SaveQuestion.h"

#include <QAction>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

namespace sonlet::uitest {
namespace {

using testkit::ProcessEventsUntil;

class EditMenuTest : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        previousQuestion = SetSaveQuestionRunner([this](const QString& name) {
            questions.push_back(name);
            return answer;
        });
    }
    void TearDown() override {
        SetSaveQuestionRunner(previousQuestion);
        MainWindowFixture::TearDown();
    }
    void Focus(QWidget& control) {
        window->activateWindow();
        QApplication::setActiveWindow(window.get());
        control.setFocus(Qt::MouseFocusReason);
        ASSERT_TRUE(ProcessEventsUntil([&] {
            QWidget* focus = QApplication::focusWidget();
            return focus == &control || (focus != nullptr && control.focusProxy() == focus);
        }));
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus != nullptr ? focus : window.get(), key, modifiers);
    }
    TfrSonlet& Frame() { return *window->Sonlet; }
    TSample& Sample() { return *Frame().Sample(); }
    void Select(std::int64_t a, std::int64_t b) {
        Sample().SetMarkA(a);
        Sample().SetMarkB(b);
    }

    testkit::TempDir files;
    std::vector<QString> questions;
    SaveAnswer answer = SaveAnswer::Cancel;
    SaveQuestionRunner previousQuestion;
};

TEST_F(EditMenuTest, ShortcutsFocusRuleUndoNamesSaveAndTitle) {
    MakeWindow();
    const QString dash = QString::fromUtf8(" \u2013 Tulvo Sonlet");
    EXPECT_EQ(window->windowTitle(), "Tulvo Sonlet");
    EXPECT_FALSE(Frame().mniUndo->isEnabled());
    Focus(*Frame().Panel);
    const std::int64_t frames = Sample().NumFrames;

    Select(100, 199);
    Key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(Sample().NumFrames, frames - 100);
    EXPECT_EQ(Frame().mniUndo->text(), "Undo Cut");
    EXPECT_EQ(window->windowTitle(), "Untitled*" + dash);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Sample().NumFrames, frames);
    // The undone cut shows its frames selected again.
    EXPECT_EQ(Sample().SelStart, 100);
    EXPECT_EQ(Sample().SelEnd, 199);
    EXPECT_FALSE(Frame().mniUndo->isEnabled());
    EXPECT_EQ(Frame().mniRedo->text(), "Redo Cut");
    EXPECT_EQ(window->windowTitle(), "Tulvo Sonlet");
    Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Sample().NumFrames, frames - 100);
    Key(Qt::Key_V, Qt::ControlModifier); // no mark left: appended
    EXPECT_EQ(Sample().NumFrames, frames);
    Key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Sample().SelEnd, frames - 1);

    // A text box keeps every Edit key; a slider the sample's keys, while Undo still undoes.
    QSpinBox& transpose = *Frame().udTransposeSample;
    Focus(transpose);
    QLineEdit& edit = *transpose.findChild<QLineEdit*>();
    Key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(edit.hasSelectedText());
    Key(Qt::Key_Delete);
    Key(Qt::Key_X, Qt::ControlModifier);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Sample().NumFrames, frames);
    EXPECT_EQ(Frame().mniUndo->text(), "Undo Paste");
    Focus(*Frame().tbVolume);
    Key(Qt::Key_Delete);
    EXPECT_EQ(Sample().NumFrames, frames);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Sample().NumFrames, frames - 100);

    // Save As names the file; Save then writes it at once.
    Focus(*Frame().Panel);
    answers = {QString::fromStdString(files.File("piano.xi"))};
    Key(Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(window->windowTitle(), "piano.xi" + dash);
    Select(0, 9);
    Key(Qt::Key_Delete);
    EXPECT_EQ(window->windowTitle(), "piano.xi*" + dash);
    Frame().tbSave->trigger();
    EXPECT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(window->windowTitle(), "piano.xi" + dash);
    TInstrument saved;
    ASSERT_TRUE(saved.LoadFromFile(files.File("piano.xi")));
    EXPECT_EQ(saved.CurrentSample()->DataSize, Sample().DataSize);

    // The clipboard outlives the instrument it came from.
    Select(0, 49);
    Key(Qt::Key_C, Qt::ControlModifier);
    Frame().mniNew->trigger();
    EXPECT_TRUE(questions.empty());
    EXPECT_EQ(window->windowTitle(), "Tulvo Sonlet");
    Select(0, 0);
    Sample().MarkB = -1;
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Sample().NumFrames, 4096 + 50);
    EXPECT_TRUE(reporter.Messages().empty());
}

TEST_F(EditMenuTest, CloseQuestionCancelKeepsEverythingAndSaveGoesOnOnlyWhenWritten) {
    MakeWindow();
    Focus(*Frame().Panel);
    Select(0, 999);
    Key(Qt::Key_Delete);
    const std::int64_t frames = Sample().NumFrames;

    answer = SaveAnswer::Cancel;
    window->close();
    Frame().mniNew->trigger();
    answers = {QString::fromStdString(files.File("other.xi"))};
    Frame().mniOpen->trigger();
    ASSERT_EQ(questions.size(), 3u);
    EXPECT_EQ(questions[0], "Untitled");
    EXPECT_TRUE(dialogs.empty()); // Open asks before its dialog
    EXPECT_FALSE(window->Closing);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(Sample().NumFrames, frames);
    EXPECT_TRUE(Frame().mniUndo->isEnabled());

    // Save whose dialog is cancelled writes nothing, so the close stops too.
    answer = SaveAnswer::Save;
    answers.clear();
    window->close();
    EXPECT_EQ(dialogs.size(), 1u);
    EXPECT_FALSE(window->Closing);
    // Saved, the close goes on through the handshake, asking nothing more.
    answers = {QString::fromStdString(files.File("kept.xi"))};
    window->close();
    EXPECT_TRUE(window->Closing);
    EXPECT_TRUE(ProcessEventsUntil([&] { return !window->isVisible(); }));
    EXPECT_EQ(questions.size(), 5u);
    TInstrument kept;
    ASSERT_TRUE(kept.LoadFromFile(files.File("kept.xi")));
    EXPECT_EQ(kept.CurrentSample()->DataSize, frames * 4);
}

} // namespace
} // namespace sonlet::uitest
