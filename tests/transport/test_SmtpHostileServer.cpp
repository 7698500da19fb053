#include "support/SmtpTestFixture.h"

#include "transport/SmtpReply.h"

#include <QElapsedTimer>
#include <QTimer>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// Servers that misbehave on purpose: refusing, silent, endless, late. The
// client must stay in step with each and never be held longer than its bounds.

namespace {

// A port whose connections are never completed: its listener takes one
// connection and never accepts it, so every later connect hangs.
class HangingListener
{
public:
    HangingListener()
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr *>(&address), sizeof address);
        ::listen(m_listen, 0);
        socklen_t length = sizeof address;
        ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_filler = ::socket(AF_INET, SOCK_STREAM, 0);
        ::connect(m_filler, reinterpret_cast<sockaddr *>(&address), sizeof address);
    }
    ~HangingListener()
    {
        ::close(m_filler);
        ::close(m_listen);
    }
    QString portText() const { return QString::number(m_port); }

private:
    int m_listen = -1;
    int m_filler = -1;
    quint16 m_port = 0;
};

// Milliseconds from a Cancel, given shortly after the start, to the end of
// the call.
template <typename Call>
qint64 msFromCancelToEnd(TCustomSmtpClient &client, Call call)
{
    QElapsedTimer clock;
    qint64 cancelledAt = -1;
    QTimer::singleShot(20, &client, [&] {
        cancelledAt = clock.elapsed();
        client.Cancel();
    });
    clock.start();
    call();
    return cancelledAt < 0 ? -1 : clock.elapsed() - cancelledAt;
}

} // namespace

TEST_F(SmtpTest, ARefusedTransactionIsResetAndARefusedResetReconnects)
{
    server.script("MAIL", {{"451 try later"}, {"250 ok"}});
    server.script("RSET", {{"500 what"}, {"250 ok"}});
    EXPECT_FALSE(client.Mail());
    EXPECT_EQ(client.Stage(), 0) << "a server that does not take RSET is left";
    EXPECT_EQ(client.Result().reason(), "451 try later");
    EXPECT_TRUE(client.Mail()) << client.ErrorMessage().toStdString();
    EXPECT_EQ(server.connectionCount(), 2);
    EXPECT_EQ(server.commands().count("RSET"), 1);

    server.script("DATA", {{"554 no data for you"}, {"354 go"}});
    EXPECT_FALSE(client.Mail());
    EXPECT_EQ(server.commands().count("RSET"), 2);
    EXPECT_TRUE(client.Mail());
    EXPECT_EQ(server.connectionCount(), 2) << "a reset that worked keeps the connection";
}

TEST_F(SmtpTest, ATimeOutBeforeTheMessageIsAPlainFailure)
{
    client.TimeOut = 4;
    server.script("RCPT", {{"250 late", 300}, {"250 ok"}});
    EXPECT_FALSE(client.Mail());
    EXPECT_FALSE((client.Result().kind() == TSmtpResult::Kind::OutcomeUnknown)) << "nothing was handed over";
    EXPECT_EQ(client.Result().reason(), "554 receive timeout");
    EXPECT_FALSE((client.Result().kind() == TSmtpResult::Kind::Deferred)) << "a server that keeps silent is not tried again";
    EXPECT_EQ(client.Stage(), 0);
    client.TimeOut = 400;
    EXPECT_TRUE(client.Mail());
    EXPECT_EQ(server.messageCount(), 1);
}

TEST_F(SmtpTest, AServerThatNeverEndsItsReplyIsLeftAfterTheTimeOut)
{
    // One continuation line every count: each would restart a time-out per line.
    client.TimeOut = 40;
    server.script("CONNECT", {{"220-still greeting", 0, -1, 0, false, false, CountMs}});
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(client.Open());
    const qint64 elapsed = clock.elapsed();
    EXPECT_EQ(client.ErrorMessage(), "554 receive timeout");
    EXPECT_EQ(client.Stage(), 0);
    EXPECT_GT(shown.count("< 220-still greeting"), 3);
    // Far below what one time-out per line would allow.
    EXPECT_LT(elapsed, 40 * CountMs * 20);
}

TEST_F(SmtpTest, AReplyLargerThanTheBoundIsLeft)
{
    QByteArray flood;
    while (flood.size() <= TSmtpReply::MaxSize)
        flood += "250-" + QByteArray(96, 'x') + "\r\n";
    server.script("EHLO", flood + "250 done");
    EXPECT_FALSE(client.Open());
    EXPECT_EQ(client.ErrorMessage(), "554 reply too long");
    EXPECT_EQ(client.Stage(), 0);
    EXPECT_LT(shown.size(), 1000);
}

TEST_F(SmtpTest, ANulByteInAReplyLineKeepsTheRestOfTheLine)
{
    server.script("EHLO", {ScriptedSmtpServer::Reply{QByteArray("250 host\0 rest of it", 20)}});
    ASSERT_TRUE(client.Open());
    EXPECT_EQ(client.LastResponse(), "250 host\\0 rest of it");
    EXPECT_TRUE(shown.contains("< 250 host\\0 rest of it"));
}

TEST_F(SmtpTest, CancelEndsTheWaitForASilentServerWithinASecond)
{
    client.TimeOut = 4000; // 20 s
    server.script("CONNECT", {{"220 too late", 15000}});
    const qint64 ms = msFromCancelToEnd(client, [&] { EXPECT_FALSE(client.Open()); });
    EXPECT_GE(ms, 0);
    EXPECT_LT(ms, 4000 * CountMs / 2) << "well before the time-out";
    EXPECT_EQ(client.LastResponse(), "554 cancelled");
    EXPECT_EQ(client.Stage(), 0);
}

TEST_F(SmtpTest, CancelEndsAConnectThatHangsWithinASecond)
{
    HangingListener listener;
    client.Port = listener.portText();
    client.TimeOut = 4000;
    const qint64 ms = msFromCancelToEnd(client, [&] { EXPECT_FALSE(client.Open()); });
    EXPECT_GE(ms, 0);
    EXPECT_LT(ms, 4000 * CountMs / 2);
    EXPECT_EQ(client.ErrorMessage(), "Can't connect to host '127.0.0.1'");
}

TEST_F(SmtpTest, CancelLetsAnAnsweringServerFinishTheMessage)
{
    body = {"x"};
    ASSERT_TRUE(client.Open());
    client.Cancel();
    EXPECT_TRUE(client.Mail()) << "the message under way gets its second";
    EXPECT_TRUE(client.Quit());

    // Quit ended the session and the Cancel with it.
    ASSERT_TRUE(client.Open());
    EXPECT_TRUE(client.Mail());
}

TEST_F(SmtpTest, CancelWhileTheEndOfTheMessageIsUnansweredLeavesTheOutcomeUnknown)
{
    client.TimeOut = 4000;
    server.script(".", {{"250 too late", 15000}});
    body = {"x"};
    ASSERT_TRUE(client.Open());
    msFromCancelToEnd(client, [&] { EXPECT_FALSE(client.Mail()); });
    EXPECT_TRUE((client.Result().kind() == TSmtpResult::Kind::OutcomeUnknown));
    EXPECT_EQ(client.Result().reason(), "554 cancelled");
}

TEST_F(SmtpTest, AHandlerFailingAtTheEndOfTheDataLeavesTheMessageUnended)
{
    body = {"x"};
    client.OnEndOfData = [](TCustomSmtpClient *) { throw std::runtime_error("books closed"); };
    EXPECT_THROW(client.Mail(), std::runtime_error);
    EXPECT_EQ(client.Stage(), 0);
    client.OnEndOfData = nullptr;
    EXPECT_TRUE(client.Mail());
    EXPECT_EQ(server.messageCount(), 1) << "only the message that was ended";
}

// What a handler of the end of data stores must hold for the message that
// leaves next: the event comes after the last line shown and before the "."
// is written, with nothing of the client's own in between.
TEST_F(SmtpTest, TheEndOfDataComesLastBeforeTheDotLeaves)
{
    body = {"x"};
    QStringList order;
    client.OnDisplay = [&](TCustomSmtpClient *, const QString &text) { order.append(text); };
    client.OnEndOfData = [&](TCustomSmtpClient *) {
        order.append("<end of data>");
        EXPECT_FALSE(server.received().contains("\r\n.\r\n")) << "the message is not ended yet";
    };
    ASSERT_TRUE(client.Open());
    EXPECT_TRUE(client.Mail());
    const qsizetype end = order.indexOf("<end of data>");
    ASSERT_GT(end, 0);
    EXPECT_EQ(order[end - 1], "> .");
    ASSERT_GT(order.size(), end + 1);
    EXPECT_TRUE(order[end + 1].startsWith("< 250")) << order[end + 1].toStdString();
    EXPECT_EQ(server.messageCount(), 1);
}

// Which failures may pass: a run tries those members again later, and must
// never try again one the server refused for good.
TEST_F(SmtpTest, AFailureMayPassOnlyWhenTheServerSaysSoOrWasNotThere)
{
    using Reply = ScriptedSmtpServer::Reply;
    const struct
    {
        const char *name;
        QByteArray verb;
        Reply reply;
        bool transient;
    } cases[] = {
        {"451 at MAIL", "MAIL", {"451 4.7.1 try again later"}, true},
        {"452 at RCPT", "RCPT", {"452 4.5.3 too many recipients"}, true},
        {"454 at DATA", "DATA", {"454 4.7.0 throttling failure"}, true},
        {"451 at the end of the message", ".", {"451 4.3.0 queue full"}, true},
        {"421 closing at RCPT", "RCPT", {.text = "421 4.7.0 too fast, closing", .closeAfter = true}, true},
        {"a connection closed without a word", "MAIL", {.text = "", .drop = true}, true},
        {"550 at RCPT", "RCPT", {"550 5.1.1 no such user"}, false},
        {"554 at the end of the message", ".", {"554 5.7.1 spam"}, false},
    };
    body = {"x"};
    for (const auto &c : cases) {
        server.script(c.verb, {c.reply, {c.verb == "." ? "250 queued" : c.verb == "DATA" ? "354 go" : "250 ok"}});
        EXPECT_FALSE(client.Mail()) << c.name;
        EXPECT_EQ((client.Result().kind() == TSmtpResult::Kind::Deferred), c.transient) << c.name;
        EXPECT_FALSE((client.Result().kind() == TSmtpResult::Kind::OutcomeUnknown)) << c.name << ": the server answered, or nothing went out";
        EXPECT_TRUE(client.Mail()) << c.name << ": " << client.Result().reason().toStdString();
        EXPECT_FALSE((client.Result().kind() == TSmtpResult::Kind::Deferred)) << c.name << ": a success leaves no reason";
    }
    const QList<QByteArray> commands = server.commands();
    const auto rcpts = std::count_if(commands.cbegin(), commands.cend(), [](const QByteArray &c) { return c.startsWith("RCPT"); });
    EXPECT_EQ(rcpts, 2 * std::ssize(cases) - 2)
        << "all but the two MAIL cases failed at or after their RCPT";
}

// The connection gone after the whole message: the server may have it, so
// sending it again could deliver it twice.
TEST_F(SmtpTest, AConnectionLostAtTheEndOfTheMessageIsNeverToBeTriedAgain)
{
    server.script(".", {{.text = "", .drop = true}, {"250 queued"}});
    body = {"x"};
    EXPECT_FALSE(client.Mail());
    EXPECT_TRUE((client.Result().kind() == TSmtpResult::Kind::OutcomeUnknown));
    EXPECT_FALSE((client.Result().kind() == TSmtpResult::Kind::Deferred)) << client.Result().reason().toStdString();
}

TEST_F(SmtpTest, AServerThatCannotBeReachedAgainMayPassAnInvalidAddressNever)
{
    ASSERT_TRUE(client.Open());
    ASSERT_TRUE(client.Quit());
    client.Port = QString::number(ScriptedSmtpServer::unusedPort());
    EXPECT_FALSE(client.Mail());
    EXPECT_TRUE(client.Result().reason().startsWith("Can't connect to host")) << client.Result().reason().toStdString();
    EXPECT_TRUE((client.Result().kind() == TSmtpResult::Kind::Deferred));

    client.Port = server.portText();
    server.script("CONNECT", {{.text = "421 4.3.2 busy, come back later", .closeAfter = true}, {"220 ready"}});
    EXPECT_FALSE(client.Mail());
    EXPECT_EQ(client.Result().reason(), "421 4.3.2 busy, come back later");
    EXPECT_TRUE((client.Result().kind() == TSmtpResult::Kind::Deferred));

    client.RcptName = {"a<b@x"};
    EXPECT_FALSE(client.Mail());
    EXPECT_FALSE((client.Result().kind() == TSmtpResult::Kind::Deferred)) << client.Result().reason().toStdString();
}
