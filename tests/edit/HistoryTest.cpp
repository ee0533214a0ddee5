// The history against the model: every kind of step, made, undone and redone, leaves the
// instrument byte for byte as SaveXi writes it at that point.
#include "edit/History.h"

#include "CapturingReporter.h"
#include "SampleBuilder.h"
#include "TempDir.h"
#include "edit/Clipboard.h"
#include "edit/ParamCommands.h"
#include "edit/SampleCommands.h"
#include "model/Instrument.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <utility>

namespace sonlet {
namespace {

using Bytes = std::vector<std::uint8_t>;

class History : public ::testing::Test {
protected:
    void SetUp() override {
        instrument.Clear();
        auto stereo =
            std::make_unique<TSample>(testkit::MakeSample(5000, 2, [](std::int64_t f, int c) {
                return static_cast<std::int32_t>((f * 37 + c * 1000) % 60000) - 30000;
            }));
        stereo->SetLoopType(LoopForward);
        stereo->SetLoopStart(1000);
        stereo->SetLoopLength(2000);
        stereo->SampleName = "stereo";
        instrument.AdoptSample(std::move(stereo));
        // An odd count of values: the last frame holds only its left value.
        auto mono = std::make_unique<TSample>(testkit::MakeSample(
            3001, 1,
            [](std::int64_t f, int) { return static_cast<std::int32_t>(f * 97 % 65536) - 32768; },
            1));
        instrument.AdoptSample(std::move(mono));
        instrument.VolEnv.Count = 2;
        instrument.VolPoints[1] = {100, 32};
    }

    Bytes Saved() {
        instrument.SaveXi(dir.File("now.xi"));
        return testkit::ReadAll(dir.File("now.xi"));
    }

    // Every sample's peak summary still describes its values (whole, and ranges that start and
    // end inside summary blocks), whatever step brought them.
    void ExpectPeaksFollowValues(const std::string& where) {
        for (std::int32_t i = 0; i < instrument.SampleCount; ++i) {
            const TSample& s = At(i);
            const std::int64_t n = s.NumFrames;
            ASSERT_TRUE(s.Summary().Matches(s)) << where << ", sample " << i;
            for (std::int32_t ch = 0; ch < s.Format.nChannels; ++ch) {
                for (const auto& [a, b] : {std::pair{std::int64_t{0}, n},
                                           {n / 3, n / 3 + 700},
                                           {std::int64_t{7}, n - 5}}) {
                    PeakRange expected{65536, -65536};
                    for (std::int64_t f = std::max<std::int64_t>(a, 0); f < std::min(b, n); ++f) {
                        const std::int32_t v = s.GetValue(f * s.Format.nChannels + ch);
                        expected = {std::min(expected.Min, v), std::max(expected.Max, v)};
                    }
                    if (std::min(b, n) > a) {
                        ASSERT_EQ(s.Peaks(ch, a, b), expected)
                            << where << ", sample " << i << ", frames " << a << ".." << b;
                    }
                }
            }
        }
    }

    TSample& At(std::int32_t i) { return *instrument.Samples[static_cast<std::size_t>(i)]; }
    void Select(std::int32_t i, std::int64_t a, std::int64_t b) {
        At(i).SetMarkA(a);
        At(i).SetMarkB(b);
    }

    testkit::CapturingReporter reporter;
    testkit::TempDir dir;
    TInstrument instrument;
    THistory history;
};

TEST_F(History, EveryKindOfStepUndoesAndRedoesByteForByte) {
    using Step = std::function<std::unique_ptr<TEditCommand>()>;
    TClip clip;
    const std::vector<Step> steps = {
        [&] {
            Select(0, 100, 399);
            return MakeSampleFunction(instrument, 0, FunctionNoise, "Noise");
        },
        [&] {
            Select(0, 50, 4999);
            return MakeSampleFunction(instrument, 0, FunctionReverse, "Reverse");
        },
        [&] {
            At(1).ClearMarks();
            return MakeSampleFunction(instrument, 1, FunctionFlipByZero, "Flip by zero");
        },
        [&] {
            At(1).ClearMarks();
            return MakeSampleFunction(instrument, 1, FunctionReverse, "Reverse");
        },
        [&] {
            Select(0, 0, 4999);
            return MakeSampleFunction(instrument, 0, FunctionSwapChannels, "Swap channels");
        },
        [&] {
            Select(0, 900, 1199);
            clip = CopyFrames(At(0), *SelectedFrames(At(0)));
            return MakeDelete(instrument, 0, "Cut");
        },
        [&] {
            Select(0, 10, 10);
            return MakePaste(instrument, 0, clip);
        },
        [&] {
            At(1).ClearMarks();
            return MakePaste(instrument, 1, clip);
        },
        [&] {
            Select(1, 3000, 3300);
            return MakeDelete(instrument, 1);
        },
        [&] {
            Select(0, 0, 1000);
            return MakePasteMix(instrument, 0, clip);
        },
        [&] {
            Select(0, 500, 3499);
            return MakeCrop(instrument, 0);
        },
        [&] {
            auto other = std::make_unique<TSample>(testkit::MakeSample(
                777, 1, [](std::int64_t f, int) { return static_cast<std::int32_t>(f * 11); }, 1,
                22050));
            return std::make_unique<TReplaceSampleCommand>("Resample", 0, std::move(other));
        },
        [&] {
            return std::make_unique<TSampleParamsCommand>("Volume", 1, [](SampleParams& p) {
                p.Volume = 20;
                p.LoopType = LoopPingpong;
                p.LoopStart = 5;
                p.LoopLength = 100;
            });
        },
        [&] {
            return std::make_unique<TInstrumentParamsCommand>("Move Point",
                                                              [](InstrumentParams& p) {
                                                                  p.VolPoints[1] = {200, 60};
                                                                  p.Fadeout = 77;
                                                                  p.VolEnv.Enabled = 1;
                                                              });
        },
        [&] {
            auto added = std::make_unique<TSample>();
            added->MakeSilent();
            return std::make_unique<TInsertSampleCommand>("Paste Sample", std::move(added), 1);
        },
        [&] { return std::make_unique<TRemoveSampleCommand>(0); },
    };

    std::vector<Bytes> states{Saved()};
    for (const Step& step : steps) {
        ASSERT_EQ(history.Do(instrument, step()), EditOutcome::Done) << states.size();
        history.EndGesture();
        states.push_back(Saved());
        EXPECT_NE(states.back(), states[states.size() - 2])
            << "step " << states.size() - 1 << " changed nothing";
    }
    for (int round = 0; round < 2; ++round) {
        for (std::size_t i = states.size() - 1; i > 0; --i) {
            ASSERT_TRUE(history.Undo(instrument));
            ASSERT_EQ(Saved(), states[i - 1]) << "undo to state " << i - 1;
            ExpectPeaksFollowValues("undo to state " + std::to_string(i - 1));
        }
        EXPECT_FALSE(history.Undo(instrument));
        for (std::size_t i = 1; i < states.size(); ++i) {
            ASSERT_TRUE(history.Redo(instrument));
            ASSERT_EQ(Saved(), states[i]) << "redo to state " << i;
            ExpectPeaksFollowValues("redo to state " + std::to_string(i));
        }
        EXPECT_FALSE(history.CanRedo());
    }
    EXPECT_TRUE(reporter.Messages().empty());
}

TEST_F(History, NamesSavedPositionAndGestures) {
    EXPECT_FALSE(history.Modified());
    auto volume = [](std::uint8_t v) {
        return std::make_unique<TSampleParamsCommand>(
            "Volume", 0, [v](SampleParams& p) { p.Volume = v; }, "volume");
    };
    // One drag of the volume bar: one step that undoes to where the drag began.
    for (std::uint8_t v : {60, 50, 40}) {
        ASSERT_EQ(history.Do(instrument, volume(v)), EditOutcome::Done);
    }
    history.EndGesture();
    EXPECT_EQ(history.UndoCount(), 1u);
    EXPECT_EQ(history.UndoName(), "Volume");
    EXPECT_TRUE(history.Modified());
    history.MarkSaved();
    // An edit that changes nothing is no step.
    EXPECT_EQ(history.Do(instrument, volume(40)), EditOutcome::Refused);
    EXPECT_FALSE(history.Modified());
    ASSERT_EQ(history.Do(instrument, volume(30)), EditOutcome::Done);
    EXPECT_EQ(history.UndoCount(), 2u);
    history.Undo(instrument);
    EXPECT_FALSE(history.Modified());
    history.Undo(instrument);
    EXPECT_EQ(At(0).Volume, 64);
    EXPECT_TRUE(history.Modified());
    EXPECT_EQ(history.RedoName(), "Volume");
    // A new edit after an undo drops the redo steps, and the saved state with them.
    ASSERT_EQ(history.Do(instrument, MakeSampleFunction(instrument, 0, FunctionInvert, "Invert")),
              EditOutcome::Done);
    EXPECT_FALSE(history.CanRedo());
    EXPECT_EQ(history.UndoName(), "Invert");
    history.Undo(instrument);
    EXPECT_TRUE(history.Modified());
    // Folding a gesture into the saved step makes the document differ from its file.
    history.Clear();
    ASSERT_EQ(history.Do(instrument, volume(10)), EditOutcome::Done);
    history.MarkSaved();
    ASSERT_EQ(history.Do(instrument, volume(11)), EditOutcome::Done);
    EXPECT_EQ(history.UndoCount(), 1u);
    EXPECT_TRUE(history.Modified());
}

TEST_F(History, BudgetDropsOldestAndRefusesNothing) {
    // Reverse keeps no values; Noise keeps the 4 bytes of each stereo frame it overwrote.
    Select(0, 0, 4999);
    ASSERT_EQ(history.Do(instrument, MakeSampleFunction(instrument, 0, FunctionReverse, "Reverse")),
              EditOutcome::Done);
    EXPECT_LT(history.HeldBytes(), 1000u);
    Select(0, 0, 999);
    ASSERT_EQ(history.Do(instrument, MakeSampleFunction(instrument, 0, FunctionNoise, "Noise")),
              EditOutcome::Done);
    EXPECT_GE(history.HeldBytes(), 4000u);
    EXPECT_LT(history.HeldBytes(), 4000u + 2000u);

    const Bytes original = Saved();
    history.Clear();
    history.SetBudget(15000);
    Select(0, 0, 999); // 4000 bytes a step
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(history.Do(instrument, MakeSampleFunction(instrument, 0, FunctionNoise, "Noise")),
                  EditOutcome::Done);
    }
    EXPECT_EQ(history.UndoCount(), 3u);
    EXPECT_LE(history.HeldBytes(), 15000u);
    // Too big for the whole budget: made all the same, with nothing left to undo.
    Select(0, 0, 4999);
    EXPECT_EQ(history.Do(instrument, MakeSampleFunction(instrument, 0, FunctionNoise, "Noise")),
              EditOutcome::DoneNotUndoable);
    EXPECT_FALSE(history.CanUndo());
    EXPECT_TRUE(history.Modified());
    EXPECT_NE(Saved(), original);
}

} // namespace
} // namespace sonlet
