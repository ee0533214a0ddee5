// A voice rewritten by one thread while another copies it: every copy the mixer accepts is
// one whole voice, never a mix of the old and the new fields.
#include "playback/SegmentEventQueue.h"
#include "playback/VoiceTable.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace sonlet {
namespace {

TEST(VoicePublication, AcceptedCopiesAreNeverHalfRewritten) {
    VoiceTable table;
    table.ResetAll();
    InstrumentSlot slot{nullptr};
    std::atomic<bool> done{false};
    // Every note n is started at pass n, offset 4n: a copy is whole when these agree.
    std::thread writer([&] {
        for (std::int32_t n = 1; n < 200000; ++n) {
            table.StartAt(slot, n, n % 128, TimePoint{n, 4 * n});
        }
        done = true;
    });
    std::int64_t accepted = 0;
    while (!done) {
        for (std::int32_t i = 0; i < VoiceCount; ++i) {
            VoiceState v;
            if (!table.Snapshot(i, v) || v.Status == VoiceFree) {
                continue;
            }
            ++accepted;
            ASSERT_EQ(v.StartBuf, v.Note);
            ASSERT_EQ(v.StartPos, 4 * static_cast<std::int64_t>(v.Note));
            ASSERT_EQ(v.Velocity, v.Note % 128);
            ASSERT_EQ(v.PitchRatio, PitchRatioFor(v.Note));
            // The mixer's own free never undoes a newer note.
            if (v.Note % 7 == 0) {
                table.FreeIfUnchanged(i, v.Version);
            }
        }
    }
    writer.join();
    EXPECT_GT(accepted, 0);
}

TEST(SegmentEvents, ComeInOrderAndAWakeUpComesFirst) {
    SegmentEventQueue queue;
    queue.Post(3);
    queue.Post(0);
    EXPECT_EQ(queue.Wait(), 3);
    queue.Wake();
    EXPECT_EQ(queue.Wait(), WokenByRequest);
    EXPECT_EQ(queue.Wait(), 0);
    // A full queue keeps the first 16 and drops the rest rather than block the producer.
    for (std::int32_t i = 0; i < 40; ++i) {
        queue.Post(i % 4);
    }
    for (std::int32_t i = 0; i < 16; ++i) {
        ASSERT_EQ(queue.Wait(), i % 4);
    }
    queue.Wake();
    EXPECT_EQ(queue.Wait(), WokenByRequest);
}

} // namespace
} // namespace sonlet
