#include "model/AudioImport.h"

#include "CapturingReporter.h"
#include "TempDir.h"
#include "WavBuilder.h"
#include "model/Instrument.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <vector>

namespace sonlet {
namespace {

using testkit::CapturingReporter;
using testkit::TempDir;

// What the import must give, with the first two channels kept: a 16-bit source's values as
// they are; a deeper one's libsndfile doubles x 32767, rounded and clipped.
std::vector<std::int32_t> ExpectedValues(const std::string& path, int& channels) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(file, nullptr) << path;
    if (file == nullptr) {
        return {};
    }
    std::vector<double> all(static_cast<std::size_t>(info.frames * info.channels));
    const bool sixteenBit = (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16;
    if (sixteenBit) {
        sf_command(file, SFC_SET_NORM_DOUBLE, nullptr, SF_FALSE);
    }
    const sf_count_t frames = sf_readf_double(file, all.data(), info.frames);
    sf_close(file);
    channels = std::min(info.channels, 2);
    std::vector<std::int32_t> values;
    for (sf_count_t f = 0; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) {
            const double read = all[static_cast<std::size_t>(f * info.channels + c)];
            const double v = sixteenBit ? read : std::round(read * 32767);
            values.push_back(static_cast<std::int32_t>(std::clamp(v, -32768.0, 32767.0)));
        }
    }
    return values;
}

std::vector<std::int32_t> ValuesOf(const TSample& sample) {
    std::vector<std::int32_t> values;
    for (std::int64_t i = 0; i < sample.NumSamples; ++i) {
        values.push_back(sample.GetValue(i));
    }
    return values;
}

// Writes frames of a ramp as a file of libsndfile's format (FLAC, AIFF, ...).
void WriteRamp(const std::string& path, int format, int channels, int rate, int frames) {
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = rate;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    std::vector<short> values;
    for (int i = 0; i < frames * channels; ++i) {
        values.push_back(static_cast<short>(i * 37 - 20000));
    }
    sf_writef_short(file, values.data(), frames);
    sf_close(file);
}

TEST(AudioImport, CorpusFilesTheWavReaderRefusesImportAsTheRuleSays) {
    const auto corpus = testkit::CorpusDir("wav");
    if (corpus.empty()) {
        GTEST_SKIP() << "no corpus";
    }
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        const std::string path = entry.path().string();
        CapturingReporter refusals;
        TSample byWavReader;
        byWavReader.LoadFromWav(path);
        if (refusals.Messages().empty()) {
            continue;
        }
        CapturingReporter reporter;
        const auto sample = ImportAudioFile(path, {.dither = false});
        if (sample == nullptr) {
            continue; // not audio libsndfile reads either (a RIFX or broken file)
        }
        int channels = 0;
        const std::vector<std::int32_t> expected = ExpectedValues(path, channels);
        EXPECT_EQ(sample->Format.nChannels, channels) << path;
        EXPECT_EQ(sample->BytesPerSample, 2) << path;
        EXPECT_EQ(ValuesOf(*sample), expected) << path;
        EXPECT_EQ(sample->SampleName, entry.path().stem().string().substr(0, 22));
        ++checked;

        // With dither, every value stays within one step of the rule.
        const auto dithered = ImportAudioFile(path);
        ASSERT_NE(dithered, nullptr);
        const std::vector<std::int32_t> values = ValuesOf(*dithered);
        ASSERT_EQ(values.size(), expected.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            ASSERT_LE(std::abs(values[i] - expected[i]), 1) << path << " value " << i;
        }
    }
    EXPECT_GE(checked, 6);
}

// 16-bit sources keep their values exactly, 8-bit ones stay 8-bit; AIFF and FLAC import as
// WAV does; the tuning plays each at its own rate at C-5.
TEST(AudioImport, FlacAndAiffKeepTheirValuesAndAreTunedToTheirRate) {
    TempDir dir;
    WriteRamp(dir.File("ramp.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 48000, 1000);
    WriteRamp(dir.File("ramp.aiff"), SF_FORMAT_AIFF | SF_FORMAT_PCM_S8, 1, 22050, 300);
    CapturingReporter reporter;
    const auto flac = ImportAudioFile(dir.File("ramp.flac"));
    const auto aiff = ImportAudioFile(dir.File("ramp.aiff"));
    ASSERT_NE(flac, nullptr);
    ASSERT_NE(aiff, nullptr);
    EXPECT_TRUE(reporter.Messages().empty());

    EXPECT_EQ(flac->Format.nChannels, 2);
    EXPECT_EQ(flac->NumFrames, 1000);
    EXPECT_EQ(flac->GetValue(1999), static_cast<short>(1999 * 37 - 20000));
    EXPECT_EQ((std::pair{flac->Transpose, flac->Finetune}),
              (std::pair<std::int8_t, std::int16_t>{1, 60}));
    EXPECT_EQ(RateOfTuning(*flac), 48000u);

    EXPECT_EQ(aiff->BytesPerSample, 1);
    EXPECT_EQ(aiff->NumFrames, 300);
    EXPECT_EQ(aiff->GetValue(10), ((10 * 37 - 20000) >> 8) * 256);
    EXPECT_EQ(RateOfTuning(*aiff), 22050u);

    TSample untuned;
    untuned.SetFormat(1, 2, 44100, 0);
    EXPECT_EQ(RateOfTuning(untuned), 44100u);
    const SampleTuning at44100 = TuningForRate(44100, 2);
    EXPECT_EQ((std::pair{at44100.Transpose, at44100.Finetune}),
              (std::pair<std::int8_t, std::int16_t>{0, 0}));
}

// A file that ends before its declared data, or declares gigabytes, gives what it holds,
// allocates only that, and says once that it ends early; a file that is not audio changes
// nothing and says why.
TEST(AudioImport, ShortHugeAndBadFilesGiveWhatTheyHoldWithOneMessage) {
    TempDir dir;
    const std::vector<std::uint8_t> body(3000, 0x11);
    for (const std::uint32_t declared : {6000U, 0x7FFFFFF0U}) {
        const std::string path = dir.Write(
            "short.wav", testkit::WavBuilder::Pcm(1, 44100, 24).DataChunk(body, declared).Bytes());
        CapturingReporter reporter;
        const auto sample = ImportAudioFile(path, {.dither = false});
        ASSERT_NE(sample, nullptr);
        EXPECT_EQ(sample->NumFrames, 1000);
        EXPECT_LE(sample->Data16.BlockCount(), 1);
        ASSERT_EQ(reporter.Messages().size(), 1u) << declared;
        EXPECT_NE(reporter.Messages()[0].text.find("file ends early"), std::string::npos);
    }

    // A streamed file's size means "up to the end"; a file without a frame adds nothing.
    CapturingReporter streamed;
    const std::string path = dir.Write(
        "streamed.wav", testkit::WavBuilder::Pcm(1, 44100, 16).DataChunk(body, 0xFFFFFFFF).Bytes());
    ASSERT_NE(ImportAudioFile(path), nullptr);
    EXPECT_TRUE(streamed.Messages().empty());
    const std::string empty =
        dir.Write("empty.wav", testkit::WavBuilder::Pcm(1, 44100, 16).DataChunk({}).Bytes());
    EXPECT_EQ(ImportAudioFile(empty), nullptr);
    EXPECT_EQ(streamed.Texts(), std::vector<std::string>{"The file holds no sample data"});

    const std::string text = dir.Write("notes.wav", std::vector<std::uint8_t>(200, 'x'));
    TInstrument inst;
    inst.InitNew();
    CapturingReporter reporter;
    EXPECT_EQ(AddSamplesFromFile(inst, text).added, 0);
    EXPECT_EQ(inst.SampleCount, 1);
    EXPECT_EQ(reporter.Messages().size(), 1u);
}

// A 22050 Hz file with a loop in its sampler chunk plays at its own rate at C-5 and keeps its
// loop, through File > Open and through the import alike.
TEST(AudioImport, BothReadersTuneAWavFileToItsRateAndKeepItsLoop) {
    TempDir dir;
    CapturingReporter reporter;
    std::vector<std::int16_t> values(1000);
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = static_cast<std::int16_t>(i * 31);
    }
    struct Case {
        std::uint32_t type, first, last;
        std::uint8_t loopType;
        std::int64_t start, length;
    };
    for (const Case& c :
         {Case{0, 100, 199, LoopForward, 100, 100}, Case{1, 100, 199, LoopPingpong, 100, 100},
          Case{2, 10, 5000, LoopForward, 10, 990}, // the end moves to the last frame
          Case{0, 1000, 1200, LoopNone, -1, 0},    // starts past the end
          Case{7, 100, 199, LoopNone, -1, 0}}) {
        const std::string path = dir.Write("loop.wav", testkit::WavBuilder::Pcm(1, 22050, 16)
                                                           .DataChunk(testkit::Le16Values(values))
                                                           .SmplLoop(c.type, c.first, c.last)
                                                           .Bytes());
        TInstrument opened;
        ASSERT_TRUE(opened.LoadFromFile(path));
        const auto imported = ImportAudioFile(path, {.dither = false});
        ASSERT_NE(imported, nullptr);
        for (const TSample* s : {opened.CurrentSample(), imported.get()}) {
            EXPECT_EQ(s->Transpose, -12);
            EXPECT_EQ(s->Finetune, 0);
            EXPECT_EQ(RateOfTuning(*s), 22050u);
            EXPECT_EQ(s->LoopType, c.loopType) << c.type << " " << c.first;
            if (c.loopType != LoopNone) {
                EXPECT_EQ(s->LoopStart, c.start);
                EXPECT_EQ(s->LoopLength, c.length);
            }
        }
    }
    EXPECT_TRUE(reporter.Messages().empty());

    // A 16-bit 44100 Hz file stays untuned, as File > Open always left it.
    TInstrument plain;
    plain.LoadFromFile(dir.Write(
        "plain.wav",
        testkit::WavBuilder::Pcm(2, 44100, 16).DataChunk({1, 2, 3, 4}).SmplLoop(0, 0, 0).Bytes()));
    EXPECT_EQ(plain.CurrentSample()->Transpose, 0);
    EXPECT_EQ(plain.CurrentSample()->Finetune, 0);
    EXPECT_EQ(plain.CurrentSample()->LoopLength, 1);

    // A real file whose sampler chunk stands after the data and other chunks.
    const auto corpus = testkit::CorpusDir("wav");
    if (!corpus.empty()) {
        const auto cue = ImportAudioFile((corpus / "rochars_wavefile__smpl_cue.wav").string());
        ASSERT_NE(cue, nullptr);
        EXPECT_EQ(cue->LoopType, LoopForward);
        EXPECT_EQ(cue->LoopStart, 176400);
        EXPECT_EQ(cue->LoopLength, 176400);
    }
}

} // namespace
} // namespace sonlet
