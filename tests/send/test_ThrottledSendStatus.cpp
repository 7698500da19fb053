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
    status.setPanelText(3, "Email nr:1");
    status.setProgressPosition(1);
    EXPECT_TRUE(display.history[3].isEmpty()) << "nothing is drawn in the middle of a member";
    ASSERT_TRUE(waitFor([&] { return display.panels[3] == "Email nr:1"; }))
        << "the first change after a quiet while shows when the event loop turns";
    EXPECT_EQ(display.progress, 1);

    for (int member = 2; member <= 1000; ++member) {
        status.setPanelText(0, "Sending to: member " + QString::number(member));
        status.setPanelText(3, "Email nr:" + QString::number(member));
        status.setProgressPosition(member);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(display.history[3], QStringList{"Email nr:1"}) << "the interval has not passed";
    EXPECT_EQ(display.progress, 1);

    status.flush();
    EXPECT_EQ(display.history[3], QStringList({"Email nr:1", "Email nr:1000"}));
    EXPECT_EQ(display.history[0], QStringList{"Sending to: member 1000"});
    EXPECT_EQ(display.progress, 1000);
}

TEST(ThrottledSendStatus, ALoneChangeShowsWithoutAnotherCall)
{
    RecordingStatus display;
    TThrottledSendStatus status(display, 20);
    status.setPanelText(0, "Dialing...");
    ASSERT_TRUE(waitFor([&] { return display.panels[0] == "Dialing..."; }));
    status.setPanelText(0, "Not connected");
    ASSERT_TRUE(waitFor([&] { return display.panels[0] == "Not connected"; }))
        << "a change within the interval shows when it has passed";
    EXPECT_EQ(display.history[0], QStringList({"Dialing...", "Not connected"}));
}

TEST(ThrottledSendStatus, TheEndOfARunAndCancelShowTheFinalStateAtOnceAndBeforeWhatFollows)
{
    RecordingStatus display;
    TThrottledSendStatus status(display, Never);
    status.showRunControls(true);
    status.setProgressRange(50);
    for (int member = 1; member <= 50; ++member) {
        status.setPanelText(3, "Email nr:" + QString::number(member));
        status.setProgressPosition(member);
    }
    // Cancel: the texts it sets are on the display before the controls go.
    bool controlsShownAtAborted = false;
    display.onPanel = [&](int panel, const QString &text) {
        if (panel == 0 && text == "Operation aborted")
            controlsShownAtAborted = display.runControls;
    };
    status.setPanelText(0, "Operation aborted");
    status.setPanelText(2, "Email: ");
    status.setPanelText(3, "Email nr: ");
    status.showRunControls(false);
    EXPECT_TRUE(controlsShownAtAborted);
    EXPECT_FALSE(display.runControls);
    EXPECT_EQ(display.panels[0], "Operation aborted");
    EXPECT_EQ(display.panels[2], "Email: ");
    EXPECT_EQ(display.panels[3], "Email nr: ") << "the last text of a panel wins, also over a member's";
    EXPECT_EQ(display.progress, 50);

    // The results open on the run's last words.
    bool resultsOpenAtFinished = true;
    display.onPanel = [&](int panel, const QString &text) {
        if (panel == 0 && text == "Operation finished")
            resultsOpenAtFinished = !display.results.isEmpty();
    };
    status.setPanelText(0, "Operation finished");
    status.showResults({"< 221 bye"});
    EXPECT_FALSE(resultsOpenAtFinished);
    EXPECT_EQ(display.panels[0], "Operation finished");
    ASSERT_EQ(display.results.size(), 1);

    status.setSendEnabled(false);
    status.setPanelText(0, "Dialing...");
    status.setSendEnabled(true);
    EXPECT_EQ(display.panels[0], "Dialing...");
    EXPECT_TRUE(display.sendEnabled);
}

} // namespace
