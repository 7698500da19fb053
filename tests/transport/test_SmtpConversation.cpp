// The client's conversation, in process and step by step: the test scripts
// what the server says and checks the exact bytes the client wrote before
// each of its replies.
#include "support/MockClock.h"
#include "transport/ScriptedConnection.h"
#include "support/SmtpTestFixture.h"

#include <QElapsedTimer>
#include <QTimeZone>
#include <memory>

namespace {

using Step = ScriptedConnection::Step;

struct ConversationTest : SmtpClientSetup
{
    std::unique_ptr<TSmtpClient> client;
    ScriptedConnection *connection = nullptr;

    void talk(QList<Step> steps)
    {
        auto scripted = std::make_unique<ScriptedConnection>(std::move(steps));
        connection = scripted.get();
        client = std::make_unique<TSmtpClient>(std::move(scripted));
        wire(*client);
        client->Host = QStringLiteral("mail.test");
        client->FromName = QStringLiteral("a@x");
        client->RcptName = {QStringLiteral("b@x")};
    }
};

const Step Greeting{"", {"220 mail.test ready\r\n"}};
const Step Helo{"EHLO corvane.test\r\n", {"250 mail.test\r\n"}};
const QList<Step> Envelope{Greeting, Helo,
                           {"MAIL FROM:<a@x>\r\n", {"250 ok\r\n"}},
                           {"RCPT TO:<b@x>\r\n", {"250 ok\r\n"}},
                           {"DATA\r\n", {"354 go ahead\r\n"}}};
const QDateTime Now(QDate(2026, 12, 8), QTime(7, 41, 16), QTimeZone(3600));

// The message the client writes for `lines` with no header fields set, up
// to and with the final dot, at Now.
QByteArray message(const QByteArray &lines)
{
    return "From: \r\nTo: \r\nSubject: \r\nMime-Version: 1.0\r\n"
           "Content-Type: text/plain; charset=\"iso-8859-1\"\r\n"
           "Date: Tue, 8 Dec 2026 07:41:16 +0100\r\n\r\n"
           + lines + ".\r\n";
}

} // namespace

TEST_F(ConversationTest, OpenGreetsWithEhloAndQuitSaysGoodbye)
{
    talk({Greeting, Helo, {"QUIT\r\n", {"221 bye\r\n"}}});
    ASSERT_TRUE(client->Open()) << client->ErrorMessage().toStdString();
    EXPECT_EQ(client->Stage(), 2);
    EXPECT_EQ(client->LastResponse(), "250 mail.test");
    EXPECT_TRUE(client->Quit());
    EXPECT_EQ(connection->stepsLeft(), 0);
    EXPECT_EQ(client->Socket()->State(), wsClosed);
    EXPECT_EQ(shown, (QStringList{"Connected with SMTP server", "< 220 mail.test ready", "> EHLO corvane.test",
                                  "< 250 mail.test", "> QUIT", "< 221 bye"}));
}

TEST_F(ConversationTest, AWholeMailIsTheEnvelopeThenTheMessageDotStuffedThenTheDot)
{
    const MockClock clock(Now);
    talk(Envelope + QList<Step>{{"From: Ann <a@x>\r\n"
                                 "To: b@x\r\n"
                                 "Subject: Hi\r\n"
                                 "Mime-Version: 1.0\r\n"
                                 "Content-Type: text/plain; charset=\"iso-8859-1\"\r\n"
                                 "Date: Tue, 8 Dec 2026 07:41:16 +0100\r\n"
                                 "\r\n"
                                 "first\r\n"
                                 "..dot\r\n"
                                 "\r\n"
                                 ".\r\n",
                                 {"250 queued as 1\r\n"}}});
    client->HdrFrom = "Ann <a@x>";
    client->HdrTo = "b@x";
    client->HdrSubject = "Hi";
    body = {"first", ".dot", ""};
    ASSERT_TRUE(client->Mail()) << client->ErrorMessage().toStdString();
    EXPECT_TRUE(client->Result().ok());
    EXPECT_EQ(connection->stepsLeft(), 0);
    EXPECT_EQ(lineNums, (QList<int>{1, 2, 3, 4}));
}

TEST_F(ConversationTest, ARefusedStepIsFollowedByRsetAndTheSessionGoesOn)
{
    talk({Greeting, Helo,
          {"MAIL FROM:<a@x>\r\n", {"250 ok\r\n"}},
          {"RCPT TO:<b@x>\r\n", {"550 5.1.1 no such user\r\n"}},
          {"RSET\r\n", {"250 reset\r\n"}},
          {"MAIL FROM:<a@x>\r\n", {"250 ok\r\n"}},
          {"RCPT TO:<c@x>\r\n", {"250 ok\r\n"}},
          {"DATA\r\n", {"451 4.3.0 try later\r\n"}},
          {"RSET\r\n", {"250 reset\r\n"}}});
    EXPECT_FALSE(client->Mail());
    EXPECT_EQ(client->Result().kind(), TSmtpResult::Kind::Refused);
    EXPECT_EQ(client->Result().reason(), "550 5.1.1 no such user");
    EXPECT_EQ(client->ErrorMessage(), "550 5.1.1 no such user");
    EXPECT_EQ(client->Stage(), 2) << "the connection stays";

    // The next message starts its transaction afresh on the same connection.
    client->RcptName = {QStringLiteral("c@x")};
    EXPECT_FALSE(client->Mail());
    EXPECT_EQ(client->Result().kind(), TSmtpResult::Kind::Deferred);
    EXPECT_EQ(client->Result().reason(), "451 4.3.0 try later");
    EXPECT_EQ(client->ErrorMessage(), "550 5.1.1 no such user") << "the first failure keeps its text";
    EXPECT_EQ(connection->connectCount(), 1);
    EXPECT_EQ(connection->stepsLeft(), 0);
    EXPECT_TRUE(connection->writtenSinceLastStep().isEmpty());
}

TEST_F(ConversationTest, RepliesCutAcrossReadsAreReadWholeAndOnlyTheLastLineCounts)
{
    talk({{"", {"22", "0-mail.test says\r\n220-hel", "lo\r\n220 ", "ready\r\n"}},
          {"EHLO corvane.test\r\n", {"250-first\r\n", "250-second\r\n250 last\r\n"}}});
    ASSERT_TRUE(client->Open()) << client->ErrorMessage().toStdString();
    EXPECT_EQ(client->LastResponse(), "250 last");
    EXPECT_EQ(shown.mid(1, 3), (QStringList{"< 220-mail.test says", "< 220-hello", "< 220 ready"}));
    client->Abort();
}

TEST_F(ConversationTest, AnUnansweredDotTimesOutWithTheOutcomeUnknownAndDropsTheConnection)
{
    const MockClock clock(Now);
    talk(Envelope + QList<Step>{{message("x\r\n"), {}}});
    client->TimeOut = 20;
    body = {"x"};
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_FALSE(client->Mail());
    EXPECT_GE(elapsed.elapsed(), 20 * CountMs - 10) << "the time-out was waited out";
    EXPECT_EQ(client->Result().kind(), TSmtpResult::Kind::OutcomeUnknown);
    EXPECT_EQ(client->Result().reason(), "554 receive timeout");
    EXPECT_EQ(shown.last(), "< 554 receive timeout");
    EXPECT_EQ(client->Stage(), 0);
    EXPECT_EQ(client->Socket()->State(), wsClosed);
    EXPECT_EQ(connection->stepsLeft(), 0);
}

TEST_F(ConversationTest, AServerThatHangsUpAfterItsGreetingLeavesTheMailToBeTriedAgain)
{
    talk({{"", {"220 ready\r\n"}, true}});
    EXPECT_FALSE(client->Mail());
    EXPECT_EQ(client->Result().kind(), TSmtpResult::Kind::Deferred);
    EXPECT_EQ(client->Result().reason(), "554 not connected");
    EXPECT_EQ(connection->written(), "EHLO corvane.test\r\n");
}
