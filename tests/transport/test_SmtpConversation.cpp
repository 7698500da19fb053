// The client's conversation, in process and step by step: the test scripts
// what the server says and checks the exact bytes the client wrote before
// each of its replies.
#include "support/MockClock.h"
#include "transport/ConversationTest.h"
#include "transport/GreetingName.h"
#include "transport/LineAssembly.h"

#include <QElapsedTimer>
#include <QTimeZone>
#include <memory>
#include <stdexcept>

using namespace conversation;

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

TEST_F(ConversationTest, ReplyLinesOfUpTo2000OctetsAreCutAtTheLimitAndTheConversationStaysInStep)
{
    const MockClock clock(Now);
    const QByteArray greeting = "220 " + QByteArray(1996, 'g') + "\r\n";
    talk({{"", {greeting.left(700), greeting.mid(700)}},
          {"EHLO corvane.test\r\n",
           {"250-" + QByteArray(196, 'a') + "\r\n250-" + QByteArray(1200, 'b') + "\r\n250 mail.test\r\n"}},
          {"MAIL FROM:<a@x>\r\n", {"250 " + QByteArray(600, 'o') + "\r\n"}},
          {"RCPT TO:<b@x>\r\n", {"250 ok\r\n"}},
          {"DATA\r\n", {"354 go ahead\r\n"}},
          {message("x\r\n"), {"250 queued\r\n"}}});
    body = {"x"};
    ASSERT_TRUE(client->Mail()) << client->ErrorMessage().toStdString();
    EXPECT_EQ(connection->stepsLeft(), 0);
    EXPECT_EQ(client->LastResponse(), "250 queued");
    EXPECT_TRUE(shown.contains("< 220 " + QString(LineAssembly::Limit - 4, u'g')));
    EXPECT_TRUE(shown.contains("< 250-" + QString(196, u'a')));
    EXPECT_TRUE(shown.contains("< 250-" + QString(LineAssembly::Limit - 4, u'b')));
    EXPECT_TRUE(shown.contains("< 250 " + QString(LineAssembly::Limit - 4, u'o')));
}

TEST_F(ConversationTest, AfterARefusalLastResponseIsTheRefusalNotTheReplyToRset)
{
    talk({Greeting, Helo,
          {"MAIL FROM:<a@x>\r\n", {"250 ok\r\n"}},
          {"RCPT TO:<b@x>\r\n", {"550 5.1.1 no such user\r\n"}},
          {"RSET\r\n", {"250 2.0.0 flushed\r\n"}}});
    EXPECT_FALSE(client->Mail());
    EXPECT_EQ(client->LastResponse(), "550 5.1.1 no such user");
    EXPECT_TRUE(shown.contains("< 250 2.0.0 flushed"));
    // The server offered no ENHANCEDSTATUSCODES: the text after the code is
    // no enhanced code to read.
    EXPECT_EQ(client->Result().enhancedCode(), "");
    EXPECT_EQ(connection->stepsLeft(), 0);
}

TEST_F(ConversationTest, EnhancedStatusCodesAreKeptWithEachFailureWhereTheServerOffersThem)
{
    const Step rset{"RSET\r\n", {"250 2.0.0 flushed\r\n"}};
    talk({Greeting,
          {"EHLO corvane.test\r\n", {"250-mail.test\r\n250-ENHANCEDSTATUSCODES\r\n250 PIPELINING\r\n"}},
          {"MAIL FROM:<a@x>\r\n", {"250 2.1.0 ok\r\n"}},
          {"RCPT TO:<b@x>\r\n", {"550 5.1.1 <b@x>: no such user\r\n"}},
          rset,
          {"MAIL FROM:<a@x>\r\n", {"250 2.1.0 ok\r\n"}},
          {"RCPT TO:<b@x>\r\n", {"452-4.2.2 mailbox full\r\n452 4.2.2 try again later\r\n"}},
          rset,
          {"MAIL FROM:<a@x>\r\n", {"451 4.7.1 slow down\r\n"}},
          rset,
          {"MAIL FROM:<a@x>\r\n", {"550 no code here\r\n"}},
          rset});
    client->Security = TSmtpSecurity::Ssl;
    client->Pipelining = false; // one reply per step
    connection->acceptTls = true;
    const struct
    {
        TSmtpResult::Kind kind;
        const char *reason;
        const char *code;
    } expected[] = {
        {TSmtpResult::Kind::Refused, "550 5.1.1 <b@x>: no such user", "5.1.1"},
        {TSmtpResult::Kind::Deferred, "452 4.2.2 try again later", "4.2.2"},
        {TSmtpResult::Kind::Deferred, "451 4.7.1 slow down", "4.7.1"},
        {TSmtpResult::Kind::Refused, "550 no code here", ""},
    };
    for (const auto &e : expected) {
        EXPECT_FALSE(client->Mail());
        EXPECT_EQ(client->Result().kind(), e.kind) << e.reason;
        // The results show the reply as the server sent it, code and all.
        EXPECT_EQ(client->Result().reason(), e.reason);
        EXPECT_EQ(client->Result().enhancedCode(), e.code) << e.reason;
    }
    EXPECT_EQ(connection->stepsLeft(), 0);
}

TEST_F(ConversationTest, WithoutSignOnTheGreetingCarriesTheGreetingNameOfTheConnection)
{
    const QByteArray name = GreetingName::forConnection("192.0.2.25").toLatin1();
    talk({Greeting, {"EHLO " + name + "\r\n", {"250 mail.test\r\n"}}});
    client->SignOn.clear();
    ASSERT_TRUE(client->Open()) << client->ErrorMessage().toStdString();
    EXPECT_NE(name, "SignOn");
    EXPECT_EQ(connection->stepsLeft(), 0);
}

TEST_F(ConversationTest, WhatBreaksOffTheGreetingLeavesNoConnectionOpenAndTheNextOpenStartsAfresh)
{
    talk({Greeting, Greeting, Helo});
    bool thrown = false;
    client->OnDisplay = [&](TCustomSmtpClient *, const QString &text) {
        shown.append(text);
        if (text == "< 220 mail.test ready" && !thrown) {
            thrown = true;
            throw std::runtime_error("the window that shows the log went away");
        }
    };
    EXPECT_THROW(client->Open(), std::runtime_error);
    EXPECT_EQ(client->Stage(), 0);
    EXPECT_EQ(client->Socket()->State(), wsClosed) << "once left connected, half greeted";
    ASSERT_TRUE(client->Open()) << client->ErrorMessage().toStdString();
    EXPECT_EQ(connection->connectCount(), 2);
    EXPECT_EQ(connection->stepsLeft(), 0);
}
