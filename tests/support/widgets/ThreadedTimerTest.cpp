#include "support/widgets/ThreadedTimer.h"

#include "QtTestApp.h"

#include <QApplication>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

namespace sonlet {
namespace {

using testkit::ProcessEventsFor;
using testkit::ProcessEventsUntil;

struct TickCounter {
    int ticks = 0;
    bool allOnGuiThread = true;
    void Attach(TThreadedTimer& timer) {
        timer.OnTimer = [this](TThreadedTimer&) {
            ++ticks;
            allOnGuiThread = allOnGuiThread && QThread::currentThread() == qApp->thread();
        };
    }
};

TEST(ThreadedTimerTest, NewTimerIsDisabledWithDefaultsAndNeverTicks) {
    TThreadedTimer timer;
    TickCounter counter;
    counter.Attach(timer);
    EXPECT_FALSE(timer.Enabled());
    EXPECT_EQ(timer.Interval(), 1000u);
    EXPECT_FALSE(timer.AllowZero());
    EXPECT_EQ(timer.ThreadPriority(), QThread::NormalPriority);
    timer.SetInterval(1);
    ProcessEventsFor(60);
    EXPECT_EQ(counter.ticks, 0);
}

TEST(ThreadedTimerTest, EnabledTimerTicksOnGuiThreadUntilDisabled) {
    TThreadedTimer timer;
    TickCounter counter;
    counter.Attach(timer);
    timer.SetInterval(5);
    timer.SetThreadPriority(QThread::HighPriority);
    EXPECT_EQ(timer.ThreadPriority(), QThread::HighPriority);
    timer.SetEnabled(true);
    ASSERT_TRUE(ProcessEventsUntil([&] { return counter.ticks >= 3; }));
    EXPECT_TRUE(counter.allOnGuiThread);

    timer.SetEnabled(false);
    ProcessEventsFor(20);
    const int afterDisable = counter.ticks;
    ProcessEventsFor(60);
    EXPECT_EQ(counter.ticks, afterDisable);

    timer.SetEnabled(true);
    EXPECT_TRUE(ProcessEventsUntil([&] { return counter.ticks > afterDisable; }));
}

TEST(ThreadedTimerTest, ZeroIntervalRunsOnlyWhenAllowed) {
    TThreadedTimer timer;
    TickCounter counter;
    counter.Attach(timer);
    timer.SetInterval(0);
    timer.SetEnabled(true);
    EXPECT_TRUE(timer.Enabled());
    ProcessEventsFor(60);
    EXPECT_EQ(counter.ticks, 0);

    timer.SetEnabled(false);
    timer.SetAllowZero(true);
    timer.SetEnabled(true);
    EXPECT_TRUE(ProcessEventsUntil([&] { return counter.ticks >= 10; }));
}

TEST(ThreadedTimerTest, ThrowingHandlerKeepsTheTimerTicking) {
    TThreadedTimer timer;
    int ticks = 0;
    timer.OnTimer = [&](TThreadedTimer&) {
        ++ticks;
        throw std::runtime_error("handler failed");
    };
    timer.SetInterval(2);
    timer.SetEnabled(true);
    EXPECT_TRUE(ProcessEventsUntil([&] { return ticks >= 3; }));
}

// The worker has posted a tick and waits for the GUI thread, which is busy elsewhere.
TEST(ThreadedTimerTest, TickQueuedWhileDisabledIsDropped) {
    TThreadedTimer timer;
    TickCounter counter;
    counter.Attach(timer);
    timer.SetInterval(1);
    timer.SetEnabled(true);
    QThread::msleep(40);
    timer.SetEnabled(false);
    ProcessEventsFor(40);
    EXPECT_EQ(counter.ticks, 0);
}

TEST(ThreadedTimerTest, DestroyingReturnsWhileATickIsQueuedAndTheTickNeverRuns) {
    TickCounter counter;
    {
        auto timer = std::make_unique<TThreadedTimer>();
        counter.Attach(*timer);
        timer->SetInterval(1);
        timer->SetEnabled(true);
        QThread::msleep(40);
    }
    ProcessEventsFor(40);
    EXPECT_EQ(counter.ticks, 0);

    // A disabled timer's parked thread ends as well.
    auto idle = std::make_unique<TThreadedTimer>();
    idle.reset();
}

} // namespace
} // namespace sonlet
