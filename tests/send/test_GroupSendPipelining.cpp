#include "support/GroupSendFixture.h"

#include "store/SuppressionList.h"
#include "support/SendSpans.h"

#include <QRegularExpression>
#include <algorithm>

// A run against a server that offers PIPELINING: one transaction per member
// still, the resume position kept before each member's final ".", the
// sending limit, Cancel at the member boundary, and failures that stay with
// their member.

namespace {

class GroupSendPipeliningTest : public GroupSendTest
{
protected:
    void SetUp() override
    {
        GroupSendTest::SetUp();
        server.script("EHLO", "250-test.local\r\n250 PIPELINING");
    }
    int count(const QByteArray &command)
    {
        int found = 0;
        for (const QByteArray &line : server.commands())
            found += line.startsWith(command) ? 1 : 0;
        return found;
    }
    // Every wait of the run is over at once: the clock goes to the time the
    // status bar names, as if the user had waited that long.
    void skipWaits()
    {
        status.onActivity = [this](const QString &text) {
            if (!text.contains(" at "))
                return;
            const QString at = text.section(" at ", -1);
            const QDateTime full = QDateTime::fromString(at, "yyyy-MM-dd hh:mm:ss");
            const QTime today = QTime::fromString(at, "hh:mm:ss");
            if (full.isValid() || today.isValid())
                clock.set(full.isValid() ? full : QDateTime(Clock::currentDate(), today));
        };
    }
    // Every line of the session log as the client shows it, whatever the
    // results keep of them.
    void recordSession()
    {
        components->SmtpClient.OnDisplay = [this](TCustomSmtpClient *, const QString &line) {
            session.append(line);
            run->SmtpClientDisplay(line);
        };
    }
    QStringList session;
};

// The place a run keeps in memory, and what it held whenever the session
// log took a line: a run killed at any line would go on at that place.
class RecordingPlace : public TSendPlace
{
public:
    int Read() override { return stored; }
    void Store(int number) override { stored = number; }
    int stored = 0;
};

} // namespace

TEST_F(GroupSendPipeliningTest, EveryMemberGetsTheMessageOnceInOrderOverOneConnection)
{
    recordSession();
    send("Ten");
    QStringList expected;
    for (int i = 1; i <= 10; ++i)
        expected.append(QStringLiteral("m%1@x.org").arg(i));
    EXPECT_EQ(recipients(), expected);
    EXPECT_EQ(server.messageCount(), 10);
    EXPECT_EQ(server.connectionCount(), 1);
    EXPECT_EQ(count("RSET"), 0);
    EXPECT_EQ(run->Delivered(), 10);
    EXPECT_EQ(status.activity, "Operation finished");
    EXPECT_EQ(lastMail("Ten"), 0);
    // Each member's envelope but the first left with the end of the message
    // before it, and the log shows it in that order.
    const QStringList &log = session;
    const qsizetype dot = log.indexOf("> .");
    ASSERT_GE(dot, 0);
    EXPECT_EQ(log.mid(dot + 1, 3).join(" | ").toStdString(),
              "> MAIL FROM:<ann@x.org> | > RCPT TO:<m2@x.org> | > DATA");
    EXPECT_EQ(log.filter(QRegularExpression("^> MAIL FROM:")).size(), 10);
}

TEST_F(GroupSendPipeliningTest, WithTheSettingOffTheServerGetsOneCommandAtATime)
{
    settings.FPipelining = false;
    recordSession();
    send("Ten");
    EXPECT_EQ(server.messageCount(), 10);
    const QStringList &log = session;
    const qsizetype dot = log.indexOf("> .");
    ASSERT_GE(dot, 0);
    EXPECT_TRUE(log.value(dot + 1).startsWith("< 250")) << log.value(dot + 1).toStdString();
}

TEST_F(GroupSendPipeliningTest, ARefusedRecipientFailsThatMemberAloneAndTheRunGoesOn)
{
    server.refuseFirstTry("RCPT", "m4@x.org", {.text = "550 5.1.1 no such user"});
    send("Ten");
    // This server takes DATA whatever came before: the client ends it at
    // once, and it carries no message.
    const QList<QByteArray> messages = server.messages();
    EXPECT_EQ(std::count_if(messages.cbegin(), messages.cend(), [](const QByteArray &m) { return !m.isEmpty(); }), 9);
    EXPECT_EQ(count("RSET"), 1);
    EXPECT_EQ(server.connectionCount(), 1);
    const QStringList log = status.results.value(0);
    EXPECT_TRUE(log.contains("ERROR Couldn't send email nr: 4 m4@x.org"));
    EXPECT_EQ(log.filter("Couldn't send").size(), 1);
    EXPECT_EQ(run->Delivered(), 9);
}

TEST_F(GroupSendPipeliningTest, AServerClosingWithA421MidRunIsReconnectedAndEveryMemberServed)
{
    server.refuseFirstTry("RCPT", "m4@x.org", {.text = "421 4.7.0 too many messages, closing", .closeAfter = true});
    skipWaits();
    send("Ten");
    EXPECT_EQ(server.messageCount(), 10);
    EXPECT_GE(server.connectionCount(), 2);
    EXPECT_EQ(recipients().count("m5@x.org"), 1) << "the member after it goes over the new connection once";
    EXPECT_EQ(status.results.value(0).filter("Couldn't send").size(), 0);
}

TEST_F(GroupSendPipeliningTest, CancelDuringMemberSevenResumesAtEight)
{
    status.onMemberNumber = [&](std::optional<int> number) {
        if (number == 7)
            run->bu_StopClick();
    };
    prompts.answer(PromptAnswer::Yes);
    send("Ten");
    EXPECT_EQ(server.messageCount(), 7);
    EXPECT_EQ(lastMail("Ten"), 8);
    EXPECT_EQ(count("RCPT"), 7) << "no envelope went ahead for a member after the Cancel";
    status.onMemberNumber = nullptr;
    prompts.answer(PromptAnswer::Yes);
    send("Ten");
    EXPECT_EQ(recipients().mid(7), QStringList({"m8@x.org", "m9@x.org", "m10@x.org"}));
}

TEST_F(GroupSendPipeliningTest, NeverMoreThanTheLimitWhenEnvelopesGoAhead)
{
    server.setClock([] { return Clock::currentDateTime().toMSecsSinceEpoch(); });
    skipWaits();
    settings.FRateCount = 3;
    settings.FRateMinutes = 1;
    send("Ten");
    ASSERT_EQ(server.messageTimes().size(), 10);
    EXPECT_EQ(mostInAnySpan(server.messageTimes(), 60'000), 3);
    EXPECT_EQ(recipients().size(), 10) << "each member tried once";
}

// Before each member's final "." the place moves past it; an envelope sent
// ahead moves nothing. So at every line of the session log, the place is
// the member after the last whose "." was shown.
TEST_F(GroupSendPipeliningTest, ThePlaceAtEveryPointOfAFlightSendsNobodyTwice)
{
    RecordingPlace place;
    TGroupSendOptions options;
    options.ResumePosition = false;
    options.Place = &place;
    run.reset();
    run = std::make_unique<TGroupSend>(*dm, *components, settings, status, options);
    QList<std::pair<QString, int>> seen;
    components->SmtpClient.OnDisplay = [&](TCustomSmtpClient *, const QString &line) {
        seen.append({line, place.stored});
        run->SmtpClientDisplay(line);
    };
    run->Run({"Ten", "Greetings", {}, {"Hello"}});
    ASSERT_EQ(server.messageCount(), 10);
    int dots = 0;
    for (const auto &[line, stored] : seen) {
        EXPECT_EQ(std::max(stored, 1), dots + 1) << line.toStdString();
        if (line == "> .")
            ++dots;
    }
    EXPECT_EQ(dots, 10);
    EXPECT_EQ(place.stored, 11);
}

TEST_F(GroupSendPipeliningTest, NoEnvelopeGoesAheadForASuppressedMemberNorForOneTheServerSaysIsGone)
{
    TSuppressionList list(dm->Databas);
    ASSERT_TRUE(list.Add({"m3@x.org", TSuppressionReason::Unsubscribed, {}}));
    ASSERT_TRUE(list.Add({"m4@x.org", TSuppressionReason::HardBounce, {}}));
    server.refuseFirstTry("RCPT", "m7@x.org", {.text = "550 5.1.1 no such user"});
    send("Ten");
    EXPECT_EQ(recipients(), QStringList({"m1@x.org", "m2@x.org", "m5@x.org", "m6@x.org", "m7@x.org", "m8@x.org",
                                         "m9@x.org", "m10@x.org"}));
    EXPECT_EQ(run->Delivered(), 7);
    EXPECT_TRUE(TSuppressionList(dm->Databas).Contains("m7@x.org"));
    send("Ten");
    EXPECT_EQ(recipients().mid(8), QStringList({"m1@x.org", "m2@x.org", "m5@x.org", "m6@x.org", "m8@x.org",
                                                "m9@x.org", "m10@x.org"}));
}
