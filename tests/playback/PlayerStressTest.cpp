// The player mixes while another thread plays notes and edits (also through the history:
// cut, paste, crop, depth conversion, undo and redo), loads, adds and deletes samples. Run under
// ThreadSanitizer this must report nothing; in any build it must not crash.
#include "CapturingReporter.h"
#include "TempDir.h"
#include "TestOutputRing.h"
#include "WavBuilder.h"
#include "edit/Clipboard.h"
#include "edit/History.h"
#include "edit/SampleCommands.h"
#include "model/Instrument.h"
#include "model/SampleConvert.h"
#include "playback/Player.h"

#include <atomic>
#include <gtest/gtest.h>
#include <random>
#include <thread>
#include <vector>

namespace sonlet {
namespace {

using namespace std::chrono_literals;

std::string WriteWav(const testkit::TempDir& dir) {
    std::vector<std::int16_t> values(2 * 3000);
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = static_cast<std::int16_t>((i * 2654435761u) >> 16);
    }
    const auto bytes =
        testkit::WavBuilder::Pcm(2, 44100, 16).DataChunk(testkit::Le16Values(values)).Bytes();
    return dir.Write("noise.wav", bytes);
}

// Loads replace the samples, or the whole instrument, while the player mixes; a failed one
// replaces nothing.
void Edit(TInstrument& instrument, std::mt19937& random, const std::vector<std::string>& files) {
    switch (random() % 9) {
    case 0:
        instrument.LoadFromFile(files[random() % files.size()]);
        break;
    case 1:
        instrument.AddSample();
        if (TSample* sample = instrument.CurrentSample()) {
            InstrumentEditGuard guard(instrument.EditLock());
            sample->MakeSilent();
        }
        break;
    case 2:
        instrument.DeleteSample(-1);
        break;
    case 3:
        instrument.SetCurrentSample(static_cast<std::int32_t>(random() % 4));
        break;
    case 4:
        instrument.InitNew();
        break;
    case 5: {
        InstrumentEditGuard guard(instrument.EditLock());
        if (TSample* sample = instrument.CurrentSample()) {
            const std::int64_t frames = 1 + random() % 20000;
            sample->SetFormat(2, 1 + random() % 2, 44100, frames * 4);
            sample->ValuesChanged(0, frames);
            sample->ClearMarks();
        }
        break;
    }
    case 6: {
        InstrumentEditGuard guard(instrument.EditLock());
        if (TSample* sample = instrument.CurrentSample()) {
            sample->SetLoopStart(random() % 3000);
            sample->SetLoopLength(static_cast<std::int64_t>(random() % 3000) - 100);
            sample->SetLoopType(static_cast<std::uint8_t>(random() % 3));
            sample->Volume = static_cast<std::uint8_t>(random() % 65);
        }
        break;
    }
    case 7: {
        TSample* sample = nullptr;
        {
            InstrumentEditGuard guard(instrument.EditLock());
            sample = instrument.CurrentSample();
            if (sample != nullptr) {
                sample->ApplyFunction(static_cast<std::int32_t>(random() % 5));
            }
        }
        // Painting reads the peaks without the lock while the player mixes.
        if (sample != nullptr) {
            static_cast<void>(sample->Peaks(1, 0, sample->NumFrames));
        }
        break;
    }
    default: {
        InstrumentEditGuard guard(instrument.EditLock());
        instrument.Fadeout = static_cast<std::uint16_t>(random() % 2048);
        break;
    }
    }
}

// Cut, paste, crop, depth conversion, their undo and redo give the current sample new storage while
// the player mixes it.
void HistoryEdit(TInstrument& instrument, THistory& history, TClip& clip, std::mt19937& random) {
    const std::int32_t index = instrument.CurrentIndex;
    TSample* sample = instrument.CurrentSample();
    switch (random() % 6) {
    case 0:
    case 1:
    case 2:
        if (random() % 3 == 2) {
            history.Redo(instrument);
        } else {
            history.Undo(instrument);
        }
        // Painting reads the peaks that came back with the sample, without the lock.
        if (const TSample* now = instrument.CurrentSample()) {
            static_cast<void>(now->Peaks(0, 0, now->NumFrames));
        }
        return;
    default:
        break;
    }
    if (sample == nullptr || sample->NumFrames < 2) {
        return;
    }
    {
        InstrumentEditGuard guard(instrument.EditLock());
        sample->SetMarkA(random() % sample->NumFrames);
        sample->SetMarkB(random() % sample->NumFrames);
    }
    if (const auto range = SelectedFrames(*sample); range && clip.Empty()) {
        clip = CopyFrames(*sample, *range);
    }
    std::unique_ptr<TEditCommand> command;
    switch (random() % 4) {
    case 0:
        command = MakeDelete(instrument, index);
        break;
    case 1:
        if (sample->NumFrames < 100000) {
            command = MakePaste(instrument, index, clip);
        }
        break;
    case 2: // a whole new sample in place of the old
        if (sample->NumFrames < 100000) {
            auto other = sample->BytesPerSample == 1 ? ConvertedTo16Bit(*sample)
                                                     : ConvertedTo8Bit(*sample, false);
            if (other) {
                command = std::make_unique<TReplaceSampleCommand>("Depth", index, std::move(other));
            }
        }
        break;
    default:
        command = MakeCrop(instrument, index);
        break;
    }
    history.Do(instrument, std::move(command));
}

TEST(PlayerStress, NotesAndEditsWhileMixing) {
    testkit::CapturingReporter reporter;
    testkit::TempDir dir;
    const std::string wav = WriteWav(dir);
    const std::string xi = dir.File("noise.xi");
    {
        TInstrument source;
        source.LoadFromFile(wav);
        source.AddWavSample(wav);
        source.SaveToFile(xi);
    }
    const std::vector<std::string> files = {wav, xi, dir.File("missing.xi")};
    TInstrument instrument;
    instrument.InitNew();
    InstrumentSlot keyboard{&instrument};
    InstrumentSlot frame{&instrument};

    auto owned = std::make_unique<TestOutputRing>();
    TestOutputRing& ring = *owned;
    auto player = TWavePlayer::Create(std::move(owned));
    ASSERT_TRUE(player);
    player->OutputGain = 0.5f;
    player->Resume();
    ASSERT_TRUE(ring.WaitForWrites(1));

    std::atomic<bool> done{false};
    std::thread clock([&] {
        for (std::size_t n = 1; !done.load(); ++n) {
            const auto segment = static_cast<std::int32_t>((n - 1) % SegmentCount);
            ring.AdvanceTo(static_cast<std::uint32_t>(segment * SegmentBytes + 2000));
            ring.EnterSegment(segment);
            if (!ring.WaitForWrites(n + 1)) {
                ADD_FAILURE() << "the player stopped writing";
                return;
            }
        }
    });

    std::mt19937 random(1234);
    THistory history;
    TClip clip;
    // At least 4000 steps, and on until the player has mixed 2000 segments meanwhile.
    for (int step = 0; step < 4000 || ring.WriteCount() < 2000; ++step) {
        InstrumentSlot& slot = random() % 2 ? keyboard : frame;
        const auto note = static_cast<std::int32_t>(48 + random() % 32);
        switch (random() % 6) {
        case 0:
        case 1:
            // Both playback modes mix side by side, also on a voice stolen from the other.
            player->Mode = random() % 2 ? PlaybackMode::Tracker : PlaybackMode::Standard;
            player->NoteOn(slot, note, 100);
            break;
        case 2:
            player->NoteOff(slot, note);
            break;
        case 3:
            if (random() % 2 == 0) {
                Edit(instrument, random, files);
                // Edits outside the history start a new one, as New and Open do.
                history.Clear();
            } else {
                HistoryEdit(instrument, history, clip, random);
            }
            break;
        case 4:
            if (step % 97 == 0) {
                (void)player->VoiceStatusText();
                frame.store(random() % 4 == 0 ? nullptr : &instrument);
            }
            break;
        default:
            std::this_thread::yield();
            break;
        }
    }
    done.store(true);
    clock.join();
    bool sounded = false;
    for (const auto& write : ring.Writes()) {
        for (std::int16_t v : write.values) {
            sounded = sounded || v != 0;
        }
    }
    EXPECT_TRUE(sounded);
    EXPECT_TRUE(CoreThread::ShutDown(std::move(player), 10s));
}

} // namespace
} // namespace sonlet
