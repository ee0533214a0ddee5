#include "CapturingReporter.h"
#include "TempDir.h"
#include "model/Instrument.h"
#include "playback/Player.h"
#include "playback/SdlOutputRing.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace sonlet {
namespace {

using namespace std::chrono_literals;

// Little-endian 16-bit values of a raw stereo file.
std::vector<std::int16_t> ReadRaw(const std::string& path) {
    const std::vector<std::uint8_t> bytes = testkit::ReadAll(path);
    std::vector<std::int16_t> values(bytes.size() / 2);
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = static_cast<std::int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    }
    return values;
}

// SDL's disk driver writes what the device callback hands it into a file, in real time.
TEST(SdlOutputRing, NotePlayedThroughTheDiskDriverReachesTheFile) {
    testkit::TempDir dir;
    const std::string output = dir.File("out.raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
    testkit::CapturingReporter reporter;

    TInstrument instrument;
    instrument.InitNew();
    TSample& sample = *instrument.CurrentSample();
    for (std::int64_t i = 0; i < sample.NumSamples; ++i) {
        sample.SetValue(16384, i);
    }
    sample.SetLoopStart(0);
    sample.SetLoopLength(sample.NumFrames);
    sample.SetLoopType(LoopForward);
    InstrumentSlot slot{&instrument};

    // Tests run side by side here: a longer period than the default keeps the player fed.
    // The ring is sized from the period the driver grants.
    auto ring = std::make_unique<SdlOutputRing>();
    ring->RequestLatency(100);
    auto player = TWavePlayer::Create(std::move(ring));
    ASSERT_TRUE(player) << (reporter.Texts().empty() ? "" : reporter.Texts()[0]);
    EXPECT_EQ(player->Geometry().segmentFrames, 1024);
    player->OutputGain = 0.5f;
    player->Resume();
    // The thread clears the voices when it starts; play once the ring runs.
    for (int tries = 0; tries < 500 && !player->Playing(); ++tries) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_TRUE(player->Playing());
    player->NoteOn(slot, 60, 127);

    // Let half a second of sound reach the file (the note starts 116 ms after the call); the
    // limit on the tries is a safety net, not a timing check.
    const std::uintmax_t wanted = OutputRate * FrameBytes / 2;
    for (int tries = 0; tries < 1000; ++tries) {
        std::error_code error;
        if (std::filesystem::file_size(output, error) >= wanted && !error) {
            break;
        }
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(CoreThread::ShutDown(std::move(player), 10s));
    EXPECT_TRUE(reporter.Texts().empty());

    // Left and right agree, and every frame of the note has its level. A player that the
    // machine leaves waiting gives the device a silent period now and then (the device never
    // replays old data); that is a matter of load, not of the values, so silence is allowed.
    const std::vector<std::int16_t> values = ReadRaw(output);
    std::size_t first = 0;
    while (first < values.size() && values[first] == 0) {
        ++first;
    }
    EXPECT_EQ(first % 2, 0u);
    std::size_t sounding = 0;
    for (std::size_t i = first; i < values.size(); ++i) {
        if (values[i] != 0) {
            ASSERT_EQ(values[i], 8191) << i;
            ++sounding;
        }
    }
    EXPECT_GE(sounding, 2048u);
}

TEST(SdlOutputRing, LatencyChoosesTheLongestPeriodWhoseTwoPeriodsFit) {
    EXPECT_EQ(SdlOutputRing::PeriodForLatency(0), 256);
    EXPECT_EQ(SdlOutputRing::PeriodForLatency(-5), 256);
    EXPECT_EQ(SdlOutputRing::PeriodForLatency(1), 128);
    EXPECT_EQ(SdlOutputRing::PeriodForLatency(12), 256);
    EXPECT_EQ(SdlOutputRing::PeriodForLatency(50), 1024);
    EXPECT_EQ(SdlOutputRing::PeriodForLatency(1'000'000), 16384);
}

// The disk driver fails to open when its file cannot be created, like a device that is gone.
TEST(SdlOutputRing, ALostDeviceIsAnnouncedOncePerLoss) {
    testkit::TempDir dir;
    const std::string output = dir.File("out.raw");
    const std::string unreachable = dir.File("missing/out.raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
    SdlOutputRing ring;
    ASSERT_TRUE(ring.InitOutput());
    ASSERT_TRUE(ring.CreateStreamBuffer());

    const auto lose = [&] {
        setenv("SDL_DISKAUDIOFILE", unreachable.c_str(), 1);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(ring.Restore(), RingBufferLost);
        }
        EXPECT_TRUE(ring.IsLost());
    };
    testing::internal::CaptureStderr();
    lose();
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
    EXPECT_EQ(ring.Restore(), RingOk);
    lose();
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 2) << printed;
}

} // namespace
} // namespace sonlet
