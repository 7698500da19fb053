#include "widgets/StatusBar.h"
#include "widgets/StatusBarSendStatus.h"

#include <QLabel>
#include <QProgressBar>
#include <gtest/gtest.h>

namespace {

using Panel = TSendStatusBar::Panel;

struct BarLayout
{
    const char *sendName;
    QList<Panel> panels;
    QList<int> widths;
    int countIndex;
    int numberIndex;
};

// The mailer's bar and the agent's.
const QList<BarLayout> Layouts{
    {"group send", {Panel::Activity, Panel::Unused, Panel::MemberCount, Panel::MemberNumber, Panel::Blank},
     {260, 0, 100, 100, 70}, 2, 3},
    {"scheduled send", {Panel::Activity, Panel::MemberCount, Panel::MemberNumber}, {260, 100, 100}, 1, 2},
};

TEST(SendStatusBar, EachProgramsBarHasItsPanelsInOrderWithTheirCaptionsAndDescriptions)
{
    for (const BarLayout &layout : Layouts) {
        SCOPED_TRACE(layout.sendName);
        TSendStatusBar bar(layout.sendName, layout.panels);
        EXPECT_EQ(bar.objectName(), "smtpstatus");
        EXPECT_EQ(bar.accessibleName(), "smtpstatus");
        EXPECT_EQ(bar.accessibleDescription(), QStringLiteral("Status of the ") + layout.sendName);
        ASSERT_EQ(bar.panelCount(), layout.widths.size());
        for (int i = 0; i < bar.panelCount(); ++i) {
            EXPECT_EQ(bar.panel(i)->objectName(), QStringLiteral("panel%1").arg(i));
            EXPECT_EQ(bar.panel(i)->width(), layout.widths[i]) << i;
            EXPECT_EQ(bar.panel(i)->isVisibleTo(&bar), layout.widths[i] > 0) << i;
        }
        EXPECT_EQ(bar.activityPanel(), bar.panel(0));
        EXPECT_EQ(bar.memberCountPanel(), bar.panel(layout.countIndex));
        EXPECT_EQ(bar.memberNumberPanel(), bar.panel(layout.numberIndex));
        EXPECT_EQ(bar.activityPanel()->text(), "");
        EXPECT_EQ(bar.activityPanel()->accessibleDescription(),
                  QStringLiteral("Progress and result of the ") + layout.sendName);
        EXPECT_EQ(bar.memberCountPanel()->text(), "Email:");
        EXPECT_EQ(bar.memberCountPanel()->accessibleDescription(), "Number of recipients in the group");
        EXPECT_EQ(bar.memberNumberPanel()->text(), "Email nr:");
        EXPECT_EQ(bar.memberNumberPanel()->accessibleDescription(), "Number of the recipient being sent to");
        EXPECT_FALSE(bar.pb()->isVisibleTo(&bar));
    }
    TSendStatusBar mailer("group send", Layouts[0].panels);
    EXPECT_EQ(mailer.panel(1)->frameShape(), QFrame::NoFrame) << "the panel that takes no room has no bevel";
    EXPECT_EQ(mailer.panel(4)->frameShape(), QFrame::Panel);
    EXPECT_EQ(mailer.panel(4)->text(), "");
}

TEST(SendStatusBar, ARunShowsInTheWordsOfBothPrograms)
{
    for (const BarLayout &layout : Layouts) {
        SCOPED_TRACE(layout.sendName);
        TSendStatusBar bar(layout.sendName, layout.panels);
        TStatusBarSendStatus status(bar);
        status.setActivity("Sending to: Ann");
        status.setMemberCount(10);
        status.setMemberNumber(7);
        EXPECT_EQ(bar.panelText(0), "Sending to: Ann");
        EXPECT_EQ(bar.panelText(layout.countIndex), "Email: 10");
        EXPECT_EQ(bar.panelText(layout.numberIndex), "Email nr:7") << "no blank before the number";
        status.setMemberCount(0);
        EXPECT_EQ(bar.panelText(layout.countIndex), "Email: 0") << "an empty group has a count";
        status.setMemberCount(std::nullopt);
        status.setMemberNumber(std::nullopt);
        EXPECT_EQ(bar.panelText(layout.countIndex), "Email: ");
        EXPECT_EQ(bar.panelText(layout.numberIndex), "Email nr: ");

        status.showRunControls(true);
        EXPECT_TRUE(bar.pb()->isVisibleTo(&bar));
        status.showRunControls(false);
        EXPECT_FALSE(bar.pb()->isVisibleTo(&bar));
    }
}

TEST(SendStatusBar, TheProgressStaysWithinItsRange)
{
    TSendStatusBar bar("scheduled send", Layouts[1].panels);
    TStatusBarSendStatus status(bar);
    status.setProgressRange(10);
    status.setProgressPosition(4);
    EXPECT_EQ(bar.pb()->maximum(), 10);
    EXPECT_EQ(bar.pb()->value(), 4);
    // A resumed run may start past the last member.
    status.setProgressPosition(11);
    EXPECT_EQ(bar.pb()->value(), 10);
    status.setProgressPosition(-1);
    EXPECT_EQ(bar.pb()->value(), 0);
    // An empty group's run stands at its first member.
    status.setProgressRange(0);
    status.setProgressPosition(1);
    EXPECT_EQ(bar.pb()->value(), 0);
}

} // namespace
