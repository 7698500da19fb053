#include "agent/AgentLoop.h"
#include "support/AgentFixture.h"
#include "platform/TextFile.h"
#include "support/MemorySecretStore.h"

#include <gtest/gtest.h>

namespace {

const QString StartQuestion =
    "Start sending group: Ten, Continue? If No the group will be deleted from scheduler!";

class AgentLoopTest : public AgentFixture
{
protected:
    void SetUp() override
    {
        AgentFixture::SetUp();
        loop = std::make_unique<agent::TAgentLoop>(*dm, *components, files(), status);
        loop->Choices.PromptBeforeSend = false;
    }
    void start()
    {
        loop->Start();
        loop->Run().Connection().ti_Connect.setInterval(10);
    }
    bool isAgentLine(const QString &line)
    {
        return line.startsWith("Timeout while connecting to: ") || line.startsWith("Connection failed, ");
    }

    RecordingStatus status;
    std::unique_ptr<agent::TAgentLoop> loop;
};

TEST_F(AgentLoopTest, AnEmptyScheduleLetsEveryTickPass)
{
    start();
    EXPECT_TRUE(loop->timer.isActive());
    EXPECT_EQ(loop->timer.interval(), 5000);
    loop->timerTimer();
    loop->timerTimer();
    EXPECT_TRUE(loop->timer.isActive());
    EXPECT_TRUE(prompts.shown().isEmpty());
    EXPECT_EQ(server.connectionCount(), 0);
}

TEST_F(AgentLoopTest, AnEntryOfAnEarlierDayIsSentToItsGroupWithTheSignatureAndRemoved)
{
    schedule("Ten", folder.file("hello.msg"), clock.currentDateTime().addDays(-3));
    schedule("Empty", folder.file("hello.msg"), clock.currentDateTime().addDays(-4));
    loop->Choices.PromptBeforeSend = true;
    start();
    prompts.answer(PromptAnswer::Yes);
    loop->timerTimer();

    EXPECT_EQ(prompts.texts(), QStringList{StartQuestion}) << "the first entry in table order is handled first";
    EXPECT_EQ(server.messageCount(), 10);
    EXPECT_EQ(recipients().first(), "m1@x.org");
    const QByteArray first = server.messages().first();
    EXPECT_TRUE(first.contains("Subject: Greetings\r\n"));
    EXPECT_TRUE(first.contains("\r\n\r\nHello\r\nsecond line\r\n-- \r\nAnn\r\n")) << first.toStdString();
    EXPECT_EQ(scheduledGroups(), QStringList{"Empty"});
    EXPECT_TRUE(loop->timer.isActive()) << "a finished send starts the schedule timer again";
    EXPECT_EQ(status.activity, "Operation finished");
    EXPECT_TRUE(status.memberCounts.contains(10));
    EXPECT_TRUE(status.memberNumbers.contains(10));
    EXPECT_EQ(status.memberCount, std::nullopt);
    EXPECT_EQ(status.memberNumber, std::nullopt);
    EXPECT_TRUE(status.results.isEmpty()) << "the agent has no results window";
    // The session's lines go to the result log (which starts afresh beyond
    // its cap), the last member's end of data and the goodbye among them.
    EXPECT_TRUE(loop->ResultLog().contains("> .")) << loop->ResultLog().join('\n').toStdString();
    EXPECT_TRUE(loop->ResultLog().contains("> QUIT")) << loop->ResultLog().join('\n').toStdString();

    // The agent keeps no resume position and no send date of its own.
    mailerDm->ta_Group.Refresh();
    ASSERT_TRUE(mailerDm->ta_Group.Locate("Grupp", "Ten"));
    EXPECT_TRUE(mailerDm->ta_Group.FieldByName("LastSent").IsNull());
    EXPECT_EQ(mailerDm->ReadLastMail("Ten"), 0);
}

TEST_F(AgentLoopTest, AnEntryIsDueWhenItsMinuteHasComeAndNotBefore)
{
    schedule("Empty", folder.file("hello.msg"), QDateTime(QDate(2026, 12, 8), QTime(11, 47)));
    start();
    loop->timerTimer();
    EXPECT_EQ(scheduledGroups(), QStringList{"Empty"}) << "a minute still ahead is neither sent nor removed";
    EXPECT_TRUE(loop->timer.isActive());

    clock.set(QDateTime(QDate(2026, 12, 8), QTime(11, 47, 0)));
    loop->timerTimer();
    EXPECT_TRUE(scheduledGroups().isEmpty());
    EXPECT_EQ(status.activity, "Operation finished") << "an empty group makes no transaction and finishes";
    EXPECT_EQ(server.connectionCount(), 1);
    EXPECT_EQ(server.messageCount(), 0);
}

TEST_F(AgentLoopTest, DecliningTheStartRemovesTheEntryAndLeavesTheTimerStopped)
{
    schedule("Ten", folder.file("hello.msg"), clock.currentDateTime());
    loop->Choices.PromptBeforeSend = true;
    start();
    prompts.answer(PromptAnswer::No);
    loop->timerTimer();
    EXPECT_EQ(prompts.texts(), QStringList{StartQuestion});
    EXPECT_TRUE(scheduledGroups().isEmpty());
    EXPECT_FALSE(loop->timer.isActive());
    EXPECT_EQ(server.connectionCount(), 0);
}

TEST_F(AgentLoopTest, AnUnloadableMessageFileRemovesTheEntryWithOrWithoutABox)
{
    folder.writeFile("broken.msg", "Hello\r\nno end marker\r\n");
    for (const bool promptIfError : {true, false}) {
        SCOPED_TRACE(promptIfError);
        const int boxesBefore = static_cast<int>(prompts.shown().size());
        schedule("Ten", folder.file("missing.msg"), clock.currentDateTime().addSecs(-60));
        schedule("Ten", folder.file("broken.msg"), clock.currentDateTime().addSecs(-60));
        loop->Choices.PromptIfError = promptIfError;
        loop->timer.start();
        loop->timerTimer();
        EXPECT_FALSE(loop->timer.isActive());
        loop->timerTimer();
        EXPECT_TRUE(scheduledGroups().isEmpty());
        EXPECT_FALSE(loop->timer.isActive());
        const QStringList texts = prompts.texts().mid(boxesBefore);
        if (promptIfError)
            EXPECT_EQ(texts, QStringList(2, "Couldn't load messagefile, the group will be deleted from Scheduler"));
        else
            EXPECT_TRUE(texts.isEmpty());
    }
    EXPECT_EQ(server.connectionCount(), 0);
}

TEST_F(AgentLoopTest, ThreeAttemptsAgainstAClosedPortAreLoggedAndTheEntryStays)
{
    writeSettings("[SMTP]\r\nSERVER=127.0.0.1\r\nPORT=" + QByteArray::number(ScriptedSmtpServer::unusedPort())
                  + "\r\n[PERSONAL]\r\nNAME=Ann\r\nEMAIL=ann@x.org\r\n");
    schedule("Ten", folder.file("hello.msg"), clock.currentDateTime());
    start();
    loop->timerTimer();

    QStringList agentLines;
    for (const QString &line : loop->ResultLog()) {
        if (isAgentLine(line))
            agentLines.append(line);
    }
    const QString timeout = "Timeout while connecting to: 127.0.0.1 on port: " + loop->Settings().FSmtpPort;
    EXPECT_EQ(agentLines, QStringList({timeout, "Connection failed, attempt: 1", timeout, "Connection failed, attempt: 2",
                                       timeout, "Connection failed, last attempt: 3"}));
    // Each time-out line follows the client's own lines of that attempt.
    const int firstTimeout = static_cast<int>(loop->ResultLog().indexOf(timeout));
    EXPECT_GT(firstTimeout, 0);
    EXPECT_FALSE(isAgentLine(loop->ResultLog().first()));
    EXPECT_EQ(scheduledGroups(), QStringList{"Ten"});
    EXPECT_FALSE(loop->timer.isActive());
    EXPECT_TRUE(prompts.shown().isEmpty()) << "a failed connection is a log line, not a box";
}

TEST_F(AgentLoopTest, RetrySendOfNoneOrNotANumberMakesNoAttempt)
{
    schedule("Ten", folder.file("hello.msg"), clock.currentDateTime());
    start();
    loop->Choices.RetrySend = "0";
    loop->timerTimer();
    EXPECT_EQ(server.connectionCount(), 0);
    EXPECT_EQ(scheduledGroups(), QStringList{"Ten"});

    loop->Choices.RetrySend = "three";
    loop->timer.start();
    loop->timerTimer();
    EXPECT_EQ(prompts.texts(), QStringList{"'three' is not a valid integer value"});
    EXPECT_FALSE(loop->timer.isActive());
    EXPECT_EQ(server.connectionCount(), 0);
}

// The lines of AGENT.RSU count: once the log holds 101 lines the next line
// of the client empties it first. The agent's own lines never do.
TEST_F(AgentLoopTest, TheResultLogStartsAfreshOnlyAtAClientLineBeyondItsCap)
{
    writeSettings("[SMTP]\r\nSERVER=127.0.0.1\r\nPORT=" + QByteArray::number(ScriptedSmtpServer::unusedPort())
                  + "\r\n[PERSONAL]\r\nNAME=Ann\r\nEMAIL=ann@x.org\r\n");
    for (int earlier = 90; earlier <= 101; ++earlier) {
        SCOPED_TRACE(earlier);
        QStringList lines;
        for (int i = 1; i <= earlier; ++i)
            lines.append(QStringLiteral("earlier %1").arg(i));
        ASSERT_TRUE(TextFile::writeLines(folder.file("agent/AGENT.RSU"), lines));
        agent::TAgentLoop fresh(*dm, *components, files(), status);
        fresh.Choices.PromptBeforeSend = false;
        fresh.Start();
        ASSERT_EQ(fresh.ResultLog(), lines);
        schedule("Ten", folder.file("hello.msg"), clock.currentDateTime());
        fresh.timerTimer();
        const QStringList &log = fresh.ResultLog();
        ASSERT_FALSE(log.isEmpty());
        EXPECT_FALSE(isAgentLine(log.first())) << log.first().toStdString();
        EXPECT_LE(log.size(), 101 + 6) << "only the agent's lines of the run go beyond the cap";
        EXPECT_EQ(log.last(), "Connection failed, last attempt: 3");
        if (earlier == 101) {
            EXPECT_FALSE(log.first().startsWith("earlier")) << "the first client line emptied the 101 lines";
        }
        fresh.Shutdown();
        dm->OpenSchedule();
        dm->ta_Agent.First();
        dm->ta_Agent.Delete();
    }
}

TEST_F(AgentLoopTest, TheResultLogIsWrittenWithCrLfAndReadAtTheNextStart)
{
    schedule("Empty", folder.file("hello.msg"), clock.currentDateTime());
    start();
    loop->timerTimer();
    ASSERT_FALSE(loop->ResultLog().isEmpty());
    ASSERT_TRUE(loop->Shutdown());
    EXPECT_FALSE(dm->ta_Agent.Active());
    const QByteArray written = folder.readFile("agent/AGENT.RSU");
    EXPECT_EQ(written, (loop->ResultLog().join("\r\n") + "\r\n").toUtf8());

    agent::TAgentLoop next(*dm, *components, files(), status);
    next.Start();
    EXPECT_EQ(next.ResultLog(), loop->ResultLog());
}

TEST_F(AgentLoopTest, SettingsWithoutAPortGiveTheServiceNameSmtp)
{
    writeSettings("[SMTP]\r\nSERVER=mail.example\r\n");
    start();
    EXPECT_EQ(loop->Settings().FSmtpPort, "SMTP");
    EXPECT_EQ(loop->Settings().FSmtpServer, "mail.example");
    EXPECT_EQ(loop->Settings().FUserName, "Enter your name");
    EXPECT_TRUE(loop->Settings().FDialLan);
}

TEST_F(AgentLoopTest, AbortAsksWhetherTheEntryGoesAndWhetherTheTimerRunsAgain)
{
    start();
    for (const bool deleteEntry : {true, false}) {
        SCOPED_TRACE(deleteEntry);
        schedule("Ten", folder.file("hello.msg"), clock.currentDateTime());
        loop->timer.start();
        const int sentBefore = server.messageCount();
        bool aborted = false;
        status.onActivity = [&](const QString &text) {
            if (text == "Sending to: m3" && !aborted) {
                aborted = true;
                loop->Abort();
            }
        };
        prompts.answer(deleteEntry ? PromptAnswer::Yes : PromptAnswer::No);
        if (!deleteEntry)
            prompts.answer(PromptAnswer::Yes);
        loop->timerTimer();
        EXPECT_TRUE(aborted);
        EXPECT_EQ(server.messageCount() - sentBefore, 3) << "the member in progress is still sent";
        EXPECT_EQ(status.activity, "Operation aborted");
        EXPECT_TRUE(prompts.texts().contains("Operation aborted!"));
        if (deleteEntry) {
            EXPECT_TRUE(scheduledGroups().isEmpty());
            EXPECT_FALSE(loop->timer.isActive());
        } else {
            EXPECT_EQ(scheduledGroups(), QStringList{"Ten"}) << "an aborted send is not finished";
            EXPECT_TRUE(loop->timer.isActive());
            EXPECT_EQ(prompts.texts().mid(prompts.texts().size() - 3),
                      QStringList({"User aborted! Delete Group from schedule?", "Do you want to start the timer again?",
                                   "Operation aborted!"}))
                << "the questions come at once, the warning when the send has stopped";
        }
    }
}

TEST_F(AgentLoopTest, OverDialUpTheSendWaitsForTheConnection)
{
    writeSettings("[SMTP]\r\nSERVER=127.0.0.1\r\nPORT=" + server.portText().toUtf8()
                  + "\r\n[PERSONAL]\r\nNAME=Ann\r\nEMAIL=ann@x.org\r\n[DIALUP]\r\nLAN=0\r\nDEVICE=Office\r\nDISCO=1\r\n");
    phoneBook->addEntry("Office");
    schedule("Ten", folder.file("hello.msg"), clock.currentDateTime());
    start();
    loop->timerTimer();
    ASSERT_TRUE(waitFor([&] { return scheduledGroups().isEmpty(); }));
    EXPECT_EQ(server.messageCount(), 10);
    EXPECT_TRUE(loop->timer.isActive());
    EXPECT_FALSE(loop->Run().Connection().ti_Connect.isActive());
}

}

namespace {

TEST_F(AgentLoopTest, AnEntryTheMailerAddsWhileTheAgentRunsIsSeenAndSent)
{
    start();
    StoreSetup::otherProgram(folder, "INSERT INTO Agent (\"Group\", MsgFile, \"Date\", \"Time\") "
                                     "VALUES ('Empty', 'x.msg', '2026-12-08', '11:40:00')");
    ASSERT_TRUE(waitInEventLoop([&] { return dm->ta_Agent.RecordCount() == 1; }));
    loop->Choices.PromptIfError = false;
    loop->timerTimer();
    EXPECT_TRUE(scheduledGroups().isEmpty()) << "its message file cannot be loaded: it is removed";
}

TEST_F(AgentLoopTest, AnUnreadableDateIsReportedAtEveryTickAndTheTimerKeepsRunning)
{
    StoreSetup::otherProgram(folder, "INSERT INTO Agent (\"Group\", MsgFile, \"Date\", \"Time\") "
                                     "VALUES ('Ten', 'x.msg', 'soon', '11:40:00')");
    dm->ta_Agent.Refresh();
    start();
    loop->timerTimer();
    loop->timerTimer();
    EXPECT_EQ(prompts.texts(), QStringList(2, "'soon' is not a valid date"));
    EXPECT_TRUE(loop->timer.isActive());
    EXPECT_EQ(server.connectionCount(), 0);
}

}

namespace {

// The entry is removed by what it holds: when the mailer deleted it during
// the send and scheduled another, the other one stays.
TEST_F(AgentLoopTest, AFinishedSendRemovesItsOwnEntryNotTheOneThatIsFirstNow)
{
    schedule("Ten", folder.file("hello.msg"), clock.currentDateTime());
    start();
    bool changed = false;
    status.onActivity = [&](const QString &text) {
        if (text == "Sending to: m5" && !changed) {
            changed = true;
            StoreSetup::otherProgram(folder, "DELETE FROM Agent");
            StoreSetup::otherProgram(folder, "INSERT INTO Agent (\"Group\", MsgFile, \"Date\", \"Time\") "
                                             "VALUES ('Empty', 'x.msg', '2026-12-09', '08:00:00')");
            dm->ta_Agent.Refresh();
        }
    };
    loop->timerTimer();
    EXPECT_TRUE(changed);
    EXPECT_EQ(server.messageCount(), 10);
    EXPECT_EQ(scheduledGroups(), QStringList{"Empty"});
}

}

TEST_F(AgentLoopTest, WithoutAPasswordFromTheSecretStoreTheAttemptsFailWithoutABox)
{
    writeSettings("[SMTP]\r\nSERVER=127.0.0.1\r\nPORT=" + server.portText().toUtf8()
                  + "\r\nSECURITY=STARTTLS\r\nUSER=ann\r\n[PERSONAL]\r\nNAME=Ann\r\nEMAIL=ann@x.org\r\n");
    auto vault = std::make_shared<MemorySecretStore::Vault>();
    vault->available = false;
    components->Login.setStore(std::make_unique<MemorySecretStore>(vault));
    schedule("Ten", folder.file("hello.msg"), clock.currentDateTime());
    start();
    loop->timerTimer();

    EXPECT_TRUE(prompts.shown().isEmpty()) << "the agent never asks for a password";
    EXPECT_GT(vault->reads, 0);
    EXPECT_EQ(server.connectionCount(), 0) << "no password, so no connection";
    EXPECT_EQ(server.messageCount(), 0);
    EXPECT_TRUE(loop->ResultLog().contains("Connection failed, last attempt: 3"));
    EXPECT_EQ(scheduledGroups(), QStringList{"Ten"}) << "the entry stays, as for an unreachable server";
}
