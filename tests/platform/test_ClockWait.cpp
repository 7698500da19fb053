#include "platform/ClockWait.h"

#include "support/MockClock.h"

#include <QTimer>
#include <gtest/gtest.h>

// A wait for a time of the clock: over when the clock gets there, also when it
// is set while the wait runs, and at once on Stop.

namespace {

const QDateTime Start(QDate(2026, 12, 8), QTime(12, 0, 0));

TEST(ClockWait, ATimeThatHasComeDoesNotWait)
{
    MockClock clock(Start);
    TClockWait wait;
    EXPECT_TRUE(wait.WaitUntil(Start));
    EXPECT_TRUE(wait.WaitUntil(Start.addSecs(-5)));
    EXPECT_FALSE(wait.Waiting());
}

TEST(ClockWait, EndsWhenTheClockGetsThereWhileTimersRun)
{
    MockClock clock(Start);
    TClockWait wait;
    wait.CheckMs = 5;
    int ticks = 0;
    QTimer ticker;
    // A minute passes in ten steps while the wait runs.
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
        EXPECT_TRUE(wait.Waiting());
        clock.advanceSeconds(6);
    });
    ticker.start(1);
    EXPECT_TRUE(wait.WaitUntil(Start.addSecs(60)));
    EXPECT_GE(ticks, 10) << "not before the time";
    EXPECT_GE(clock.currentDateTime(), Start.addSecs(60));
    EXPECT_FALSE(wait.Waiting());
}

TEST(ClockWait, StopEndsTheWaitAndOnlyTheWaitUnderWay)
{
    MockClock clock(Start);
    TClockWait wait;
    wait.Stop(); // none waits: nothing to end, and the next wait is not cut short
    QTimer::singleShot(0, &wait, [&] { wait.Stop(); });
    EXPECT_FALSE(wait.WaitUntil(Start.addSecs(3600)));
    QTimer::singleShot(0, &wait, [&] { clock.advanceSeconds(10); });
    EXPECT_TRUE(wait.WaitUntil(Start.addSecs(10)));
}

}
