#include "CapturingReporter.h"
#include "TempDir.h"
#include "WavBuilder.h"
#include "model/AudioImport.h"
#include "model/Instrument.h"
#include "model/XiLayout.h"

#include <gtest/gtest.h>
#include <vector>

// Without libsndfile the import reads what the program's own WAV reader reads.

namespace sonlet {
namespace {

using testkit::CapturingReporter;
using testkit::TempDir;
using testkit::WavBuilder;

TEST(AudioImportWav, SixteenBitWavIsNamedAndTunedAndDeeperFilesAreRefused) {
    TempDir dir;
    const std::vector<std::int16_t> values = {-32768, -1, 0, 1, 32767, 1234};
    const std::string path =
        dir.Write("Kick 48k.wav",
                  WavBuilder::Pcm(2, 48000, 16).DataChunk(testkit::Le16Values(values)).Bytes());
    CapturingReporter reporter;
    const auto sample = ImportAudioFile(path);
    ASSERT_NE(sample, nullptr);
    EXPECT_TRUE(reporter.Messages().empty());
    EXPECT_EQ(sample->NumFrames, 3);
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(sample->GetValue(static_cast<std::int64_t>(i)), values[i]);
    }
    EXPECT_EQ(sample->SampleName, "Kick 48k");
    EXPECT_EQ(std::string(sample->XiHeader.begin() + xi::SampleNameOffset,
                          sample->XiHeader.begin() + xi::SampleNameOffset + 8),
              "Kick 48k");
    const SampleTuning tuning = TuningForRate(48000, 2);
    EXPECT_EQ(sample->Transpose, tuning.Transpose);
    EXPECT_EQ(sample->Finetune, tuning.Finetune);
    EXPECT_EQ(RateOfTuning(*sample), 48000u);

    const std::string deep = dir.Write(
        "deep.wav", WavBuilder::Pcm(1, 44100, 24).DataChunk(std::vector<std::uint8_t>(30)).Bytes());
    TInstrument inst;
    inst.InitNew();
    EXPECT_EQ(AddSamplesFromFile(inst, deep).added, 0);
    EXPECT_EQ(inst.SampleCount, 1);
    EXPECT_EQ(reporter.Messages().size(), 1u);
}

} // namespace
} // namespace sonlet
