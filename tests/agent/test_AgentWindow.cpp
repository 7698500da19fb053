#include "agent/AgentWindow.h"
#include "support/AgentFixture.h"
#include "agent/Tray.h"
#include "support/MemorySecretStore.h"
#include "widgets/DBGrid.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSystemTrayIcon>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class AgentWindowTest : public AgentFixture
{
protected:
    void SetUp() override
    {
        AgentFixture::SetUp();
        window = std::make_unique<agent::TF_Agent>(*dm, *components, files());
        window->openInEditor = [this](const QString &path) { opened.append(path); };
        window->show();
    }
    QStringList menuTexts(const QMenu *menu)
    {
        QStringList texts;
        for (const QAction *action : menu->actions())
            texts.append(action->isSeparator() ? "-" : action->text());
        return texts;
    }

    std::unique_ptr<agent::TF_Agent> window;
    QStringList opened;
};

TEST_F(AgentWindowTest, StartsWithTheScheduleShownTheTimerRunningAndTheIconOff)
{
    EXPECT_EQ(window->windowTitle(), "Ostrel98");
    EXPECT_TRUE(window->Loop().timer.isActive());
    EXPECT_FALSE(window->Tray().Active());
    EXPECT_EQ(window->Tray().Tip(), "Ostrel98 by Tamberlo");
    EXPECT_EQ(window->Tray().PopupMenu(), window->TrayMenu());
    EXPECT_EQ(menuTexts(window->TrayMenu()), QStringList({"Abort", "-", "Start timer", "Stop timer", "-", "Schedule",
                                                          "View logfile", "-", "Shutdown"}));
    EXPECT_FALSE(window->command("Abort")->isEnabled());
    EXPECT_FALSE(window->command("Starttimer1")->isEnabled());
    EXPECT_TRUE(window->command("Stoptimer1")->isEnabled());
    EXPECT_TRUE(window->ch_BeforeSend->isChecked());
    EXPECT_EQ(window->ch_BeforeSend->text(), "Prompt before send");
    EXPECT_TRUE(window->ch_Error->isChecked());
    EXPECT_EQ(window->ch_Error->text(), "Prompt if error");
    EXPECT_EQ(window->ed_Retry->text(), "3");
    EXPECT_EQ(window->panelText(0), "");
    EXPECT_EQ(window->panelText(1), "Email:");
    EXPECT_EQ(window->panelText(2), "Email nr:");

    // Left clicks on the icon do nothing; a right click only opens the menu.
    EXPECT_FALSE(window->Tray().SimpelFunction);
    EXPECT_FALSE(window->Tray().DefaultFunction);
    EXPECT_FALSE(window->Tray().ShowMenu);
}

TEST_F(AgentWindowTest, WithoutANotificationAreaCloseMinimisesAndTheMenuBarCarriesTheCommands)
{
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "the offscreen platform has no notification area";
    ASSERT_EQ(window->menuBar()->actions().size(), 1);
    EXPECT_EQ(window->menuBar()->actions().first()->menu(), window->TrayMenu());
    window->close();
    EXPECT_TRUE(window->isVisible()) << "only Shutdown ends the agent";
    EXPECT_TRUE(window->isMinimized());
    window->command("Show1")->trigger();
    EXPECT_FALSE(window->isMinimized());
    EXPECT_FALSE(window->Tray().Active());
}

TEST_F(AgentWindowTest, TheScheduleGridOnlyShowsTheEntries)
{
    schedule("Ten", folder.file("hello.msg"), clock.currentDateTime().addDays(1));
    ASSERT_EQ(window->gr_Agent->model()->rowCount(), 1);
    EXPECT_EQ(window->gr_Agent->editTriggers(), QAbstractItemView::NoEditTriggers);
    window->gr_Agent->setFocus();
    QTest::keyClick(window->gr_Agent, Qt::Key_Delete, Qt::ControlModifier);
    QTest::keyClick(window->gr_Agent, Qt::Key_X);
    EXPECT_TRUE(prompts.shown().isEmpty());
    EXPECT_EQ(scheduledGroups(), QStringList{"Ten"});
    EXPECT_EQ(dm->ta_Agent.State(), TDataSetState::dsBrowse);
}

// The timer items, the tray's tip and its icon show the schedule timer as it
// is, also when the loop itself stopped or started it.
TEST_F(AgentWindowTest, TheTimerItemsAndTheTrayFollowTheTimerWhoeverStopsIt)
{
    const qint64 runningIcon = window->Tray().Icon().cacheKey();
    auto expectRunning = [&](bool running, const QString &tip) {
        EXPECT_EQ(window->Loop().timer.isActive(), running);
        EXPECT_EQ(window->command("Starttimer1")->isEnabled(), !running);
        EXPECT_EQ(window->command("Stoptimer1")->isEnabled(), running);
        EXPECT_EQ(window->Tray().Tip(), tip);
        EXPECT_EQ(window->Tray().Icon().cacheKey() == runningIcon, running);
    };
    window->command("Stoptimer1")->trigger();
    expectRunning(false, "Ostrel98 stopped: Stop timer was chosen");
    window->command("Starttimer1")->trigger();
    expectRunning(true, "Ostrel98 by Tamberlo");

    schedule("Ten", folder.file("hello.msg"), clock.currentDateTime());
    prompts.answer(PromptAnswer::No);
    window->Loop().timerTimer();
    expectRunning(false, "Ostrel98 stopped: the start was declined");

    folder.writeFile("broken.msg", "no end marker\r\n");
    window->command("Starttimer1")->trigger();
    schedule("Ten", folder.file("broken.msg"), clock.currentDateTime());
    window->ch_BeforeSend->setChecked(false);
    window->ch_Error->setChecked(false);
    window->Loop().timerTimer();
    expectRunning(false, "Ostrel98 stopped: the message file did not load");

    window->command("Starttimer1")->trigger();
    schedule("Empty", folder.file("hello.msg"), clock.currentDateTime());
    window->Loop().timerTimer();
    EXPECT_EQ(window->panelText(0), "Operation finished");
    expectRunning(true, "Ostrel98 by Tamberlo");
}

// An OAuth 2.0 login without a sign-in (or whose sign-in the provider no
// longer takes) can only be mended in the mailer: the tip says so.
TEST_F(AgentWindowTest, WithoutASignInTheTrayTipSaysToSignInFromTheMailer)
{
    writeSettings("[SMTP]\r\nSERVER=127.0.0.1\r\nPORT=" + server.portText().toUtf8()
                  + "\r\nSECURITY=STARTTLS\r\nUSER=ann@example.org\r\nLOGIN=OAUTH2\r\n"
                    "[PERSONAL]\r\nNAME=Ann Sender\r\nEMAIL=ann@x.org\r\n"
                    "[OAUTH]\r\nPROVIDER=CUSTOM\r\nAUTHURL=https://id.example.org/auth\r\n"
                    "TOKENURL=https://id.example.org/token\r\nSCOPE=smtp\r\nCLIENTID=app-1\r\n");
    components->Login.setStore(std::make_unique<MemorySecretStore>(std::make_shared<MemorySecretStore::Vault>()));
    schedule("Ten", folder.file("hello.msg"), clock.currentDateTime());
    window->ch_BeforeSend->setChecked(false);
    window->ch_Error->setChecked(false);
    window->Loop().timerTimer();
    EXPECT_EQ(window->Tray().Tip(), "Ostrel98 stopped: sign in again from the mailer");
    EXPECT_TRUE(window->Loop().ResultLog().contains(
        "Nobody has signed in to id.example.org as 'ann@example.org' yet: sign in from the mailer under File > "
        "Network Settings"))
        << window->Loop().ResultLog().join('\n').toStdString();
    EXPECT_EQ(server.connectionCount(), 0) << "no session without a token";
    EXPECT_TRUE(prompts.shown().isEmpty());
    EXPECT_EQ(scheduledGroups(), QStringList{"Ten"});
}

TEST_F(AgentWindowTest, TheWindowsChoicesDriveTheLoop)
{
    window->ch_BeforeSend->setChecked(false);
    window->ch_Error->setChecked(false);
    window->ed_Retry->setText("5");
    EXPECT_FALSE(window->Loop().Choices.PromptBeforeSend);
    EXPECT_FALSE(window->Loop().Choices.PromptIfError);
    EXPECT_EQ(window->Loop().Choices.RetrySend, "5");

    schedule("Ten", folder.file("hello.msg"), clock.currentDateTime());
    window->Loop().timerTimer();
    EXPECT_EQ(server.messageCount(), 10);
    EXPECT_EQ(window->panelText(0), "Operation finished");
    EXPECT_FALSE(window->command("Abort")->isEnabled()) << "Abort is enabled only while a send runs";
    EXPECT_EQ(window->gr_Agent->model()->rowCount(), 0);
}

TEST_F(AgentWindowTest, ViewLogfileWritesTheLogAndOpensIt)
{
    window->Loop().Run().FResultLog.setLines({"one", "two"});
    window->command("Viewresult1")->trigger();
    EXPECT_EQ(folder.readFile("agent/AGENT.RSU"), "one\r\ntwo\r\n");
    EXPECT_EQ(opened, QStringList{folder.file("agent/AGENT.RSU")});
}

TEST_F(AgentWindowTest, ShutdownAsksAndThenWritesTheLogAndEnds)
{
    window->Loop().Run().FResultLog.setLines({"kept"});
    prompts.answer(PromptAnswer::No);
    window->command("Exit1")->trigger();
    EXPECT_EQ(prompts.texts(), QStringList{"Are you sure?"});
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(QFile::exists(folder.file("agent/AGENT.RSU")));

    prompts.answer(PromptAnswer::Yes);
    window->command("Exit1")->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(folder.readFile("agent/AGENT.RSU"), "kept\r\n");
    EXPECT_FALSE(dm->ta_Agent.Active());
}

}
