#include "agent/AgentLoop.h"
#include "store/SuppressionList.h"
#include "support/AgentFixture.h"

#include <gtest/gtest.h>

// The agent sends with the mailer's run, so it keeps the same suppression
// list and the same pauses, and its log ends each entry with the run's
// counts.

namespace {

class AgentBouncesTest : public AgentFixture
{
protected:
    void SetUp() override
    {
        AgentFixture::SetUp();
        loop = std::make_unique<agent::TAgentLoop>(*dm, *components, files(), status);
        loop->Choices.PromptBeforeSend = false;
        // Every wait, the run's and the agent's between attempts, passes at once.
        status.onActivity = [this](const QString &text) {
            if (text.contains(" going on at ") || text.contains(" trying again at "))
                clock.advanceSeconds(3600);
        };
    }
    void runEntry()
    {
        schedule("Ten", folder.file("hello.msg"), clock.currentDateTime());
        loop->Start();
        loop->Run().Connection().ti_Connect.setInterval(10);
        loop->timerTimer();
    }
    int attemptsFor(const QString &email) { return static_cast<int>(recipients().count(email)); }

    RecordingStatus status;
    std::unique_ptr<agent::TAgentLoop> loop;
};

TEST_F(AgentBouncesTest, TheAgentSkipsWhomTheMailerSuppressedAndLogsTheCounts)
{
    // Put there by the mailer, through its own connection to the store.
    TSuppressionList list(mailerDm->Databas);
    ASSERT_TRUE(list.Add({"m3@x.org", TSuppressionReason::Unsubscribed, {}}));
    ASSERT_TRUE(list.Add({"m7@x.org", TSuppressionReason::Complaint, {}}));
    runEntry();
    EXPECT_EQ(server.messageCount(), 8);
    EXPECT_EQ(attemptsFor("m3@x.org"), 0);
    EXPECT_EQ(attemptsFor("m7@x.org"), 0);
    const QStringList &log = loop->ResultLog();
    const qsizetype summary =
        log.indexOf("Delivered: 8, refused: 0, deferred and still undelivered: 0, suppressed: 0, skipped: 2");
    ASSERT_GE(summary, 0) << log.join('\n').toStdString();
    EXPECT_EQ(log.mid(summary + 1, 2), QStringList({"    skipped: email nr: 3 m3@x.org (unsubscribed)",
                                                    "    skipped: email nr: 7 m7@x.org (complaint)"}));
    EXPECT_TRUE(folder.readFile("agent/AGENT.RSU").contains("skipped: 2"));
}

// Three connections that fail end the attempt; the agent's next attempt goes
// on at the entry's place, so every member gets the message once.
TEST_F(AgentBouncesTest, FailingConnectionsEndAnAttemptAndTheNextGoesOnAtThePlace)
{
    using Reply = ScriptedSmtpServer::Reply;
    const Reply closing{.text = "421 4.3.2 going down", .closeAfter = true};
    server.script("CONNECT", {Reply{"220 test.local ready"}, closing, closing, Reply{"220 test.local ready"}});
    server.refuseFirstTry("RCPT", "m5@x.org", closing);
    runEntry();
    EXPECT_EQ(server.messageCount(), 10);
    for (int i = 1; i <= 10; ++i)
        EXPECT_EQ(attemptsFor(QStringLiteral("m%1@x.org").arg(i)), i == 5 ? 2 : 1) << i;
    // The log's cap has dropped the first attempt's lines by now; the status
    // told it as it went.
    const QStringList &shown = status.activities;
    const qsizetype stopped = shown.indexOf("Operation stopped");
    ASSERT_GE(stopped, 0) << shown.join('\n').toStdString();
    ASSERT_GT(shown.size(), stopped + 1);
    EXPECT_TRUE(shown[stopped + 1].startsWith("Connection failed, trying again at ")) << shown[stopped + 1].toStdString();
    EXPECT_EQ(shown.count("Operation finished"), 1);
    EXPECT_EQ(loop->ResultLog().value(loop->ResultLog().size() - 1),
              "Delivered: 6, refused: 0, deferred and still undelivered: 0, suppressed: 0, skipped: 0")
        << "the second attempt's counts end the log";
    EXPECT_TRUE(scheduledGroups().isEmpty()) << "the entry ran to its end";
}

// Suppressed members count as handled: a send that stops after them goes on
// past them next time.
TEST_F(AgentBouncesTest, TheEntrysPlaceMovesPastSuppressedMembers)
{
    using Reply = ScriptedSmtpServer::Reply;
    TSuppressionList list(mailerDm->Databas);
    ASSERT_TRUE(list.Add({"m4@x.org", TSuppressionReason::Unsubscribed, {}}));
    ASSERT_TRUE(list.Add({"m5@x.org", TSuppressionReason::Unsubscribed, {}}));
    const Reply closing{.text = "421 4.3.2 going down", .closeAfter = true};
    server.script("CONNECT", {Reply{"220 test.local ready"}, closing});
    server.refuseFirstTry("RCPT", "m6@x.org", closing);
    loop->Choices.RetrySend = "1";
    const qint64 entry = scheduleAt("Ten", folder.file("hello.msg"), clock.currentDateTime().date(),
                                    clock.currentDateTime().time());
    loop->Start();
    loop->timerTimer();
    EXPECT_EQ(server.messageCount(), 3);
    EXPECT_EQ(scheduledGroups(), QStringList{"Ten"}) << "the entry waits for its next turn";
    EXPECT_EQ(dm->ReadEntryPlace(entry), 6);
}

} // namespace
