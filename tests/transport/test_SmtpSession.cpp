#include "support/SmtpTestFixture.h"

#include "transport/GreetingName.h"
#include "transport/SocketException.h"
#include "transport/WSocket.h"

TEST_F(SmtpTest, ConversationOfOneMessageAsWrittenOnTheWire)
{
    client.FromName = "  sender@corvane.test ";
    client.RcptName = {"one@corvane.test", " two@corvane.test"};
    body = {"Hello", "World"};
    ASSERT_TRUE(client.Open());
    EXPECT_EQ(client.Stage(), 2);
    ASSERT_TRUE(client.Mail()) << client.ErrorMessage().toStdString();
    ASSERT_TRUE(client.Quit());
    EXPECT_EQ(client.Stage(), 0);

    const QList<QByteArray> expected = {"EHLO corvane.test", "MAIL FROM:<sender@corvane.test>",
                                        "RCPT TO:<one@corvane.test>", "RCPT TO:<two@corvane.test>",
                                        "DATA", "QUIT"};
    EXPECT_EQ(server.commands(), expected);
    EXPECT_EQ(bodyLines(), (QList<QByteArray>{"Hello", "World"}));
    EXPECT_EQ(shown.mid(0, 4), (QStringList{"Connected with SMTP server", "< 220 test.local ready",
                                            "> EHLO corvane.test", "< 250 test.local"}));
    EXPECT_TRUE(shown.contains("> Hello"));
    EXPECT_TRUE(shown.contains("> "));
    EXPECT_EQ(shown.mid(shown.size() - 4),
              (QStringList{"> .", "< 250 queued", "> QUIT", "< 221 bye"}));
    EXPECT_EQ(lineNums, (QList<int>{1, 2, 3}));
}

TEST_F(SmtpTest, EhloCarriesTheGreetingNameOfTheConnectionOrSignOnUntrimmed)
{
    client.SignOn.clear();
    client.Host = "localhost";
    ASSERT_TRUE(client.Open());
    client.Quit();
    client.SignOn = " my host ";
    ASSERT_TRUE(client.Open());
    client.Quit();
    const QList<QByteArray> commands = server.commands();
    ASSERT_EQ(commands.size(), 4);
    // This host's fully qualified name, or the address it connects from.
    EXPECT_EQ(commands.at(0), "EHLO " + GreetingName::forConnection("127.0.0.1").toLatin1());
    EXPECT_TRUE(commands.at(0) == "EHLO [127.0.0.1]" || GreetingName::isFullyQualified(commands.at(0).mid(5)))
        << commands.at(0).toStdString();
    EXPECT_EQ(commands.at(2), "EHLO  my host ");
}

TEST_F(SmtpTest, OpenFailures)
{
    TSmtpClient noWait;
    noWait.Host = "127.0.0.1";
    EXPECT_FALSE(noWait.Open());
    EXPECT_EQ(noWait.ErrorMessage(), "No wait object");

    client.Host.clear();
    EXPECT_FALSE(client.Open());
    EXPECT_EQ(client.ErrorMessage(), "No host specified");
    EXPECT_EQ(shown, (QStringList{"No host specified"}));

    shown.clear();
    client.Host = "127.0.0.1";
    client.Port = "no-such-service";
    EXPECT_FALSE(client.Open());
    EXPECT_EQ(client.ErrorMessage(),
              "Error 11004 in function SetPort: Cannot convert port 'no-such-service'\r\nNo Data");
    EXPECT_TRUE(shown.isEmpty());

    client.Port = QString::number(ScriptedSmtpServer::unusedPort());
    EXPECT_FALSE(client.Open());
    EXPECT_EQ(client.ErrorMessage(), "Can't connect to host '127.0.0.1'");
    EXPECT_EQ(shown, (QStringList{"Can't connect to host '127.0.0.1'"}));
    EXPECT_EQ(client.Stage(), 0);
}

TEST_F(SmtpTest, MultiLineRepliesCountByTheirLastLine)
{
    server.script("EHLO", "250-first\r\n250-second\r\n250 last");
    server.script("MAIL", "250-fine so far\r\n550 but not really");
    ASSERT_TRUE(client.Open());
    EXPECT_EQ(client.LastResponse(), "250 last");
    EXPECT_TRUE(shown.contains("< 250-second"));
    EXPECT_FALSE(client.Mail());
    EXPECT_EQ(client.ErrorMessage(), "550 but not really");
    EXPECT_EQ(client.Stage(), 2);
}

TEST_F(SmtpTest, ThreeDigitReplyEndsTheReplyAndNoDigitsIsCodeZero)
{
    server.script("CONNECT", "220");
    server.script("EHLO", "hello there");
    EXPECT_FALSE(client.Open());
    EXPECT_EQ(client.LastResponse(), "hello there");
    EXPECT_EQ(client.ErrorMessage(), "hello there");
    EXPECT_EQ(client.Stage(), 0);
    EXPECT_EQ(client.Socket()->State(), wsClosed);
}

TEST_F(SmtpTest, RefusedRecipientStopsBeforeData)
{
    server.script("RCPT", {{"250 ok"}, {"550 no such user"}});
    client.RcptName = {"a@x", "b@x", "c@x"};
    EXPECT_FALSE(client.Mail());
    EXPECT_EQ(client.ErrorMessage(), "550 no such user");
    // The refused transaction is reset, so the server takes the next MAIL FROM.
    EXPECT_EQ(server.commands(), (QList<QByteArray>{"EHLO corvane.test", "MAIL FROM:<sender@corvane.test>",
                                                    "RCPT TO:<a@x>", "RCPT TO:<b@x>", "RSET"}));
    EXPECT_EQ(client.Stage(), 2);
    EXPECT_EQ(client.Result().reason(), "550 no such user");
    EXPECT_FALSE((client.Result().kind() == TSmtpResult::Kind::OutcomeUnknown));

    // The next message goes on over the same connection, starting with MAIL FROM.
    server.script("RCPT", "250 ok");
    EXPECT_TRUE(client.Mail());
    EXPECT_EQ(server.connectionCount(), 1);
    EXPECT_TRUE(client.Result().reason().isEmpty());
}

TEST_F(SmtpTest, NoRecipientsGoesFromMailFromStraightToData)
{
    client.RcptName.clear();
    body = {"x"};
    EXPECT_TRUE(client.Mail());
    EXPECT_EQ(server.commands(), (QList<QByteArray>{"EHLO corvane.test", "MAIL FROM:<sender@corvane.test>", "DATA"}));
}

TEST_F(SmtpTest, LeadingDotsAreDoubled)
{
    body = {".", ".hidden", "a.b", "..", ""};
    ASSERT_TRUE(client.Mail());
    const QByteArray wire = server.received();
    EXPECT_TRUE(wire.contains("\r\n\r\n..\r\n..hidden\r\na.b\r\n...\r\n\r\n.\r\n")) << wire.toStdString();
    EXPECT_EQ(bodyLines(), (QList<QByteArray>{".", ".hidden", "a.b", "..", ""}));
}

TEST_F(SmtpTest, QuitAndResetWithoutConnectionSendNothing)
{
    EXPECT_TRUE(client.Quit());
    EXPECT_TRUE(client.Reset());
    EXPECT_EQ(server.connectionCount(), 0);
    EXPECT_TRUE(shown.isEmpty());
}

TEST_F(SmtpTest, ResetSendsRset)
{
    ASSERT_TRUE(client.Open());
    EXPECT_TRUE(client.Reset());
    server.script("RSET", "502 no");
    EXPECT_FALSE(client.Reset());
    EXPECT_EQ(client.Stage(), 2);
}

TEST_F(SmtpTest, ReceiveTimeOutAfterTheMessageLeavesItsOutcomeUnknownAndDropsTheConnection)
{
    client.TimeOut = 4;
    server.script(".", {{"250 late", 300}, {"250 queued"}});
    body = {"x"};
    EXPECT_FALSE(client.Mail());
    EXPECT_EQ(client.ErrorMessage(), "554 receive timeout");
    EXPECT_EQ(client.LastResponse(), "554 receive timeout");
    EXPECT_EQ(shown.last(), "< 554 receive timeout");
    EXPECT_TRUE((client.Result().kind() == TSmtpResult::Kind::OutcomeUnknown)) << "the server may have taken it";
    EXPECT_EQ(client.Stage(), 0) << "the late reply would be read against the next command";

    // The next message goes over a new connection, in step with its server.
    client.TimeOut = 400;
    EXPECT_TRUE(client.Mail());
    EXPECT_FALSE((client.Result().kind() == TSmtpResult::Kind::OutcomeUnknown));
    EXPECT_EQ(server.connectionCount(), 2);
    EXPECT_EQ(server.messageCount(), 2);
}

TEST_F(SmtpTest, ZeroTimeOutWaitsFifteenCounts)
{
    client.TimeOut = 0;
    server.script("CONNECT", {{"220 late", 2000}});
    QList<int> counts;
    wait.OnWait = [&](TWait *, qint32 count) { counts.append(count); };
    EXPECT_FALSE(client.Open());
    EXPECT_EQ(client.ErrorMessage(), "554 receive timeout");
    ASSERT_FALSE(counts.isEmpty());
    EXPECT_EQ(counts.first(), 14);
    EXPECT_EQ(counts.last(), 0);
}

TEST_F(SmtpTest, MailConnectsByItselfAndReconnectsAfterADrop)
{
    server.script(".", {{"", 0, -1, 0, true}, {"250 queued"}});
    body = {"x"};
    EXPECT_FALSE(client.Mail());
    EXPECT_EQ(client.Stage(), 0);
    EXPECT_TRUE(client.Mail()) << client.ErrorMessage().toStdString();
    EXPECT_EQ(server.connectionCount(), 2);
    EXPECT_EQ(server.messageCount(), 2);
}

TEST_F(SmtpTest, MailThatCannotConnectSaysWhy)
{
    client.Port = QString::number(ScriptedSmtpServer::unusedPort());
    EXPECT_FALSE(client.Mail());
    EXPECT_EQ(client.ErrorMessage(), "Can't connect to host '127.0.0.1'");
}

TEST_F(SmtpTest, AbortClosesWithoutSending)
{
    ASSERT_TRUE(client.Open());
    EXPECT_TRUE(client.Abort());
    EXPECT_EQ(client.Stage(), 0);
    EXPECT_EQ(client.Socket()->State(), wsClosed);
    EXPECT_EQ(server.commands(), QList<QByteArray>{"EHLO corvane.test"});
}

TEST_F(SmtpTest, OpenReplacesTheTimeoutHandlerOfTheWait)
{
    int ownerTimeouts = 0;
    wait.OnTimeout = [&](TWait *) { ++ownerTimeouts; };
    client.TimeOut = 3;
    server.script("EHLO", {{"250 late", 300}});
    EXPECT_FALSE(client.Open());
    EXPECT_EQ(ownerTimeouts, 0);
    EXPECT_EQ(client.ErrorMessage(), "554 receive timeout");
}
