#include "CapturingReporter.h"
#include "TempDir.h"
#include "WavBuilder.h"
#include "model/Sample.h"

#include <gtest/gtest.h>

namespace sonlet {
namespace {

using testkit::CapturedMessage;
using testkit::CapturingReporter;
using testkit::Le16Values;
using testkit::TempDir;
using testkit::WavBuilder;

class WavImport : public ::testing::Test {
protected:
    // Loads bytes into a fresh sample and returns the messages it produced.
    std::vector<CapturedMessage> Load(const std::vector<std::uint8_t>& bytes) {
        reporter.Reset();
        sample = TSample();
        sample.LoadFromWav(dir.Write("in.wav", bytes));
        return reporter.Messages();
    }
    void ExpectEmptyStereoAfterRefusal(const std::vector<CapturedMessage>& messages) {
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0],
                  (CapturedMessage{"Error", "Format not supported", MessageIcon::Warning}));
        EXPECT_EQ(sample.NumFrames, 0);
        EXPECT_EQ(sample.Format.nChannels, 2);
        EXPECT_EQ(sample.BytesPerSample, 2);
    }

    CapturingReporter reporter;
    TempDir dir;
    TSample sample;
};

TEST_F(WavImport, MonoSixteenBitSkipsListChunkAndOddChunks) {
    const auto bytes = WavBuilder::Pcm(1, 44100, 16)
                           .Chunk("LIST", std::vector<std::uint8_t>(26, 'x'))
                           .Chunk("odd ", {1, 2, 3}) // no pad byte follows an odd size
                           .DataChunk(Le16Values({100, -200, 32767}))
                           .Bytes();
    EXPECT_TRUE(Load(bytes).empty());
    EXPECT_EQ(sample.NumFrames, 3);
    EXPECT_EQ(sample.DataSize, 6);
    EXPECT_EQ(sample.GetValue(0), 100);
    EXPECT_EQ(sample.GetValue(1), -200);
    EXPECT_EQ(sample.GetValue(2), 32767);
    EXPECT_EQ(sample.GetValue(3), 0);
    EXPECT_EQ(sample.Format.nSamplesPerSec, 44100u);
    EXPECT_EQ(sample.MarkA, -1);
    EXPECT_EQ(sample.MarkB, -1);
}

TEST_F(WavImport, FindsTheChunksOfRecordersAndEditors) {
    const auto data = Le16Values({11, -12});
    // An odd-sized chunk followed by its pad byte.
    EXPECT_TRUE(Load(WavBuilder::Pcm(1, 44100, 16)
                         .Chunk("LIST", {'I', 'N', 'F', 'O', 'a', 'b', 'c'}, true)
                         .DataChunk(data)
                         .Bytes())
                    .empty());
    EXPECT_EQ(sample.GetValue(1), -12);
    // Chunks before the format chunk, one of them odd-sized and padded.
    for (const char* first : {"bext", "JUNK"}) {
        EXPECT_TRUE(Load(WavBuilder::Riff()
                             .Chunk(first, std::vector<std::uint8_t>(603, 'b'), true)
                             .FormatChunk(2, 48000, 16)
                             .DataChunk(data)
                             .Bytes())
                        .empty())
            << first;
        EXPECT_EQ(sample.Format.nSamplesPerSec, 48000u);
        EXPECT_EQ(sample.NumFrames, 1);
        EXPECT_EQ(sample.GetValue(0), 11);
    }
    // An odd chunk whose writer left out the pad byte, where the padded position reads four
    // printable bytes ("ata" and the data size 0x20): the walk retries without the pad.
    EXPECT_TRUE(Load(WavBuilder::Pcm(1, 44100, 16)
                         .Chunk("LIST", {'a', 'b', 'c'})
                         .DataChunk(Le16Values(std::vector<std::int16_t>(16, 5)))
                         .Bytes())
                    .empty());
    EXPECT_EQ(sample.NumFrames, 16);
    EXPECT_EQ(sample.GetValue(15), 5);
    // A RIFF file of another form, and a WAVE file without a format chunk, are no wave files.
    auto avi = WavBuilder::Riff().Chunk("LIST", {}).Bytes();
    avi[8] = 'A';
    EXPECT_EQ(Load(avi).at(0).text, "Not a wave file");
    EXPECT_EQ(Load(WavBuilder::Riff().Chunk("JUNK", {}).DataChunk(data).Bytes()).at(0).text,
              "Not a wave file");
}

TEST_F(WavImport, EighteenByteFormatChunkMovesTheWalk) {
    auto w = WavBuilder::Pcm(2, 22050, 8);
    w.bytes[16] = 18;
    w.bytes.insert(w.bytes.end(), {0x22, 0x00}); // cbSize, ignored
    const auto bytes = w.DataChunk({0x80, 0xFF, 0x00, 0x81}).Bytes();
    EXPECT_TRUE(Load(bytes).empty());
    EXPECT_EQ(sample.Format.cbSize, 0);
    EXPECT_EQ(sample.Format.nChannels, 2);
    EXPECT_EQ(sample.BytesPerSample, 1);
    EXPECT_EQ(sample.NumFrames, 2);
    EXPECT_EQ(sample.GetValue(0), 0);
    EXPECT_EQ(sample.GetValue(1), 127 * 256);
    EXPECT_EQ(sample.GetValue(2), -32768);
    EXPECT_EQ(sample.Data8.Data()[3], 0x81); // stored as the file holds it
}

TEST_F(WavImport, RefusesOtherDepthsAndWideFrames) {
    ExpectEmptyStereoAfterRefusal(
        Load(WavBuilder::Pcm(1, 44100, 24).DataChunk(std::vector<std::uint8_t>(9)).Bytes()));
    ExpectEmptyStereoAfterRefusal(
        Load(WavBuilder::Pcm(1, 44100, 32).DataChunk(std::vector<std::uint8_t>(8)).Bytes()));
    ExpectEmptyStereoAfterRefusal(
        Load(WavBuilder::Pcm(3, 44100, 16).DataChunk(std::vector<std::uint8_t>(12)).Bytes()));
    ExpectEmptyStereoAfterRefusal(Load(WavBuilder::Pcm(1, 44100, 16).Chunk("LIST", {}).Bytes()));
}

// A 40-byte WAVE_FORMAT_EXTENSIBLE format chunk of 16-bit mono with the given sub-format tag.
std::vector<std::uint8_t> ExtensibleFormat(std::uint16_t subTag) {
    std::vector<std::uint8_t> fmt;
    for (std::uint16_t v : {0xFFFE, 1}) {
        testkit::PutLE16(fmt, v);
    }
    testkit::PutLE32(fmt, 44100);
    testkit::PutLE32(fmt, 88200);
    for (std::uint16_t v : {2, 16, 22, 16}) {
        testkit::PutLE16(fmt, v);
    }
    testkit::PutLE32(fmt, 4);
    testkit::PutLE16(fmt, subTag);
    fmt.insert(fmt.end(), {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71});
    return fmt;
}

TEST_F(WavImport, AcceptsStereoOfBothDepthsAndOnlyPcmData) {
    EXPECT_TRUE(Load(WavBuilder::Pcm(2, 8000, 8).DataChunk({1, 2, 3, 4}).Bytes()).empty());
    EXPECT_EQ(sample.Format.nBlockAlign, 2);
    std::vector<std::uint8_t> data(100000);
    EXPECT_TRUE(Load(WavBuilder::Pcm(2, 44100, 16).DataChunk(data).Bytes()).empty());
    EXPECT_EQ(sample.NumSamples, 50000);
    EXPECT_EQ(sample.NumFrames, 25000);
    EXPECT_EQ(sample.Data16.BlockCount(), 2);

    // Before: any tag was read as PCM, so A-law near-silence loaded as loud noise and the
    // bytes of a float file declaring 16 bits as garbage.
    ExpectEmptyStereoAfterRefusal(
        Load(WavBuilder::Pcm(1, 8000, 8).FormatTag(6).DataChunk({0xD5, 0x55}).Bytes()));
    ExpectEmptyStereoAfterRefusal(
        Load(WavBuilder::Pcm(2, 44100, 16).FormatTag(3).DataChunk(data).Bytes()));
    // EXTENSIBLE is PCM only with the PCM sub-format.
    const auto values = Le16Values({-5, 6});
    EXPECT_TRUE(
        Load(WavBuilder::Riff().Chunk("fmt ", ExtensibleFormat(1)).DataChunk(values).Bytes())
            .empty());
    EXPECT_EQ(sample.GetValue(0), -5);
    EXPECT_EQ(sample.Format.wFormatTag, 0xFFFE);
    ExpectEmptyStereoAfterRefusal(
        Load(WavBuilder::Riff().Chunk("fmt ", ExtensibleFormat(3)).DataChunk(values).Bytes()));
}

TEST_F(WavImport, ChecksOnlyTheWaveFmtTextAtOffsetEight) {
    auto bytes = WavBuilder::Pcm(1, 44100, 16).DataChunk(Le16Values({7})).Bytes();
    bytes[0] = 'X';
    EXPECT_TRUE(Load(bytes).empty());
    EXPECT_EQ(sample.GetValue(0), 7);

    sample.MakeSilent();
    reporter.Reset();
    bytes[12] = 'F'; // "WAVEFmt"
    sample.LoadFromWav(dir.Write("bad.wav", bytes));
    EXPECT_EQ(reporter.Messages(), (std::vector<CapturedMessage>{
                                       {"Error", "Not a wave file", MessageIcon::Information}}));
    EXPECT_EQ(sample.NumFrames, 4096); // keeps what it had
}

TEST_F(WavImport, MissingFileKeepsTheSample) {
    sample.MakeSilent();
    sample.LoadFromWav(dir.File("nope.wav"));
    EXPECT_EQ(reporter.Messages(),
              (std::vector<CapturedMessage>{{"Error", "File not found", MessageIcon::Warning}}));
    EXPECT_EQ(sample.NumFrames, 4096);
}

TEST_F(WavImport, TruncatedDataLoadsWhatIsThere) {
    const auto values = Le16Values({1, 2, 3, 4, 5});
    for (std::uint32_t declared : {100000u, 0xFFFFFFFFu, 0x80000000u}) {
        const auto messages =
            Load(WavBuilder::Pcm(1, 44100, 16).DataChunk(values, declared).Bytes());
        // A streamed file's size means "up to the end"; any other is a file cut short.
        if (declared == 0xFFFFFFFFu) {
            EXPECT_TRUE(messages.empty());
        } else {
            EXPECT_EQ(messages,
                      (std::vector<CapturedMessage>{
                          {"Warning", std::string(FileEndsEarlyText), MessageIcon::Warning, true}}))
                << declared;
        }
        EXPECT_EQ(sample.DataSize, 10) << declared;
        EXPECT_EQ(sample.NumFrames, 5) << declared;
        EXPECT_EQ(sample.GetValue(4), 5);
        // Never reserve what the file cannot fill.
        EXPECT_EQ(sample.Data16.BlockCount(), 1) << declared;
    }
    // An odd byte at the end of 16-bit data is not a value.
    EXPECT_TRUE(Load(WavBuilder::Pcm(1, 44100, 16).DataChunk({1, 0, 2}).Bytes()).empty());
    EXPECT_EQ(sample.NumSamples, 1);
}

TEST_F(WavImport, ZeroChannelsIsRefusedWithoutFault) {
    const auto messages =
        Load(WavBuilder::Pcm(0, 44100, 16).BlockAlign(2).DataChunk({1, 2, 3, 4}).Bytes());
    EXPECT_EQ(messages, (std::vector<CapturedMessage>{
                            {"Error", "Format not supported", MessageIcon::Information}}));
    EXPECT_EQ(sample.NumFrames, 0);
    EXPECT_EQ(sample.GetValue(0), 0);
}

TEST_F(WavImport, CraftedChunkSizesEndTheWalk) {
    // A size past the end of the file, and a negative one that would step backwards.
    for (std::uint32_t size : {0x7FFFFFF0u, 0xFFFFFFF8u}) {
        auto w = WavBuilder::Pcm(1, 44100, 16);
        w.bytes.insert(w.bytes.end(), {'j', 'u', 'n', 'k'});
        testkit::PutLE32(w.bytes, size);
        w.DataChunk(Le16Values({1}));
        ExpectEmptyStereoAfterRefusal(Load(w.Bytes()));
    }
    // A format chunk size that points before the chunks or past the file.
    for (std::uint32_t size : {0xFFFFFFF0u, 0x10000000u}) {
        auto w = WavBuilder::Pcm(1, 44100, 16);
        w.bytes[16] = static_cast<std::uint8_t>(size);
        w.bytes[17] = static_cast<std::uint8_t>(size >> 8);
        w.bytes[18] = static_cast<std::uint8_t>(size >> 16);
        w.bytes[19] = static_cast<std::uint8_t>(size >> 24);
        ExpectEmptyStereoAfterRefusal(Load(w.DataChunk(Le16Values({1})).Bytes()));
    }
    // Zero-sized chunks up to the end: the walk still ends.
    auto w = WavBuilder::Pcm(1, 44100, 16);
    for (int i = 0; i < 50; ++i) {
        w.Chunk("zero", {});
    }
    ExpectEmptyStereoAfterRefusal(Load(w.Bytes()));
}

TEST_F(WavImport, ShortHeaderIsNotAWaveFile) {
    EXPECT_EQ(Load({'R', 'I', 'F', 'F'}).at(0).text, "Not a wave file");
    EXPECT_EQ(Load({}).at(0).text, "Not a wave file");
}

TEST_F(WavImport, RealFilesLoadOrAreRefusedCleanly) {
    const auto corpus = testkit::CorpusDir("wav");
    if (corpus.empty()) {
        GTEST_SKIP() << "shared corpus not present";
    }
    int loaded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        reporter.Reset();
        sample = TSample();
        sample.LoadFromWav(entry.path().string());
        const auto size = static_cast<std::int64_t>(std::filesystem::file_size(entry.path()));
        EXPECT_LE(sample.DataSize, size) << entry.path();
        EXPECT_LE(sample.Data16.Capacity() * 2 + sample.Data8.Capacity(), size + 2 * BlockSize * 2);
        if (reporter.Messages().empty()) {
            ++loaded;
            EXPECT_GT(sample.Format.nChannels, 0) << entry.path();
            EXPECT_EQ(sample.NumSamples, sample.DataSize / sample.BytesPerSample);
        }
    }
    EXPECT_GT(loaded, 3);

    reporter.Reset();
    sample.LoadFromWav(
        (corpus / "ruuda_hound__pcmwaveformat-16bit-44100Hz-mono-extra.wav").string());
    EXPECT_TRUE(reporter.Messages().empty());
    EXPECT_EQ(sample.Format.nChannels, 1);
    EXPECT_EQ(sample.BytesPerSample, 2);
    sample.LoadFromWav(
        (corpus / "ruuda_hound__pcmwaveformat-24bit-4byte-48kHz-stereo.wav").string());
    EXPECT_EQ(reporter.Texts(), std::vector<std::string>{"Format not supported"});
}

} // namespace
} // namespace sonlet
