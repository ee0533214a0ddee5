#include "edit/SampleFunctionSteps.h"

#include "SampleBuilder.h"
#include "model/Instrument.h"
#include "support/Report.h"

#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <vector>

namespace sonlet {
namespace {

struct Snapshot {
    std::vector<std::int32_t> values;
    std::int64_t frames, loopStart, loopLength;
    std::uint8_t loopType;
    std::int32_t bytes, channels;
    std::int8_t transpose;
    std::int16_t finetune;
    bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const TSample& s) {
    Snapshot shot{{},         s.NumFrames,      s.LoopStart,        s.LoopLength,
                  s.LoopType, s.BytesPerSample, s.Format.nChannels, s.Transpose,
                  s.Finetune};
    for (std::int64_t i = 0; i < s.NumSamples; ++i) {
        shot.values.push_back(s.GetValue(i));
    }
    return shot;
}

// Every function, on both depths and channel counts, is one step that changes the sample and
// gives it back exactly when taken back, and again when made anew.
TEST(SampleFunctionSteps, EveryFunctionIsOneStepThatUndoesExactly) {
    StderrReporter quiet;
    ScopedReporter scope(quiet); // functions a sample cannot take explain why
    for (int bytes : {1, 2}) {
        for (int channels : {1, 2}) {
            for (const SampleFunctionInfo& info : AllSampleFunctions()) {
                TInstrument inst;
                inst.InitNew();
                std::mt19937 gen(7);
                std::uniform_int_distribution<int> dist(-26000, 30000); // a DC offset to remove
                testkit::FillSample(
                    *inst.CurrentSample(), 3000, channels,
                    [&](std::int64_t, int) { return dist(gen); }, bytes);
                TSample& s = *inst.CurrentSample();
                s.LoopType = LoopForward;
                s.LoopStart = 1200;
                s.LoopLength = 1000;
                s.SetMarkA(100);
                s.SetMarkB(2700);
                SampleFunctionOptions options;
                options.Gain = {0.3, 1.7};
                options.Echo.DelayMs = 5;
                options.Length = 4500;
                options.CrossfadeFrames = 300;
                const Snapshot before = Take(s);
                auto step = PrepareSampleFunction(s, info.Id, SelectionOrAll(s), options);
                if (!step) {
                    const bool refusable =
                        (info.StereoOnly && channels == 1) ||
                        (info.Id == SampleFunctionId::To8Bit && bytes == 1) ||
                        (info.Id == SampleFunctionId::To16Bit && bytes == 2) ||
                        (info.Id == SampleFunctionId::ToStereo && channels == 2) ||
                        (info.Id == SampleFunctionId::Resample && !CanResample());
                    EXPECT_TRUE(refusable) << info.CliName;
                    continue;
                }
                auto command = MakeSampleFunctionCommand(std::move(*step), inst.CurrentIndex);
                ASSERT_TRUE(command->Apply(inst)) << info.CliName;
                const Snapshot after = Take(*inst.CurrentSample());
                EXPECT_NE(after, before) << info.CliName << " changed nothing";
                command->Revert(inst);
                EXPECT_EQ(Take(*inst.CurrentSample()), before) << info.CliName;
                ASSERT_TRUE(command->Apply(inst)) << info.CliName;
                // Noise redoes to the values it made, not to new ones.
                EXPECT_EQ(Take(*inst.CurrentSample()), after) << info.CliName;
            }
        }
    }
}

} // namespace
} // namespace sonlet
