#include "FrameTestKit.h"
#include "MainWindowTestKit.h"
#include "support/FileIO.h"

#include <QDialog>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <filesystem>

namespace sonlet::uitest {
namespace {

class FrameCommandsTest : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        MakeWindow();
        frame = window->Sonlet;
    }
    TInstrument& Inst() { return *frame->Instrument(); }
    std::string WriteWav(const std::string& name, const std::vector<std::int16_t>& values) {
        return home.Write(
            name,
            testkit::WavBuilder::Pcm(1, 44100, 16).DataChunk(testkit::Le16Values(values)).Bytes());
    }
    QString Q(const std::string& path) { return QString::fromStdString(path); }

    TfrSonlet* frame = nullptr;
};

QStringList VisibleTexts(const QList<QAction*>& actions) {
    QStringList texts;
    for (const QAction* action : actions) {
        if (action->isVisible()) {
            texts << (action->isSeparator() ? QString("-") : action->text());
        }
    }
    return texts;
}

TEST_F(FrameCommandsTest, MenuBarAndToolBarAsTheProgramShowsThem) {
    EXPECT_EQ(VisibleTexts(window->menuBar()->actions()),
              (QStringList{"File", "&Edit", "View", "Function", "Audio", "Options", "Help"}));
    EXPECT_EQ(VisibleTexts(frame->mniFile->actions()),
              (QStringList{"New", "Open", "Save", "Save As .XI...", "-", "Exit"}));
    EXPECT_EQ(VisibleTexts(frame->mniEdit->actions()),
              (QStringList{"Undo", "Redo", "-", "Cu&t", "&Copy", "&Paste", "Paste Mix", "Crop",
                           "Delete", "Select All"}));
    EXPECT_EQ(VisibleTexts(frame->mniView->actions()),
              (QStringList{"Zoom", "Show peaks", "-", "File info", "Channels",
                           "Snap to zero crossings"}));
    EXPECT_EQ(VisibleTexts(frame->mniZoom->actions()),
              (QStringList{"Zoom in", "Zoom out", "Original", "Zoom to selection"}));
    EXPECT_EQ(VisibleTexts(frame->mniFunction->actions()), (QStringList{"Noise",
                                                                        "Silence",
                                                                        "Tone...",
                                                                        "-",
                                                                        "Invert",
                                                                        "Convert signed/unsigned",
                                                                        "Flip by zero",
                                                                        "Reverse",
                                                                        "-",
                                                                        "Swap channels",
                                                                        "Copy left to right",
                                                                        "Copy right to left",
                                                                        "-",
                                                                        "Volume...",
                                                                        "Normalize",
                                                                        "Fade in",
                                                                        "Fade out",
                                                                        "-",
                                                                        "Echo...",
                                                                        "-",
                                                                        "Resample...",
                                                                        "Convert to 8 bit",
                                                                        "Convert to 16 bit",
                                                                        "Convert to mono",
                                                                        "Convert to stereo",
                                                                        "Remove DC offset",
                                                                        "-",
                                                                        "Set loop to selection",
                                                                        "Trim after loop end",
                                                                        "Crossfade loop..."}));
    EXPECT_EQ(VisibleTexts(frame->mniAudio->actions()),
              (QStringList{"Play", "Stop", "-", "Tracker playback"}));
    EXPECT_EQ(VisibleTexts(frame->mniPlay->actions()),
              (QStringList{"-3 semitones", "-2 semitones", "-1 semitone", "Play as is",
                           "+1 semitone", "+2 semitones", "+3 semitones"}));
    EXPECT_EQ(VisibleTexts(window->Options1->actions()), (QStringList{"Color scheme"}));
    EXPECT_EQ(VisibleTexts(frame->mniHelp->actions()), (QStringList{"About..."}));
    EXPECT_EQ(frame->mniPlay->menuAction()->shortcut(), QKeySequence());
    EXPECT_EQ(window->N01->shortcut(), QKeySequence(Qt::Key_F5));
    EXPECT_EQ(frame->mniFileInfo->shortcut(), QKeySequence(Qt::Key_F3));
    EXPECT_EQ(frame->mniChannels->shortcut(), QKeySequence(Qt::Key_F4));

    QList<QAction*> shown;
    for (QAction* action : frame->ToolBar1->actions()) {
        if (action->isVisible()) {
            shown << (action->isSeparator() ? nullptr : action);
        }
    }
    ASSERT_EQ(shown.size(), 18);
    EXPECT_EQ(shown.mid(0, 9),
              (QList<QAction*>{frame->mniNew, frame->mniOpen, frame->tbSave, nullptr, frame->mniCut,
                               frame->mniCopy, frame->mniPaste, nullptr, frame->tbPlay}));
    EXPECT_EQ(shown[9], frame->mniStop);
    EXPECT_EQ(shown.mid(11, 3),
              (QList<QAction*>{frame->mniZoomIn, frame->mniZoomOut, frame->mniZoomToSelection}));
    EXPECT_EQ(shown[15], frame->mniOriginalZoom);
    EXPECT_FALSE(frame->tbLoop->isVisible());
    EXPECT_EQ(frame->tbFunction->menu(), frame->mniFunction);
    EXPECT_EQ(frame->ToolBar1->parentWidget(), frame->CoolBar1);
}

TEST_F(FrameCommandsTest, OpenDialogFiltersAndTheirQtForm) {
    EXPECT_EQ(frame->OpenDialog.Filter,
              "Supported files (*.wav, *.xi, *.sf2, *.sf3, *.dls)|*.wav; *.xi; *.sf2; *.sf3; "
              "*.dls|All files (*.*)|*.*");
    EXPECT_EQ(QtNameFilters(frame->OpenDialog.Filter),
              (QStringList{"Supported files (*.wav, *.xi, *.sf2, *.sf3, *.dls) (*.wav *.xi *.sf2 "
                           "*.sf3 *.dls)",
                           "All files (*.*) (*)"}));
    EXPECT_EQ(QtNameFilters(frame->SaveDialog.Filter), (QStringList{"Xi files (*.xi) (*.xi)"}));
}

TEST_F(FrameCommandsTest, CancelledOpenChangesNothing) {
    frame->ZoomIn();
    const std::int64_t frames = frame->Sample()->NumFrames;
    frame->mniOpen->trigger();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_FALSE(dialogs[0].ForSave);
    EXPECT_EQ(frame->Sample()->NumFrames, frames);
    EXPECT_DOUBLE_EQ(ZoomFactor, 2.0);
    EXPECT_TRUE(reporter.Messages().empty());
}

TEST_F(FrameCommandsTest, OpenWavKeepsEnvelopesAndZoomAndShowsTheNewSample) {
    Inst().VolEnv.Count = 3;
    Inst().Fadeout = 300;
    frame->ZoomIn();
    answers = {Q(WriteWav("a.wav", {1000, 2000, 3000, 4000, 5000}))};
    frame->mniOpen->trigger();
    EXPECT_EQ(Inst().SampleCount, 1);
    EXPECT_EQ(frame->Sample()->NumFrames, 5);
    EXPECT_EQ(Inst().VolEnv.Count, 3);
    EXPECT_DOUBLE_EQ(ZoomFactor, 2.0);
    EXPECT_TRUE(frame->lbNumFrames->text().contains("5"));
    EXPECT_TRUE(reporter.Messages().empty());
}

TEST_F(FrameCommandsTest, FailedOpenKeepsTheInstrumentAndTheView) {
    {
        InstrumentEditGuard guard(Inst().EditLock());
        for (int i = 0; i < 3; ++i) {
            AddSample(Inst(), 100 + i);
        }
        Inst().SetCurrentSample(2);
        Inst().CurrentSample()->SetMarkA(10);
        Inst().CurrentSample()->SetMarkB(20);
    }
    frame->RefreshInstrument();
    frame->ZoomIn();
    const double zoom = ZoomFactor;
    answers = {Q(home.Write("deep.wav", testkit::WavBuilder::Pcm(2, 48000, 24)
                                            .DataChunk(std::vector<std::uint8_t>(60))
                                            .Bytes())),
               Q(home.File("missing.wav"))};
    frame->mniOpen->trigger();
    frame->mniOpen->trigger();
    EXPECT_EQ(reporter.Texts(),
              (std::vector<std::string>{"Format not supported", "File not found"}));
    EXPECT_EQ(Inst().SampleCount, 4);
    EXPECT_EQ(Inst().CurrentIndex, 2);
    EXPECT_EQ(frame->lbSamples->count(), 4);
    EXPECT_EQ(frame->lbSamples->currentRow(), 2);
    EXPECT_EQ(frame->Sample()->NumFrames, 101);
    EXPECT_EQ(frame->Sample()->SelStart, 10);
    EXPECT_EQ(frame->Sample()->SelEnd, 20);
    EXPECT_DOUBLE_EQ(ZoomFactor, zoom);
    EXPECT_TRUE(frame->lbNumFrames->text().contains("101"));
}

TEST_F(FrameCommandsTest, SaveAsWritesXiAlsoForANameWithoutExtension) {
    answers = {Q(WriteWav("a.wav", {1000, -2000, 3000})), Q(home.File("lead"))};
    frame->mniOpen->trigger();
    frame->mniSaveAs->trigger();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(home.File("lead.xi")));
    EXPECT_FALSE(std::filesystem::exists(home.File("lead")));

    // What was saved reads back as the same sample.
    frame->mniNew->trigger();
    answers = {Q(home.File("lead.xi"))};
    frame->mniOpen->trigger();
    EXPECT_EQ(frame->Sample()->NumFrames, 3);
    EXPECT_EQ(frame->Sample()->GetValue(1), -2000);
    EXPECT_TRUE(reporter.Messages().empty());
}

// The sample list's Open adds an audio file (any rate, tuned to it) or an XI file's samples
// after the current ones; its Save writes the current sample as WAV at the rate its tuning
// plays; at 16 samples Open says so and asks for no file.
TEST_F(FrameCommandsTest, SampleListOpenAddsAudioAndXiSamplesAndSaveWritesTheSample) {
    const std::string wav = home.Write(
        "Cello take.wav",
        testkit::WavBuilder::Pcm(1, 48000, 16).DataChunk(testkit::Le16Values({7, -7, 9})).Bytes());
    answers = {Q(wav)};
    frame->tbSampleOpen->trigger();
    ASSERT_EQ(Inst().SampleCount, 2);
    EXPECT_EQ(Inst().CurrentIndex, 1);
    EXPECT_EQ(frame->Sample()->SampleName, "Cello take");
    EXPECT_EQ(frame->Sample()->GetValue(1), -7);
    EXPECT_EQ(frame->Sample()->Transpose, 1);
    EXPECT_EQ(frame->Sample()->Finetune, 60);
    EXPECT_EQ(frame->lbSamples->count(), 2);
    EXPECT_TRUE(dialogs.back().Filter.startsWith("Audio files (*.wav *.wave *.aif"));

    answers = {Q(home.File("out"))};
    frame->tbSampleSave->trigger();
    TSample back;
    back.LoadFromWav(home.File("out.wav"));
    EXPECT_EQ(back.Format.nSamplesPerSec, 48000u);
    EXPECT_EQ(back.NumFrames, 3);
    EXPECT_EQ(back.GetValue(2), 9);

    answers = {Q(home.File("two.xi"))};
    frame->mniSaveAs->trigger();
    answers = {Q(home.File("two.xi"))};
    frame->tbSampleOpen->trigger();
    EXPECT_EQ(Inst().SampleCount, 4);
    EXPECT_EQ(Inst().CurrentIndex, 3);
    EXPECT_EQ(frame->Sample()->GetValue(0), 7);
    EXPECT_TRUE(reporter.Messages().empty());

    while (!Inst().IsFull()) {
        frame->tbSampleNew->trigger();
    }
    const std::size_t asked = dialogs.size();
    frame->tbSampleOpen->trigger();
    EXPECT_EQ(dialogs.size(), asked);
}

// Before: a name with another extension saved nothing and said nothing, so the user believed
// the work was saved.
TEST_F(FrameCommandsTest, SaveAsSuppliesTheXiExtensionAndAsksBeforeReplacing) {
    for (const char* typed : {"mybass.wav", "upright.bass.v2", "TONE.XI"}) {
        answers = {Q(home.File(typed))};
        frame->mniSaveAs->trigger();
    }
    namespace fs = std::filesystem;
    EXPECT_TRUE(fs::exists(home.File("mybass.wav.xi")));
    EXPECT_FALSE(fs::exists(home.File("mybass.wav")));
    EXPECT_TRUE(fs::exists(home.File("upright.bass.v2.xi")));
    EXPECT_TRUE(fs::exists(home.File("TONE.XI")));
    EXPECT_FALSE(fs::exists(home.File("TONE.XI.xi")));
    EXPECT_TRUE(reporter.Messages().empty());

    // The dialog leaves the question to the command, which asks about the name it writes.
    EXPECT_FALSE(frame->SaveDialog.ConfirmOverwrite);
    const std::string old = home.Write("old.xi", std::vector<std::uint8_t>{1, 2, 3});
    answers = {Q(old)};
    frame->mniSaveAs->trigger();
    EXPECT_EQ(testkit::ReadAll(old), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(reporter.Texts(), std::vector<std::string>{"old.xi already exists. Replace it?"});
    reporter.ScriptAnswers({true});
    answers = {Q(old)};
    frame->mniSaveAs->trigger();
    EXPECT_EQ(testkit::ReadAll(old).size(), 298u + 40 + 16384);
}

TEST_F(FrameCommandsTest, NewGivesOneSilentSample) {
    answers = {Q(WriteWav("a.wav", {1000, 2000, 3000}))};
    frame->mniOpen->trigger();
    frame->mniNew->trigger();
    EXPECT_EQ(Inst().SampleCount, 1);
    EXPECT_EQ(frame->Sample()->NumFrames, 4096);
    EXPECT_EQ(frame->Sample()->GetValue(10), 0);
}

TEST_F(FrameCommandsTest, InvertWithoutMarksChangesEveryValueAndReverseTheOrder) {
    answers = {Q(WriteWav("a.wav", {1000, -2000, 3000, 0}))};
    frame->mniOpen->trigger();
    frame->Sample()->ClearMarks();
    frame->mniInvert->trigger();
    const TSample& s = *frame->Sample();
    EXPECT_EQ(s.GetValue(0), -1000);
    EXPECT_EQ(s.GetValue(1), 2000);
    EXPECT_EQ(s.GetValue(3), 0);
    // The old operation flips the top bit: v becomes v - 32768.
    frame->mniSignFlip->trigger();
    EXPECT_EQ(frame->Sample()->GetValue(0), -1000 + 32768);
    frame->mniReverse->trigger();
    EXPECT_EQ(frame->Sample()->GetValue(0), -32768);
    EXPECT_EQ(frame->Sample()->GetValue(3), -1000 + 32768);
}

TEST_F(FrameCommandsTest, VolumeDialogPreviewsAnEditedCopyAndOkMakesTheEdit) {
    answers = {Q(WriteWav("a.wav", {1000, -2000, 3000, 0}))};
    frame->mniOpen->trigger();
    bool previewed = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        const auto gains = dialog->findChildren<QDoubleSpinBox*>();
        ASSERT_EQ(gains.size(), 2);
        gains[0]->setValue(50);
        gains[1]->setValue(50);
        for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
            if (button->text() == "Preview") {
                button->click();
            }
        }
        // The copy that plays is edited; the sample is not, until OK.
        EXPECT_EQ(frame->PreviewInstrument.Samples[0]->GetValue(0), 500);
        EXPECT_EQ(frame->Sample()->GetValue(0), 1000);
        previewed = true;
        dialog->accept();
    });
    frame->mniVolume->trigger();
    EXPECT_TRUE(previewed);
    EXPECT_EQ(frame->Sample()->GetValue(0), 500);
    EXPECT_EQ(frame->Sample()->GetValue(1), -1000);
    EXPECT_EQ(frame->PreviewInstrument.Samples[0]->NumFrames, 0); // the preview has ended
    QSettings ini(QString::fromStdString(SettingsPath()), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Functions/VolumeStart").toDouble(), 50.0);
    // Swap channels is greyed for this mono sample.
    frame->UpdateFunctionItems();
    EXPECT_FALSE(frame->mniSwapChannels->isEnabled());
}

TEST_F(FrameCommandsTest, FileInfoReportsTheCurrentSampleAndChannelsTheVoices) {
    answers = {Q(WriteWav("a.wav", {1, 2, 3}))};
    frame->mniOpen->trigger();
    frame->mniFileInfo->trigger();
    ASSERT_EQ(reporter.Messages().size(), 1u);
    EXPECT_EQ(reporter.Texts()[0], frame->Sample()->InfoText());

    frame->mniChannels->trigger();
    ASSERT_EQ(reporter.Messages().size(), 2u);
    EXPECT_EQ(reporter.Texts()[1], window->Player->VoiceStatusText());
}

TEST_F(FrameCommandsTest, WithoutPlayerPlayStopAndChannelsDoNothing) {
    frame->SetPlayer(nullptr);
    frame->tbPlay->trigger();
    frame->mniStop->trigger();
    frame->mniChannels->trigger();
    EXPECT_TRUE(reporter.Messages().empty());
    EXPECT_EQ(CountNotes(*window->Player, frame->Slot, 60).held, 0);
}

} // namespace
} // namespace sonlet::uitest
