// The "Keyboard" tab edits the key map and plays what it edits; the "Instument" tab's vibrato,
// name and envelope point menu, and the sample list's rename, each make one edit.
#include "FrameTestKit.h"
#include "MainWindowTestKit.h"
#include "edit/KeyMapCommand.h"
#include "model/KeyRanges.h"
#include "ui/EnvPanel.h"
#include "ui/KeyboardPanel.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>
#include <QTest>

namespace sonlet::uitest {
namespace {

QAction* Item(QMenu& menu, const QString& text) {
    for (QAction* action : menu.actions()) {
        if (action->text() == text) {
            return action;
        }
    }
    return nullptr;
}

// Types text as a keyboard layout that has these characters would.
void Type(QWidget& widget, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(&widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(&widget, &release);
    }
}

class KeyboardTabTest : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        MakeWindow();
        frame = window->Sonlet;
        AddSample(Inst(), 300);
        AddSample(Inst(), 200);
        frame->RefreshInstrument();
    }
    TInstrument& Inst() { return *frame->Instrument(); }
    TKeyboardPanel& Keys() { return *frame->Keyboard; }
    QPoint At(int note) {
        return Keys().KeyRect(note).center() + QPoint(0, Keys().KeyRect(note).height() / 3);
    }
    void Click(int note, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::mousePress(&Keys(), Qt::LeftButton, modifiers, At(note));
        QTest::mouseRelease(&Keys(), Qt::LeftButton, modifiers, At(note));
    }
    void SelectSample(int index) { frame->lbSamples->setCurrentRow(index); }

    TfrSonlet* frame = nullptr;
};

TEST_F(KeyboardTabTest, KeysAreGivenByClickDragAndMenuAndPlayWhileHeld) {
    frame->PageControl1->setCurrentWidget(frame->pnPiano);
    QApplication::processEvents();
    ASSERT_GE(Keys().width(), 500); // a piano one can read at the window's own size
    EXPECT_EQ(Keys().Keys(), KeyMap{});
    EXPECT_EQ(frame->lbKeyRange->text().left(27), "Sample 3 plays no note.  Cl");

    // A press gives the key to the current sample and sounds it until the release.
    QTest::mousePress(&Keys(), Qt::LeftButton, Qt::NoModifier, At(49));
    EXPECT_EQ(Inst().Keys()[49], 2);
    EXPECT_EQ(CountNotes(*window->Player, frame->Slot, 49).held, 1);
    ASSERT_TRUE(testkit::ProcessEventsUntil([&] { return Keys().Sounding()[49]; }));
    QTest::mouseRelease(&Keys(), Qt::LeftButton, Qt::NoModifier, At(49));
    EXPECT_EQ(CountNotes(*window->Player, frame->Slot, 49).released, 1);

    // Shift plays without giving.
    SelectSample(1);
    Click(30, Qt::ShiftModifier);
    EXPECT_EQ(Inst().Keys()[30], 0);
    EXPECT_EQ(CountNotes(*window->Player, frame->Slot, 30).released, 1);

    // A drag gives every key it passes, in one step that takes the whole drag back. The
    // steps are folded here as the edit history folds them.
    const KeyMap beforeDrag = Inst().Keys();
    std::unique_ptr<TEditCommand> folded;
    int separateSteps = 0;
    Keys().OnEdit = [&](std::unique_ptr<TEditCommand> command) {
        ASSERT_TRUE(command->Apply(Inst()));
        if (!folded || !folded->Absorb(*command)) {
            ++separateSteps;
            folded = std::move(command);
        }
        frame->RefreshInstrument();
    };
    QTest::mousePress(&Keys(), Qt::LeftButton, Qt::NoModifier, At(24));
    QTest::mouseMove(&Keys(), At(27));
    QTest::mouseMove(&Keys(), At(35));
    QTest::mouseRelease(&Keys(), Qt::LeftButton, Qt::NoModifier, At(35));
    EXPECT_EQ(SampleRangesText(Inst().Keys(), 1), "C-2..B-2");
    EXPECT_TRUE(frame->lbKeyRange->text().startsWith("Sample 2 plays C-2..B-2."));
    ASSERT_TRUE(folded);
    EXPECT_EQ(separateSteps, 1);
    folded->Revert(Inst());
    EXPECT_EQ(Inst().Keys(), beforeDrag);
    folded->Apply(Inst());
    for (int note = 24; note <= 35; ++note) {
        EXPECT_EQ(CountNotes(*window->Player, frame->Slot, note).held, 0) << note;
    }
    Keys().OnEdit = [this](std::unique_ptr<TEditCommand> command) {
        frame->Perform(std::move(command));
    };

    // The menu maps the rest of the run a key stands in, or all notes.
    Item(*Keys().NoteMenu(60), "Map from here to the next sample's keys")->trigger();
    EXPECT_EQ(KeyRangesText(Inst().Keys()),
              "C-0..B-1: 1, C-2..B-2: 2, C-3..C-4: 1, C#4: 3, D-4..B-4: 1, C-5..B-7: 2");
    SelectSample(2);
    Item(*Keys().NoteMenu(72), "Map from here to the next sample's keys")->trigger();
    EXPECT_EQ(SampleRangesText(Inst().Keys(), 2), "C#4, C-6..B-7");
    SelectSample(1);
    Item(*Keys().NoteMenu(10), "Map all notes to this sample")->trigger();
    EXPECT_EQ(KeyRangesText(Inst().Keys()), "C-0..B-7: 2");

    // Hovering names the key and its sample; deleting a sample hands its keys on.
    QString hovered;
    Keys().OnHover = [&](const QString& text) { hovered = text; };
    QTest::mouseMove(&Keys(), At(61));
    EXPECT_EQ(hovered, "C#5: sample 2");
    SelectSample(0);
    frame->tbSampleCutClick();
    EXPECT_EQ(KeyRangesText(Inst().Keys()), "C-0..B-7: 1");
    EXPECT_EQ(Inst().SampleCount, 2);
    EXPECT_TRUE(reporter.Messages().empty());
}

TEST_F(KeyboardTabTest, VibratoNamesAndEnvelopeMarkersAreEdits) {
    frame->PageControl1->setCurrentWidget(frame->pnInstrument);
    // A file's vibrato beyond the controls is shown at their bounds and kept until changed.
    Inst().SetAutoVibrato({6, 200, 40, 99});
    frame->RefreshInstrument();
    EXPECT_EQ(frame->cbVibratoType->currentText(), "Ramp up");
    EXPECT_EQ(frame->seVibratoDepth->value(), 15);
    EXPECT_EQ(frame->seVibratoRate->value(), 63);
    frame->seVibratoSweep->setValue(12);
    EXPECT_EQ(Inst().AutoVibrato(), (Vibrato{6, 12, 40, 99}));
    frame->seVibratoDepth->stepDown();
    frame->cbVibratoType->setCurrentIndex(1);
    emit frame->cbVibratoType->activated(1);
    EXPECT_EQ(Inst().AutoVibrato(), (Vibrato{1, 12, 14, 99}));

    // The name field takes the code page's characters and refuses others as typed.
    frame->edInstrumentName->setFocus(Qt::MouseFocusReason);
    Type(*frame->edInstrumentName, QString::fromUtf8("Caf\u00e9 \u20ac1"));
    EXPECT_EQ(Inst().InstrumentName, "Caf\xE9 1");
    Type(*frame->edInstrumentName, "234567890123456789");
    EXPECT_EQ(Inst().InstrumentName.size(), 22u);

    // A sample is renamed in the list, by F2 as by a double click.
    SelectSample(1);
    frame->lbSamples->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(frame->lbSamples, Qt::Key_F2);
    auto* editor = frame->lbSamples->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, "Low strings");
    QTest::keyClick(editor, Qt::Key_Return);
    ASSERT_TRUE(testkit::ProcessEventsUntil(
        [&] { return Inst().Samples[1]->SampleName == "Low strings"; }));
    EXPECT_EQ(frame->lbSamples->item(1)->text(), "2:Low strings");
    EXPECT_EQ(Inst().Samples[1]->XiHeader[18], 'L');

    // A new envelope's sustain lands on a point; a point's menu moves the markers.
    TEnvelopePanel& env = *frame->envVol;
    for (const int fifth : {1, 2, 3, 4}) {
        Press(env, {env.width() * fifth / 5, 20});
        Release(env, {env.width() * fifth / 5, 20});
    }
    ASSERT_EQ(Inst().VolEnv.Count, 4);
    frame->cbVESustain->click();
    EXPECT_EQ(Inst().VolEnv.Sustain, 0);
    std::unique_ptr<QMenu> menu = env.PointMenu(2);
    ASSERT_NE(menu, nullptr);
    Item(*menu, "Sustain here")->trigger();
    EXPECT_EQ(Inst().VolEnv.Sustain, 2);
    Item(*env.PointMenu(3), "Loop end here")->trigger();
    Item(*env.PointMenu(1), "Loop start here")->trigger();
    EXPECT_EQ(Inst().VolEnv.LoopStart, 1);
    EXPECT_EQ(Inst().VolEnv.LoopEnd, 3);
    EXPECT_TRUE(frame->cbVELoop->isChecked());
    Item(*env.PointMenu(3), "Delete point")->trigger();
    EXPECT_EQ(Inst().VolEnv.Count, 3);
    EXPECT_EQ(Inst().VolEnv.LoopEnd, 2);
    EXPECT_FALSE(Item(*env.PointMenu(0), "Delete point")->isEnabled());
    EXPECT_EQ(env.PointMenu(3), nullptr);

    // What Save writes.
    frame->SaveDialog.FileName.clear();
    answers = {QString::fromStdString(home.File("out.xi"))};
    frame->mniSaveAs->trigger();
    const std::vector<std::uint8_t> bytes = testkit::ReadAll(home.File("out.xi"));
    ASSERT_GT(bytes.size(), 298u + 120);
    EXPECT_EQ(bytes[66 + 202], 1);
    EXPECT_EQ(bytes[66 + 203], 12);
    EXPECT_EQ(bytes[66 + 194], 2);
    EXPECT_EQ(std::string(bytes.begin() + 21, bytes.begin() + 25), "Caf\xE9");
    EXPECT_EQ(std::string(bytes.begin() + 298 + 40 + 18, bytes.begin() + 298 + 40 + 29),
              "Low strings");
    EXPECT_TRUE(reporter.Messages().empty());
}

} // namespace
} // namespace sonlet::uitest
