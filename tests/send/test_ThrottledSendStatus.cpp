#include "support/GroupSendFixture.h"
#include "send/ThrottledSendStatus.h"

#include <gtest/gtest.h>

namespace {

// An interval no test lasts: only the flushes the status makes itself show.
constexpr int Never = 3600 * 1000;

TEST(ThrottledSendStatus, ChangesWithinAnIntervalReachTheDisplayOnceWithTheirLatestValues)
{
    RecordingStatus display;
    TThrottledSendStatus status(display, Never);
    status.setMemberNumber(1);
    status.setProgressPosition(1);
    EXPECT_TRUE(display.memberNumbers.isEmpty()) << "nothing is drawn in the middle of a member";
    ASSERT_TRUE(waitFor([&] { return display.memberNumber == 1; }))
        << "the first change after a quiet while shows when the event loop turns";
    EXPECT_EQ(display.progress, 1);

    for (int member = 2; member <= 1000; ++member) {
        status.setActivity("Sending to: member " + QString::number(member));
        status.setMemberNumber(member);
        status.setProgressPosition(member);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(display.memberNumbers, QList<std::optional<int>>{1}) << "the interval has not passed";
    EXPECT_EQ(display.progress, 1);

    status.flush();
    EXPECT_EQ(display.memberNumbers, QList<std::optional<int>>({1, 1000}));
    EXPECT_EQ(display.activities, QStringList{"Sending to: member 1000"});
    EXPECT_EQ(display.progress, 1000);
}

TEST(ThrottledSendStatus, ALoneChangeShowsWithoutAnotherCall)
{
    RecordingStatus display;
    TThrottledSendStatus status(display, 20);
    status.setActivity("Dialing...");
    ASSERT_TRUE(waitFor([&] { return display.activity == "Dialing..."; }));
    status.setActivity("Not connected");
    ASSERT_TRUE(waitFor([&] { return display.activity == "Not connected"; }))
        << "a change within the interval shows when it has passed";
    EXPECT_EQ(display.activities, QStringList({"Dialing...", "Not connected"}));
}

TEST(ThrottledSendStatus, TheEndOfARunAndCancelShowTheFinalStateAtOnceAndBeforeWhatFollows)
{
    RecordingStatus display;
    TThrottledSendStatus status(display, Never);
    status.showRunControls(true);
    status.setProgressRange(50);
    for (int member = 1; member <= 50; ++member) {
        status.setMemberNumber(member);
        status.setProgressPosition(member);
    }
    // Cancel: what it shows is on the display before the controls go.
    bool controlsShownAtAborted = false;
    display.onActivity = [&](const QString &text) {
        if (text == "Operation aborted")
            controlsShownAtAborted = display.runControls;
    };
    status.setActivity("Operation aborted");
    status.setMemberCount(std::nullopt);
    status.setMemberNumber(std::nullopt);
    status.showRunControls(false);
    EXPECT_TRUE(controlsShownAtAborted);
    EXPECT_FALSE(display.runControls);
    EXPECT_EQ(display.activity, "Operation aborted");
    EXPECT_EQ(display.memberCount, std::nullopt);
    EXPECT_EQ(display.memberNumber, std::nullopt) << "the last change of a kind wins, also over a member's";
    EXPECT_EQ(display.progress, 50);

    // The results open on the run's last words.
    bool resultsOpenAtFinished = true;
    display.onActivity = [&](const QString &text) {
        if (text == "Operation finished")
            resultsOpenAtFinished = !display.results.isEmpty();
    };
    status.setActivity("Operation finished");
    status.showResults({"< 221 bye"});
    EXPECT_FALSE(resultsOpenAtFinished);
    EXPECT_EQ(display.activity, "Operation finished");
    ASSERT_EQ(display.results.size(), 1);

    status.setSendEnabled(false);
    status.setActivity("Dialing...");
    status.setSendEnabled(true);
    EXPECT_EQ(display.activity, "Dialing...");
    EXPECT_TRUE(display.sendEnabled);
}

} // namespace
