#pragma once

#include "CapturingReporter.h"
#include "QtTestApp.h"
#include "TempDir.h"
#include "TestOutputRing.h"
#include "WavBuilder.h"
#include "playback/Player.h"
#include "ui/Frame.h"
#include "ui/FrameCommands.h"
#include "ui/MainWindow.h"
#include "ui/logic/WaveWindow.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <vector>

namespace sonlet::uitest {

struct NoteCount {
    int held = 0;
    int released = 0;
};

// How many voices of this slot and note the player holds or has released.
inline NoteCount CountNotes(const TWavePlayer& player, const InstrumentSlot& slot, int note) {
    NoteCount count;
    for (std::int32_t i = 0; i < VoiceCount; ++i) {
        const VoiceState voice = player.Voices().Read(i);
        if (voice.Slot != &slot || voice.Note != note) {
            continue;
        }
        count.held += voice.Status == VoiceHeld ? 1 : 0;
        count.released += voice.Status == VoiceReleased ? 1 : 0;
    }
    return count;
}

// A main window on the deterministic output ring, with its settings in a fresh folder,
// messages captured and the file dialogs answered by the test.
class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(home.Path().string()));
        ZoomFactor = 1.0;
        previousRunner = SetFileDialogRunner([this](const TFileDialog& dialog) {
            dialogs.push_back(dialog);
            std::optional<QString> answer;
            if (!answers.empty()) {
                answer = answers.front();
                answers.erase(answers.begin());
            }
            return answer;
        });
    }
    void TearDown() override {
        window.reset();
        SetFileDialogRunner(previousRunner);
        ZoomFactor = 1.0;
    }

    TfrmMain& MakeWindow() {
        window = std::make_unique<TfrmMain>([this] {
            auto made = std::make_unique<TestOutputRing>();
            ring = made.get();
            return made;
        });
        window->show();
        // The player thread clears every voice when it starts; a note sent before that
        // would vanish. Its first segment write comes after the clearing.
        if (window->HasPlayer()) {
            EXPECT_TRUE(ring->WaitForWrites(1));
        }
        return *window;
    }

    std::string SettingsPath() const { return home.File("Sonlet/sonlet.ini"); }

    // Runs the close handshake to its end.
    bool CloseCompletely() {
        window->close();
        return testkit::ProcessEventsUntil([this] { return !window->isVisible(); });
    }

    testkit::TempDir home;
    testkit::CapturingReporter reporter;
    std::unique_ptr<TfrmMain> window;
    TestOutputRing* ring = nullptr;
    std::vector<TFileDialog> dialogs;
    // Names the next dialogs return; none left means "cancelled".
    std::vector<QString> answers;
    FileDialogRunner previousRunner;
};

} // namespace sonlet::uitest
