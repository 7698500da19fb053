#include "agent/AgentLoop.h"
#include "support/AgentFixture.h"
#include "platform/TextFile.h"
#include "support/MemorySecretStore.h"

#include <QTimer>
#include <ctime>
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
    // The pause between attempts passes at once: the clock moves past it.
    void skipAttemptPauses()
    {
        status.onActivity = [this](const QString &text) {
            if (text.startsWith("Connection failed, trying again at "))
                clock.advanceSeconds(3600);
        };
    }
    void unreachableServer()
    {
        writeSettings("[SMTP]\r\nSERVER=127.0.0.1\r\nPORT=" + QByteArray::number(ScriptedSmtpServer::unusedPort())
                      + "\r\n[PERSONAL]\r\nNAME=Ann\r\nEMAIL=ann@x.org\r\n");
        skipAttemptPauses();
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
    schedule("Empty", folder.file("hello.msg"), clock.currentDateTime().addDays(-2));
    loop->Choices.PromptBeforeSend = true;
    start();
    prompts.answer(PromptAnswer::Yes);
    loop->timerTimer();

    EXPECT_EQ(prompts.texts(), QStringList{StartQuestion}) << "the entry due first is handled first";
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
    unreachableServer();
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
    EXPECT_EQ(loop->StoppedBecause(), "the last attempt failed");
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
    // A run of nothing but client lines (an empty group), from an empty log.
    auto runAfter = [&](const QStringList &earlier) {
        ASSERT_TRUE(TextFile::writeLines(folder.file("agent/AGENT.RSU"), earlier));
        agent::TAgentLoop fresh(*dm, *components, files(), status);
        fresh.Choices.PromptBeforeSend = false;
        fresh.Start();
        ASSERT_EQ(fresh.ResultLog(), earlier);
        schedule("Empty", folder.file("hello.msg"), clock.currentDateTime());
        fresh.timerTimer();
        ASSERT_TRUE(scheduledGroups().isEmpty());
        ASSERT_TRUE(fresh.Shutdown());
        dm->OpenSchedule();
    };
    runAfter({});
    const QStringList run = TextFile::splitLines(QString::fromUtf8(folder.readFile("agent/AGENT.RSU")));
    ASSERT_GE(run.size(), 4);
    for (int count = 101 - static_cast<int>(run.size()); count <= 101; ++count) {
        SCOPED_TRACE(count);
        QStringList earlier;
        for (int i = 1; i <= count; ++i)
            earlier.append(QStringLiteral("earlier %1").arg(i));
        runAfter(earlier);
        // The client line that finds 101 lines starts the log afresh.
        const int emptying = 101 - count;
        const QStringList expected = emptying < run.size() ? run.mid(emptying) : earlier + run;
        EXPECT_EQ(TextFile::splitLines(QString::fromUtf8(folder.readFile("agent/AGENT.RSU"))), expected);
    }

    unreachableServer();
    QStringList full;
    for (int i = 1; i <= 101; ++i)
        full.append(QStringLiteral("earlier %1").arg(i));
    ASSERT_TRUE(TextFile::writeLines(folder.file("agent/AGENT.RSU"), full));
    agent::TAgentLoop fresh(*dm, *components, files(), status);
    fresh.Choices.PromptBeforeSend = false;
    fresh.Start();
    schedule("Ten", folder.file("hello.msg"), clock.currentDateTime());
    fresh.timerTimer();
    const QStringList &log = fresh.ResultLog();
    EXPECT_FALSE(log.first().startsWith("earlier")) << "the first client line emptied the 101 lines";
    QStringList agentLines;
    for (const QString &line : log) {
        if (isAgentLine(line))
            agentLines.append(line);
    }
    EXPECT_EQ(agentLines.size(), 6) << "the agent's lines stay, beyond the cap too";
    EXPECT_EQ(log.last(), "Connection failed, last attempt: 3");
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
    const QString insert = "INSERT INTO Agent (\"Group\", MsgFile, \"Date\", \"Time\") VALUES ('Ten', '"
                           + folder.file("hello.msg") + "', '2026-12-08', '11:40:00')";
    StoreSetup::otherProgram(folder, insert.toUtf8().constData());
    ASSERT_TRUE(waitInEventLoop([&] { return dm->ta_Agent.RecordCount() == 1; }));
    loop->timerTimer();
    EXPECT_TRUE(prompts.shown().isEmpty());
    EXPECT_EQ(server.messageCount(), 10);
    EXPECT_TRUE(scheduledGroups().isEmpty()) << "sent in full, it is removed";
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
    skipAttemptPauses();
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

namespace {

QString startQuestion(const QString &group)
{
    return "Start sending group: " + group + ", Continue? If No the group will be deleted from scheduler!";
}

// The table is in the order rows were added: an entry added later for an
// earlier minute goes first; entries of one minute keep their order.
TEST_F(AgentLoopTest, TheEntryDueFirstGoesFirstAndEntriesOfOneMinuteKeepTheirOrder)
{
    const QDateTime now = clock.currentDateTime();
    schedule("Ten", folder.file("hello.msg"), now.addDays(1));
    schedule("Empty", folder.file("hello.msg"), now.addSecs(-60));
    schedule("Ten", folder.file("hello.msg"), now.addSecs(-60));
    loop->Choices.PromptBeforeSend = true;
    start();
    for (int tick = 0; tick < 3; ++tick) {
        if (tick < 2)
            prompts.answer(PromptAnswer::No);
        loop->StartTimer();
        loop->timerTimer();
    }
    EXPECT_EQ(prompts.texts(), QStringList({startQuestion("Empty"), startQuestion("Ten")}));
    EXPECT_EQ(scheduledGroups(), QStringList{"Ten"}) << "tomorrow's entry waits for its minute";
    EXPECT_TRUE(loop->timer.isActive());
    EXPECT_EQ(server.connectionCount(), 0);
}

TEST_F(AgentLoopTest, TheClockSetBackAnHourSendsNothingAgainAndWaitsForTheLaterEntry)
{
    const QDate today(2026, 12, 8);
    clock.set(QDateTime(today, QTime(10, 20)));
    scheduleAt("Empty", folder.file("hello.msg"), today, QTime(10, 0));
    scheduleAt("Ten", folder.file("hello.msg"), today, QTime(10, 30));
    start();
    loop->timerTimer();
    EXPECT_EQ(server.connectionCount(), 1) << "the entry of 10:00 was due";
    clock.set(QDateTime(today, QTime(9, 20)));
    loop->timerTimer();
    clock.set(QDateTime(today, QTime(10, 29, 59)));
    loop->timerTimer();
    EXPECT_EQ(server.connectionCount(), 1);
    EXPECT_EQ(scheduledGroups(), QStringList{"Ten"});
    clock.set(QDateTime(today, QTime(10, 30)));
    loop->timerTimer();
    EXPECT_EQ(server.connectionCount(), 2);
    EXPECT_EQ(server.messageCount(), 10);
    EXPECT_TRUE(scheduledGroups().isEmpty());
}

// The agent's place in an entry's send is kept in the store: an abort that
// keeps the entry goes on at the first member that did not get the message.
TEST_F(AgentLoopTest, AnAbortedSendThatKeepsItsEntryGoesOnWhereItStopped)
{
    const qint64 entry = scheduleAt("Ten", folder.file("hello.msg"), QDate(2026, 12, 8), QTime(11, 0));
    start();
    bool aborted = false;
    status.onActivity = [&](const QString &text) {
        if (text == "Sending to: m3" && !aborted) {
            aborted = true;
            loop->Abort();
        }
    };
    prompts.answer(PromptAnswer::No);
    prompts.answer(PromptAnswer::Yes);
    loop->timerTimer();
    ASSERT_TRUE(aborted);
    EXPECT_EQ(server.messageCount(), 3);
    EXPECT_EQ(mailerDm->ReadEntryPlace(entry), 4);

    loop->timerTimer();
    QStringList everyone;
    for (int i = 1; i <= 10; ++i)
        everyone.append(QStringLiteral("m%1@x.org").arg(i));
    EXPECT_EQ(recipients(), everyone) << "each member once";
    EXPECT_TRUE(scheduledGroups().isEmpty());
    EXPECT_EQ(mailerDm->ReadEntryPlace(entry), 0) << "the place goes with its entry";
    EXPECT_EQ(mailerDm->ReadLastMail("Ten"), 0) << "the group's own resume position is the mailer's";
}

// An entry the mailer gives another group or message file is another send;
// a place is never kept for an entry that is gone.
TEST_F(AgentLoopTest, AnEntryChangedToAnotherGroupOrFileStartsAgainFromTheFirstMember)
{
    const qint64 entry = scheduleAt("Ten", folder.file("hello.msg"), QDate(2026, 12, 9), QTime(8, 0));
    dm->StoreEntryPlace(entry, 5);
    StoreSetup::otherProgram(folder, "UPDATE Agent SET \"Time\" = '09:00:00'");
    EXPECT_EQ(dm->ReadEntryPlace(entry), 5) << "a new time is the same send";
    StoreSetup::otherProgram(folder, "UPDATE Agent SET \"Group\" = 'Empty'");
    EXPECT_EQ(dm->ReadEntryPlace(entry), 0);
    dm->StoreEntryPlace(entry, 5);
    StoreSetup::otherProgram(folder, "UPDATE Agent SET MsgFile = 'other.msg'");
    EXPECT_EQ(dm->ReadEntryPlace(entry), 0);
    StoreSetup::otherProgram(folder, "DELETE FROM Agent");
    dm->StoreEntryPlace(entry, 5);
    EXPECT_EQ(dm->ReadEntryPlace(entry), 0);
}

TEST_F(AgentLoopTest, EachEntrysRunEndsTheLogWithItsFailuresAndTheLogIsWrittenAtOnce)
{
    server.refuseFirstTry("RCPT", "m2@x.org", {"550 5.1.1 no such user"});
    schedule("Ten", folder.file("hello.msg"), clock.currentDateTime());
    start();
    loop->timerTimer();
    EXPECT_EQ(server.messageCount(), 9);
    const QStringList &log = loop->ResultLog();
    ASSERT_GE(log.size(), 4);
    const QStringList end = log.mid(log.size() - 4);
    EXPECT_EQ(end.mid(0, 3), QStringList({"", "Failures of this run: 1", "ERROR Couldn't send email nr: 2 m2@x.org"}))
        << log.join('\n').toStdString();
    EXPECT_TRUE(end[3].startsWith("    because: 550")) << end[3].toStdString();
    EXPECT_EQ(folder.readFile("agent/AGENT.RSU"), (log.join("\r\n") + "\r\n").toUtf8())
        << "written when the entry is done, before any View or Shutdown";
}

TEST_F(AgentLoopTest, TheSettingsAreReadAgainBeforeEachDueEntry)
{
    schedule("Empty", folder.file("hello.msg"), clock.currentDateTime());
    start();
    ScriptedSmtpServer fixed;
    writeSettings("[SMTP]\r\nSERVER=127.0.0.1\r\nPORT=" + fixed.portText().toUtf8()
                  + "\r\n[PERSONAL]\r\nNAME=Ann\r\nEMAIL=ann@x.org\r\n");
    loop->timerTimer();
    EXPECT_EQ(server.connectionCount(), 0);
    EXPECT_EQ(fixed.connectionCount(), 1) << "the server the mailer set after the agent started";
    EXPECT_TRUE(scheduledGroups().isEmpty());
}

// A brief outage must not use up every attempt: 30 s after the first, 60 s
// after the second, by the program's clock.
TEST_F(AgentLoopTest, AttemptsWaitLongerEachTimeAndNeverGoEarly)
{
    server.script("CONNECT", "554 not now");
    schedule("Ten", folder.file("hello.msg"), clock.currentDateTime());
    start();
    loop->AttemptPause().CheckMs = 1;
    // While an attempt waits, the program's clock runs a second a millisecond.
    QList<QDateTime> announced;
    QList<qint64> pauses;
    int early = 0;
    QTimer clockHand;
    clockHand.setInterval(1);
    QObject::connect(&clockHand, &QTimer::timeout, [&] {
        clock.advanceSeconds(1);
        if (clock.currentDateTime() < announced.last() && server.connectionCount() > announced.size())
            ++early;
    });
    status.onActivity = [&](const QString &text) {
        const QString prefix = "Connection failed, trying again at ";
        if (!text.startsWith(prefix))
            return;
        const QDateTime at(clock.currentDate(), QTime::fromString(text.mid(prefix.size()), "hh:mm:ss"));
        EXPECT_EQ(server.connectionCount(), announced.size() + 1);
        announced.append(at);
        pauses.append(clock.currentDateTime().secsTo(at));
        EXPECT_TRUE(status.runControls) << "Abort is live during the pause";
        clockHand.start();
    };
    loop->timerTimer();
    clockHand.stop();

    EXPECT_EQ(server.connectionCount(), 3);
    EXPECT_EQ(pauses, QList<qint64>({30, 60}));
    EXPECT_EQ(early, 0) << "no attempt before its time";
    ASSERT_EQ(announced.size(), 2);
    EXPECT_GE(clock.currentDateTime(), announced.last()) << "the pause ran its length";
    EXPECT_TRUE(loop->ResultLog().contains("Connection failed, last attempt: 3"));
    EXPECT_EQ(loop->StoppedBecause(), "the last attempt failed");
    EXPECT_FALSE(loop->timer.isActive());
}

TEST_F(AgentLoopTest, AbortDuringThePauseEndsTheAttempts)
{
    unreachableServer();
    status.onActivity = [&](const QString &text) {
        if (text.startsWith("Connection failed, trying again at "))
            QTimer::singleShot(0, loop.get(), [this] { loop->Abort(); });
    };
    schedule("Ten", folder.file("hello.msg"), clock.currentDateTime());
    start();
    prompts.answer(PromptAnswer::Yes);
    loop->timerTimer();
    EXPECT_EQ(prompts.texts(), QStringList{"User aborted! Delete Group from schedule?"});
    EXPECT_EQ(loop->ResultLog().filter("Connection failed, ").size(), 1);
    EXPECT_TRUE(scheduledGroups().isEmpty());
    EXPECT_FALSE(loop->timer.isActive());
    EXPECT_EQ(loop->StoppedBecause(), "a send was aborted");
}

// Over dial-up the send runs from the connect poll, outside the tick: a tick
// then (the timer started by hand) must not take the entry a second time.
TEST_F(AgentLoopTest, ATickWhileADialUpSendRunsDoesNotTakeTheEntryAgain)
{
    writeSettings("[SMTP]\r\nSERVER=127.0.0.1\r\nPORT=" + server.portText().toUtf8()
                  + "\r\n[PERSONAL]\r\nNAME=Ann\r\nEMAIL=ann@x.org\r\n[DIALUP]\r\nLAN=0\r\nDEVICE=Office\r\n");
    phoneBook->addEntry("Office");
    schedule("Ten", folder.file("hello.msg"), clock.currentDateTime());
    loop->Choices.PromptBeforeSend = true;
    start();
    prompts.answer(PromptAnswer::Yes);
    bool ticked = false;
    status.onActivity = [&](const QString &text) {
        if (text == "Sending to: m5" && !ticked) {
            ticked = true;
            loop->StartTimer();
            loop->timerTimer();
        }
    };
    loop->timerTimer();
    EXPECT_EQ(loop->StoppedBecause(), "waiting for the dial-up connection");
    loop->StartTimer();
    loop->timerTimer();
    ASSERT_TRUE(waitFor([&] { return scheduledGroups().isEmpty(); }));
    EXPECT_TRUE(ticked);
    EXPECT_EQ(prompts.texts(), QStringList{StartQuestion});
    EXPECT_EQ(server.messageCount(), 10);
}

// The schedule's minutes are texts: under Europe/Berlin the minutes of
// 02:00 to 03:00 on 29 March 2026 never come, and those of 25 October come
// twice.
class AgentLoopInBerlin : public AgentLoopTest
{
protected:
    void SetUp() override
    {
        m_zone = qgetenv("TZ");
        qputenv("TZ", "Europe/Berlin");
        tzset();
        AgentLoopTest::SetUp();
    }
    void TearDown() override
    {
        AgentLoopTest::TearDown();
        qputenv("TZ", m_zone);
        tzset();
    }
    // Ticks once a minute for minutes minutes; the clock times (with their
    // offset from UTC) at which the entries were sent.
    QStringList tickEveryMinute(int minutes)
    {
        QStringList sentAt;
        for (int minute = 0; minute < minutes; ++minute) {
            const int before = server.connectionCount();
            loop->timerTimer();
            if (server.connectionCount() > before)
                sentAt.append(clock.currentDateTime().toString("hh:mm") + QStringLiteral(" +%1").arg(
                                  clock.currentDateTime().offsetFromUtc() / 3600));
            clock.advanceSeconds(60);
        }
        return sentAt;
    }

private:
    QByteArray m_zone;
};

TEST_F(AgentLoopInBerlin, AnEntryInTheSkippedSpringHourGoesAtTheFirstMinuteAfterIt)
{
    const QDate day(2026, 3, 29);
    ASSERT_EQ(QDateTime(day, QTime(1, 59, 30)).addSecs(60).time(), QTime(3, 0, 30)) << "the zone skips an hour";
    scheduleAt("Empty", folder.file("hello.msg"), day, QTime(2, 30));
    clock.set(QDateTime(day, QTime(1, 56, 30)));
    start();
    EXPECT_EQ(tickEveryMinute(6), QStringList{"03:00 +2"});
    EXPECT_TRUE(scheduledGroups().isEmpty());
}

TEST_F(AgentLoopInBerlin, AnEntryInTheRepeatedAutumnHourGoesOnce)
{
    const QDate day(2026, 10, 25);
    scheduleAt("Empty", folder.file("hello.msg"), day, QTime(2, 30));
    clock.set(QDateTime(day, QTime(1, 58, 30)));
    start();
    // 01:58 to 03:01: the hour from 02:00 passes twice.
    EXPECT_EQ(tickEveryMinute(124), QStringList{"02:30 +2"});
    EXPECT_EQ(clock.currentDateTime().offsetFromUtc(), 3600) << "the clock went through the repeated hour";
    EXPECT_TRUE(scheduledGroups().isEmpty());
}

}
