// sonlet-cli render, end to end through the real executable: the player's mixing written
// out as a WAV file.
#include "RunCli.h"
#include "TempDir.h"
#include "WavBuilder.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace sonlet {
namespace {

using testkit::RunCli;

struct Wav {
    std::uint16_t channels = 0;
    std::uint32_t rate = 0;
    std::uint16_t bits = 0;
    std::vector<std::int16_t> left;
    std::vector<std::int16_t> right;
};

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t Le16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

Wav ReadWav(const std::string& path) {
    const std::vector<std::uint8_t> b = testkit::ReadAll(path);
    Wav wav;
    EXPECT_GE(b.size(), 44u);
    if (b.size() < 44) {
        return wav;
    }
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
    EXPECT_EQ(Le32(b, 4), b.size() - 8);
    EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
    EXPECT_EQ(Le32(b, 40), b.size() - 44);
    wav.channels = Le16(b, 22);
    wav.rate = Le32(b, 24);
    wav.bits = Le16(b, 34);
    for (std::size_t at = 44; at + 4 <= b.size(); at += 4) {
        wav.left.push_back(static_cast<std::int16_t>(Le16(b, at)));
        wav.right.push_back(static_cast<std::int16_t>(Le16(b, at + 2)));
    }
    return wav;
}

class RenderCommand : public ::testing::Test {
protected:
    // A mono 16-bit WAV of `frames` frames at value 16384.
    std::string Flat(std::size_t frames) {
        const std::vector<std::int16_t> values(frames, 16384);
        return dir.Write(
            "flat.wav",
            testkit::WavBuilder::Pcm(1, 44100, 16).DataChunk(testkit::Le16Values(values)).Bytes());
    }
    testkit::TempDir dir;
};

TEST_F(RenderCommand, ChordOfTwoNotesOnAnUnloopedSample) {
    const std::string out = dir.File("chord.wav");
    const auto r = RunCli({"render", Flat(2000), out, "--note", "60", "--note", "72", "--velocity",
                           "127", "--frames", "3000"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Wav wav = ReadWav(out);
    EXPECT_EQ(wav.channels, 2);
    EXPECT_EQ(wav.rate, 44100u);
    EXPECT_EQ(wav.bits, 16);
    ASSERT_EQ(wav.left.size(), 3000u);
    EXPECT_EQ(wav.left, wav.right);
    // Note 72 runs through the sample twice as fast and ends at frame 1000, note 60 at 2000;
    // each contributes half of full scale at output gain 0.5.
    EXPECT_EQ(wav.left[0], 16383);
    EXPECT_EQ(wav.left[999], 16383);
    EXPECT_EQ(wav.left[1000], 8191);
    EXPECT_EQ(wav.left[1999], 8191);
    EXPECT_EQ(wav.left[2000], 0);
    EXPECT_EQ(wav.left[2999], 0);
}

TEST_F(RenderCommand, ReleaseFadesOutByTheInstrumentsFadeout) {
    const std::string out = dir.File("release.wav");
    const auto r = RunCli({"render", Flat(40000), out, "--note", "60", "--velocity", "127",
                           "--frames", "12000", "--release", "1000"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Wav wav = ReadWav(out);
    ASSERT_EQ(wav.left.size(), 12000u);
    EXPECT_EQ(wav.left[1000], 8191);
    // A WAV load sets fadeout 1024: half level 4307 frames on, silent from 8614 on.
    EXPECT_NEAR(wav.left[1000 + 4307], 4095, 2);
    for (std::size_t i = 1001; i < wav.left.size(); ++i) {
        ASSERT_LE(wav.left[i], wav.left[i - 1]) << i;
    }
    EXPECT_EQ(wav.left[1000 + 8614], 0);
}

TEST_F(RenderCommand, DefaultsAndLengthOfALongRender) {
    const std::string flat = Flat(100);
    const std::string out = dir.File("default.wav");
    ASSERT_EQ(RunCli({"render", flat, out, "--note", "60"}).exitCode, 0);
    EXPECT_EQ(std::filesystem::file_size(out), 44u + 88200u * 4u);
    // Velocity 100 by default.
    EXPECT_EQ(ReadWav(out).left[0], 6450);

    const std::string minute = dir.File("minute.wav");
    ASSERT_EQ(RunCli({"render", flat, minute, "--note", "48", "--frames", "2646001"}).exitCode, 0);
    EXPECT_EQ(std::filesystem::file_size(minute), 44u + 2646001u * 4u);
}

TEST_F(RenderCommand, RefusesBadArgumentsAndBadInput) {
    const std::string flat = Flat(100);
    const std::string out = dir.File("out.wav");
    EXPECT_EQ(RunCli({"render", flat, out}).exitCode, 2);
    std::vector<std::string> tooMany = {"render", flat, out};
    for (int i = 0; i < 33; ++i) {
        tooMany.insert(tooMany.end(), {"--note", "60"});
    }
    EXPECT_EQ(RunCli(tooMany).exitCode, 2);
    EXPECT_EQ(RunCli({"render", flat, out, "--note", "200"}).exitCode, 2);
    EXPECT_EQ(RunCli({"render", flat, out, "--note", "60", "--frames", "-1"}).exitCode, 2);
    EXPECT_EQ(RunCli({"render", flat, out, "--note", "60", "--velocity", "x"}).exitCode, 2);
    EXPECT_FALSE(std::filesystem::exists(out));

    const std::string broken = dir.Write("broken.wav", std::vector<std::uint8_t>{'R', 'I'});
    const auto r = RunCli({"render", broken, out, "--note", "60"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(r.err.empty());
    EXPECT_FALSE(std::filesystem::exists(out));
}

} // namespace
} // namespace sonlet
