#include "support/Accessibility.h"
#include "mailer/ScheduleEditor.h"
#include "addressbook/TF_Groups.h"
#include "widgets/RecordNavigator.h"
#include "support/MainWindowFixture.h"
#include "support/ScriptedPrompts.h"
#include "support/StoreSetup.h"
#include "mailer/TF_Mdi.h"
#include "support/TempProgramFolder.h"
#include "support/WaitFor.h"
#include "widgets/StatusBar.h"
#include "widgets/ToolPanel.h"

#include <QAction>
#include <QLabel>
#include <QMdiSubWindow>
#include <QToolButton>
#include <gtest/gtest.h>
#include <stdexcept>

// Child windows for the tests: one plain, one derived, one that cannot be made.
class ProbeChild : public QWidget
{
    Q_OBJECT
public:
    ProbeChild() { setWindowTitle("Probe"); resize(200, 120); }
};

class DerivedProbeChild : public ProbeChild
{
    Q_OBJECT
};

class OtherChild : public QWidget
{
    Q_OBJECT
};

namespace {

// Counts the close events a window gets.
class CloseCounter : public QObject
{
public:
    CloseCounter(int &closes, QObject *parent) : QObject(parent), m_closes(closes) {}
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Close)
            ++m_closes;
        return false;
    }

private:
    int &m_closes;
};

class MainWindowTest : public MainWindowFixture
{
protected:
    int childCount() const { return static_cast<int>(mdi->mdiArea()->subWindowList().size()); }

    QPointer<ProbeChild> probe;
    QPointer<OtherChild> other;
};

TEST_F(MainWindowTest, StartsIdleWithItsPanelsAndNamedControls)
{
    EXPECT_EQ(mdi->windowTitle(), "Corvane 98 Professional");
    EXPECT_EQ(mdi->size(), QSize(618, 521));
    QToolButton *stop = button("bu_Stop");
    ASSERT_NE(stop, nullptr);
    EXPECT_FALSE(stop->isVisible());
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_TRUE(mdi->tb_Program()->isVisible());
    EXPECT_FALSE(mdi->pa_NewMsg()->isVisible());
    EXPECT_FALSE(mdi->pa_Signature()->isVisible());
    EXPECT_FALSE(mdi->pa_Agent()->isVisible());
    const QStringList hints{"Exit application", "Edit groups", "Signature", "Group send", "Agent Scheduler"};
    for (const char *name : {"bu_Close", "bu_Group", "bu_Signatur", "bu_SendGrp", "bu_Agent"})
        EXPECT_TRUE(hints.contains(button(name)->toolTip())) << name;
    EXPECT_EQ(button("bu_SendGrpMail")->toolTip(), "Start sending Email");
    EXPECT_EQ(button("bu_AttachGrpMail")->toolTip(), "Attatch file(s)");
    EXPECT_EQ(spokenName(button("bu_Stop")), "Cancel") << "a glyph is named by its hint";
    EXPECT_EQ(spokenName(mdi->smtpstatus()->panel(2)), "Email:");
    EXPECT_EQ(spokenName(mdi->smtpstatus()->panel(3)), "Email nr:");
    expectAccessibleNames(mdi.get());
}

TEST_F(MainWindowTest, EveryCommandStartsUsableAndAMenuItemOpensWhatItsButtonOpens)
{
    for (QAction *item : mdi->menuBar()->findChildren<QAction *>()) {
        if (!item->isSeparator()) {
            EXPECT_TRUE(item->isEnabled()) << item->objectName().toStdString();
        }
    }
    for (QToolButton *command : mdi->tb_Program()->findChildren<QToolButton *>()) {
        if (command->objectName() != "bu_Stop") {
            EXPECT_TRUE(command->isEnabled()) << command->objectName().toStdString();
        }
    }
    // Each pair opens one window of its own class, whichever of the two is used.
    const struct
    {
        const char *item;
        const char *button;
        const char *childClass;
    } pairs[] = {
        {"Editgroups1", "bu_Group", "TF_Groups"},
        {"Editsignature1", "bu_Signatur", "TF_Signature"},
        {"Groupsend1", "bu_SendGrp", "TF_NewMsg"},
        {"AgentSchedule1", "bu_Agent", "mailer::TF_Agent"},
    };
    for (const auto &pair : pairs) {
        menuAction(pair.item)->trigger();
        QMdiSubWindow *opened = mdi->mdiArea()->currentSubWindow();
        ASSERT_NE(opened, nullptr) << pair.item;
        EXPECT_STREQ(opened->widget()->metaObject()->className(), pair.childClass) << pair.item;
        mdi->OpenChild(other, [] { return new OtherChild; });
        button(pair.button)->click();
        EXPECT_EQ(mdi->mdiArea()->currentSubWindow(), opened) << pair.button;
    }
    EXPECT_EQ(childCount(), 5);
}

TEST_F(MainWindowTest, OpeningAChildTwiceBringsTheFirstForward)
{
    int created = 0;
    auto make = [&] { ++created; return new ProbeChild; };
    ProbeChild *first = mdi->OpenChild(probe, make);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(probe.data(), first);
    EXPECT_EQ(first->parentWidget()->pos(), QPoint(0, 0)) << "a new child opens at the top-left corner";

    mdi->OpenChild(other, [] { return new OtherChild; });
    EXPECT_EQ(mdi->mdiArea()->currentSubWindow()->widget(), other.data());
    first->parentWidget()->showMinimized();

    EXPECT_EQ(mdi->OpenChild(probe, make), first);
    EXPECT_EQ(created, 1);
    EXPECT_EQ(childCount(), 2);
    EXPECT_EQ(mdi->mdiArea()->currentSubWindow()->widget(), first);
    EXPECT_FALSE(first->parentWidget()->isMinimized()) << "restored to normal size";
}

TEST_F(MainWindowTest, AChildOfADerivedClassCountsAsOpen)
{
    QPointer<DerivedProbeChild> derived;
    mdi->OpenChild(derived, [] { return new DerivedProbeChild; });
    int created = 0;
    EXPECT_EQ(mdi->OpenChild(probe, [&] { ++created; return new ProbeChild; }), derived.data());
    EXPECT_EQ(created, 0);
}

TEST_F(MainWindowTest, AChildThatCannotBeCreatedIsReported)
{
    ProbeChild *made = mdi->OpenChild(probe, []() -> ProbeChild * { throw std::runtime_error("no resources"); });
    EXPECT_EQ(made, nullptr);
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_EQ(prompts.shown()[0].text, QString::fromUtf8("Fel vid försök skapa MDI-childform"));
    EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Plain);
    EXPECT_TRUE(mdi->updatesEnabled()) << "the main window stays usable";
    EXPECT_EQ(childCount(), 0);
}

TEST_F(MainWindowTest, ExitClosesTheActiveChildFirstThenAsks)
{
    mdi->OpenChild(probe, [] { return new ProbeChild; });
    menuAction("Exit1")->trigger();
    EXPECT_TRUE(prompts.shown().isEmpty());
    EXPECT_TRUE(waitFor([&] { return childCount() == 0 && probe.isNull(); }));

    prompts.answer(PromptAnswer::No);
    button("bu_Close")->click();
    EXPECT_EQ(prompts.texts(), QStringList{"Exit Corvane 98?"});
    EXPECT_EQ(prompts.shown()[0].buttons, PromptButtons::YesNo);
    EXPECT_TRUE(mdi->isVisible());

    prompts.answer(PromptAnswer::Yes);
    mdi->bu_CloseClick();
    EXPECT_FALSE(mdi->isVisible());
}

TEST_F(MainWindowTest, ToolPanelShowsOnlyWhileItsChildIsActive)
{
    mdi->bindToolPanel(ProbeChild::staticMetaObject, mdi->pa_NewMsg());
    mdi->OpenChild(probe, [] { return new ProbeChild; });
    EXPECT_TRUE(mdi->pa_NewMsg()->isVisible());
    EXPECT_TRUE(mdi->pa_NewMsg()->isEnabled());
    mdi->OpenChild(other, [] { return new OtherChild; });
    EXPECT_FALSE(mdi->pa_NewMsg()->isVisible());
    mdi->OpenChild(probe, [] { return new ProbeChild; });
    EXPECT_TRUE(mdi->pa_NewMsg()->isVisible());
    // A child that closes itself takes its frame and its panel with it.
    probe->close();
    EXPECT_TRUE(waitFor([&] { return childCount() == 1 && probe.isNull(); }));
    EXPECT_FALSE(mdi->pa_NewMsg()->isVisible());
}

TEST_F(MainWindowTest, AClosedChildsFrameIsClosedOnceWhileItsDeletionWaits)
{
    // A group send closes the message window and runs in a nested event
    // loop, which puts off the frame's deletion until the run has ended.
    mdi->OpenChild(probe, [] { return new ProbeChild; });
    QPointer<QWidget> frame = probe->parentWidget();
    int closes = 0;
    frame->installEventFilter(new CloseCounter(closes, frame));
    probe->close();
    for (int turn = 0; turn < 20; ++turn)
        QCoreApplication::processEvents();
    EXPECT_EQ(closes, 1) << "frame and child must not close each other at every turn";
    EXPECT_FALSE(frame && frame->isVisible());

    mdi->OpenChild(other, [] { return new OtherChild; });
    ASSERT_TRUE(other);
    frame = other->parentWidget();
    closes = 0;
    frame->installEventFilter(new CloseCounter(closes, frame));
    frame->close();
    for (int turn = 0; turn < 20; ++turn)
        QCoreApplication::processEvents();
    EXPECT_EQ(closes, 1) << "a frame closed by the user closes once";
    EXPECT_TRUE(waitFor([&] { return frame.isNull() && other.isNull() && childCount() == 0; }));
}

TEST_F(MainWindowTest, TheAgentSchedulerOpensOneScheduleWithTheNavigatorShownWhileItIsActive)
{
    QAction *item = menuAction("AgentSchedule1");
    ASSERT_TRUE(item->isEnabled());
    ASSERT_TRUE(button("bu_Agent")->isEnabled());
    item->trigger();
    QPointer<mailer::TF_Agent> schedule = mdi->F_Agent;
    ASSERT_FALSE(schedule.isNull());
    EXPECT_EQ(schedule->windowTitle(), "Schedule");
    EXPECT_EQ(schedule->parentWidget()->pos(), QPoint(0, 0));
    EXPECT_TRUE(mdi->pa_Agent()->isVisible());
    EXPECT_TRUE(mdi->pa_Agent()->isEnabled());
    EXPECT_EQ(mdi->AgentNavigator()->dataSet(), &dm->ta_Agent);
    button("bu_Agent")->click();
    EXPECT_EQ(mdi->F_Agent, schedule) << "the button brings the same window forward";
    EXPECT_EQ(childCount(), 1);

    mdi->Editgroups1Click();
    EXPECT_FALSE(mdi->pa_Agent()->isVisible()) << "another child is active";
    item->trigger();
    EXPECT_TRUE(mdi->pa_Agent()->isVisible());
    expectAccessibleNames(mdi.get());

    schedule->close();
    EXPECT_TRUE(waitFor([&] { return schedule.isNull(); }));
    EXPECT_FALSE(mdi->pa_Agent()->isVisible());
    EXPECT_TRUE(dm->ta_Agent.Active()) << "the table stays open in the data module";
}

}

#include "test_MainWindow.moc"
