#include "playback/Player.h"

#include "CapturingReporter.h"
#include "TestOutputRing.h"
#include "model/Instrument.h"

#include <future>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace sonlet {
namespace {

using namespace std::chrono_literals;

// Forwards to a TestOutputRing the test keeps, and tells when the player destroyed it.
class ObservedRing final : public ForwardingRing {
public:
    ObservedRing(TestOutputRing& ring, std::promise<void>& destroyed)
        : ForwardingRing(ring), destroyed_(destroyed) {}
    ~ObservedRing() override { destroyed_.set_value(); }

private:
    std::promise<void>& destroyed_;
};

class Player : public ::testing::Test {
protected:
    void SetUp() override {
        instrument.InitNew();
        TSample& sample = *instrument.CurrentSample();
        for (std::int64_t i = 0; i < sample.NumSamples; ++i) {
            sample.SetValue(16384, i);
        }
        sample.SetLoopStart(0);
        sample.SetLoopLength(sample.NumFrames);
        sample.SetLoopType(LoopForward);
        slot.store(&instrument);
    }
    void TearDown() override {
        if (player) {
            player->RequestTermination();
            ASSERT_TRUE(player->WaitForEnd(10s));
        }
    }
    void Start(TestOutputRing::Failures failures = {}) {
        auto owned = std::make_unique<TestOutputRing>(failures);
        ring = owned.get();
        player = TWavePlayer::Create(std::move(owned));
        ASSERT_TRUE(player);
        player->OutputGain = 0.5f;
        player->Resume();
    }
    // Plays on: playback enters the next segment and the player writes the one after it.
    void Enter(std::int32_t segment) {
        const std::size_t before = ring->WriteCount();
        ring->EnterSegment(segment);
        ASSERT_TRUE(ring->WaitForWrites(before + 1));
    }
    // Every frame written so far, in write order: write n holds output frames n × 1024 on.
    std::vector<std::int16_t> Stream() const {
        std::vector<std::int16_t> left;
        for (const auto& write : ring->Writes()) {
            for (std::size_t m = 0; m < static_cast<std::size_t>(SegmentFrames); ++m) {
                left.push_back(write.values[2 * m]);
            }
        }
        return left;
    }
    static std::int64_t FirstSound(const std::vector<std::int16_t>& left) {
        for (std::size_t i = 0; i < left.size(); ++i) {
            if (left[i] != 0) {
                return static_cast<std::int64_t>(i);
            }
        }
        return -1;
    }
    static std::int64_t LastSound(const std::vector<std::int16_t>& left) {
        for (std::size_t i = left.size(); i > 0; --i) {
            if (left[i - 1] != 0) {
                return static_cast<std::int64_t>(i - 1);
            }
        }
        return -1;
    }

    testkit::CapturingReporter reporter;
    TInstrument instrument;
    InstrumentSlot slot{nullptr};
    TestOutputRing* ring = nullptr;
    std::unique_ptr<TWavePlayer> player;
};

TEST_F(Player, FailedInitOutputIsReportedAndGivesNoPlayer) {
    auto failing = std::make_unique<TestOutputRing>(TestOutputRing::Failures{.init = true});
    EXPECT_EQ(TWavePlayer::Create(std::move(failing)), nullptr);
    EXPECT_EQ(reporter.Messages(),
              (std::vector<testkit::CapturedMessage>{
                  {"Error", "Error initializing DirectSound.", MessageIcon::Error}}));
}

TEST_F(Player, MissingStreamBufferIsReportedByTheThread) {
    Start({.streamBuffer = true});
    ASSERT_TRUE(player->WaitForEnd(10s));
    EXPECT_EQ(reporter.Texts(), std::vector<std::string>{"Error preparing buffer"});
    EXPECT_EQ(ring->WriteCount(), 0u);
    // Note commands still work on the voice table.
    player->NoteOn(slot, 60, 100);
    EXPECT_EQ(player->Voices().Read(0).Status, VoiceHeld);
}

TEST_F(Player, WritesSegmentZeroThenStaysOneSegmentAhead) {
    Start();
    ASSERT_TRUE(ring->WaitForWrites(1));
    for (std::int32_t s : {0, 1, 2, 3, 0}) {
        Enter(s);
    }
    std::vector<std::int32_t> order;
    for (const auto& write : ring->Writes()) {
        order.push_back(write.segment);
    }
    EXPECT_EQ(order, (std::vector<std::int32_t>{0, 1, 2, 3, 0, 1}));
    EXPECT_EQ(player->Voices().Passes(), 1);
    EXPECT_EQ(player->Voices().LastWrapPass(), 1);
    EXPECT_TRUE(ring->IsPlaying());
    EXPECT_EQ(ring->StartCount(), 1);
}

TEST_F(Player, NoteSoundsAndEndsAtItsStampedFrames) {
    instrument.Fadeout = 2047;
    Start();
    ASSERT_TRUE(ring->WaitForWrites(1));
    Enter(0);
    Enter(1);
    ring->AdvanceTo(4096 + 402);
    player->NoteOn(slot, 60, 127);
    const std::int64_t onFrame = (4096 + 400) / 4 + 5120;
    for (std::int32_t s : {2, 3, 0, 1, 2}) {
        Enter(s);
    }
    ring->AdvanceTo(2 * 4096 + 4000);
    player->NoteOff(slot, 60);
    const std::int64_t offFrame = 4096 + (2 * 4096 + 4000) / 4 + 5120;
    for (std::int32_t s : {3, 0, 1, 2, 3, 0, 1, 2, 3, 0}) {
        Enter(s);
    }
    const auto left = Stream();
    EXPECT_EQ(FirstSound(left), onFrame);
    EXPECT_EQ(left[static_cast<std::size_t>(onFrame)], 8191);
    // Fadeout 2047 frees the voice 4309 frames after its release.
    EXPECT_EQ(LastSound(left), offFrame + 4308);
    EXPECT_EQ(player->Voices().Read(0).Status, VoiceFree);
}

// Every note starts the ring's note delay (5120 frames here) after the cursor at its call,
// wherever the cursor is: also right after the wrap, before the player has seen its event.
TEST_F(Player, NotesStartExactlyTheNoteDelayAfterTheirCalls) {
    InstrumentSlot other{&instrument};
    Start();
    ASSERT_TRUE(ring->WaitForWrites(1));
    ASSERT_EQ(player->Geometry().noteDelayFrames, 5120);
    Enter(0);
    ring->AdvanceTo(2 * 4096 + 1236);
    player->NoteOn(slot, 60, 127);
    for (std::int32_t s : {1, 2, 3}) {
        Enter(s);
    }
    // Segment 0 of pass 1 is written and playing, but its event has not come yet.
    ring->AdvanceTo(100);
    player->NoteOn(other, 61, 127);
    for (std::int32_t s : {0, 1, 2, 3, 0, 1, 2}) {
        Enter(s);
    }
    std::vector<std::int64_t> starts;
    for (std::int32_t i : {0, 1}) {
        const VoiceState v = player->Voices().Read(i);
        starts.push_back((v.StartBuf * RingBytes + v.StartPos) / FrameBytes);
    }
    EXPECT_EQ(starts,
              (std::vector<std::int64_t>{(2 * 4096 + 1236) / 4 + 5120, 4096 + 100 / 4 + 5120}));
    const auto left = Stream();
    EXPECT_EQ(FirstSound(left), starts[0]);
    // The second note doubles the level from its first frame.
    EXPECT_EQ(left[static_cast<std::size_t>(starts[1]) - 1], 8191);
    EXPECT_GT(left[static_cast<std::size_t>(starts[1])], 8191);
}

TEST_F(Player, MissedWrapEventIsMadeUpAtTheNextSegmentZero) {
    Start();
    ASSERT_TRUE(ring->WaitForWrites(1));
    Enter(0);
    // Starts at (1, 400 + 4096): frame 4096 + 1124 of the timeline.
    ring->AdvanceTo(400);
    player->NoteOn(slot, 60, 127);
    Enter(1);
    Enter(2);
    // The event of segment 3 never comes; segment 0 of pass 1 still counts its pass.
    Enter(0);
    EXPECT_EQ(player->Voices().Passes(), 1);
    EXPECT_EQ(player->Voices().LastWrapPass(), 1);
    const auto writes = ring->Writes();
    ASSERT_EQ(writes.size(), 5u);
    ASSERT_EQ(writes[4].segment, 1);
    // Segment 1 of pass 1 holds frames 5120 on: the note sounds from its frame 100.
    EXPECT_EQ(writes[4].values[2 * 99], 0);
    EXPECT_EQ(writes[4].values[2 * 100], 8191);
}

TEST_F(Player, LockFailuresAreShownAndALostBufferIsRestored) {
    Start();
    ASSERT_TRUE(ring->WaitForWrites(1));
    ring->FailNextLocks({RingBufferLost});
    Enter(0);
    EXPECT_EQ(ring->Writes().back().segment, 1);
    EXPECT_EQ(ring->RestoreCount(), 1);
    EXPECT_EQ(reporter.Texts(), std::vector<std::string>{"-2005401450"});

    // Any other failure gives the segment up.
    ring->FailNextLocks({-5});
    ring->EnterSegment(1);
    Enter(2);
    EXPECT_EQ(ring->Writes().back().segment, 3);
    EXPECT_EQ(ring->WriteCount(), 3u);
    EXPECT_EQ(reporter.Texts(), (std::vector<std::string>{"-2005401450", "-5"}));

    // A lost output is restored, as often as it takes, before the next write.
    ring->SetLost(true, 2);
    Enter(3);
    EXPECT_EQ(ring->RestoreCount(), 4);
    EXPECT_EQ(ring->Writes().back().segment, 0);
}

TEST_F(Player, WaitForALostOutputEndsAtOnceOnTermination) {
    auto owned = std::make_unique<TestOutputRing>();
    ring = owned.get();
    player = TWavePlayer::Create(std::move(owned));
    ASSERT_TRUE(player);
    // A wait that only the termination request can end within the test's limits.
    player->RestoreRetry = {std::chrono::hours(1), std::chrono::hours(1)};
    player->Resume();
    ASSERT_TRUE(ring->WaitForWrites(1));
    ring->SetLost(true, 1'000'000);
    ring->EnterSegment(0);
    // The limit is a safety net against a hung test, not a timing check.
    const auto limit = std::chrono::steady_clock::now() + 10s;
    while (ring->RestoreCount() == 0 && std::chrono::steady_clock::now() < limit) {
        std::this_thread::yield();
    }
    ASSERT_EQ(ring->RestoreCount(), 1);
    player->RequestTermination();
    EXPECT_TRUE(player->WaitForEnd(10s));
    EXPECT_EQ(ring->RestoreCount(), 1);
    EXPECT_TRUE(reporter.Texts().empty());
}

TEST_F(Player, FailedStartPlaysNothingAndEndsOnRequest) {
    Start({.start = true});
    ASSERT_TRUE(ring->WaitForWrites(1));
    EXPECT_FALSE(player->Playing());
    player->RequestTermination();
    EXPECT_TRUE(player->WaitForEnd(10s));
}

TEST_F(Player, TerminationAndQuitStopTheRing) {
    Start();
    ASSERT_TRUE(ring->WaitForWrites(1));
    player->RequestQuit();
    ASSERT_TRUE(player->WaitForEnd(10s));
    EXPECT_FALSE(ring->IsPlaying());

    player.reset();
    Start();
    ASSERT_TRUE(ring->WaitForWrites(1));
    player->RequestTermination();
    ASSERT_TRUE(player->WaitForEnd(10s));
    EXPECT_FALSE(ring->IsPlaying());
}

TEST_F(Player, VoiceStatusBoxAfterStart) {
    Start();
    ASSERT_TRUE(ring->WaitForWrites(1));
    player->ShowVoiceStatus();
    const auto messages = reporter.Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, ApplicationTitle);
    EXPECT_EQ(messages[0].text, player->VoiceStatusText());
    EXPECT_EQ(messages[0].text.substr(0, messages[0].text.find('\n') + 1),
              "f: 0  Status: 0  StartBuf: 0  StartPos: 0  StopBuf: 0  StopPos: 0  Note: 1  "
              "Mode: standard\r\n");
}

TEST(PlayerShutdown, FreeOnExitDestroysThePlayerAfterTheTerminationRequest) {
    TestOutputRing ring;
    std::promise<void> destroyed;
    auto player = TWavePlayer::Create(std::make_unique<ObservedRing>(ring, destroyed));
    ASSERT_TRUE(player);
    player->Resume();
    ASSERT_TRUE(ring.WaitForWrites(1));
    player->FreeOnExit = true;
    player.release()->RequestTermination();
    EXPECT_EQ(destroyed.get_future().wait_for(10s), std::future_status::ready);
}

TEST(PlayerShutdown, FreeOnExitWaitsForTheRequestWhenTheThreadEndedFirst) {
    testkit::CapturingReporter reporter;
    TestOutputRing ring({.streamBuffer = true});
    std::promise<void> destroyed;
    auto player = TWavePlayer::Create(std::make_unique<ObservedRing>(ring, destroyed));
    player->FreeOnExit = true;
    player->Resume();
    ASSERT_TRUE(player->WaitForEnd(10s));
    // Ended on its own ("Error preparing buffer"); still valid until the request.
    EXPECT_EQ(player->VoiceStatusText().substr(0, 3), "f: ");
    auto future = destroyed.get_future();
    EXPECT_EQ(future.wait_for(0s), std::future_status::timeout);
    player.release()->RequestTermination();
    EXPECT_EQ(future.wait_for(10s), std::future_status::ready);
}

// Holds every box open until the test lets it go, like a user who does not click.
class BlockingReporter final : public Reporter {
public:
    BlockingReporter() : scope_(*this) {}
    void ShowBox(std::string_view, std::string_view, MessageIcon) override {
        shown_.set_value();
        dismissed_.get_future().wait();
    }
    bool AskYesNo(std::string_view, std::string_view) override { return false; }
    bool AskRetryIgnore(std::string_view, std::string_view) override { return false; }
    void WaitShown() { shown_.get_future().wait(); }
    void Dismiss() { dismissed_.set_value(); }

private:
    std::promise<void> shown_;
    std::promise<void> dismissed_;
    ScopedReporter scope_;
};

TEST(PlayerShutdown, BoundedShutdownHandsABusyPlayerToItsThread) {
    BlockingReporter reporter;
    TestOutputRing ring;
    std::promise<void> destroyed;
    auto player = TWavePlayer::Create(std::make_unique<ObservedRing>(ring, destroyed));
    player->Resume();
    ASSERT_TRUE(ring.WaitForWrites(1));
    ring.FailNextLocks({-1});
    ring.EnterSegment(0);
    reporter.WaitShown();
    auto future = destroyed.get_future();
    EXPECT_FALSE(CoreThread::ShutDown(std::move(player), 20ms));
    EXPECT_EQ(future.wait_for(0s), std::future_status::timeout);
    reporter.Dismiss();
    EXPECT_EQ(future.wait_for(10s), std::future_status::ready);
}

TEST(PlayerShutdown, BoundedShutdownOfAnIdlePlayer) {
    TestOutputRing ring;
    std::promise<void> destroyed;
    auto player = TWavePlayer::Create(std::make_unique<ObservedRing>(ring, destroyed));
    player->Resume();
    ASSERT_TRUE(ring.WaitForWrites(1));
    EXPECT_TRUE(CoreThread::ShutDown(std::move(player), 10s));
    EXPECT_EQ(destroyed.get_future().wait_for(0s), std::future_status::ready);
}

} // namespace
} // namespace sonlet
