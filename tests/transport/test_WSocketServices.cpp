#include "transport/WSocketTestFixture.h"
#include "transport/SocketNames.h"

namespace {

struct ListeningPair : WSocketTest
{
    TWSocket listener;
    TWSocket accepted;

    void listen()
    {
        listener.setAddr("127.0.0.1");
        listener.setPort("0");
        listener.Listen();
        listener.OnSessionAvailable = [this](TCustomWSocket *, quint16) { accepted.Dup(listener.Accept()); };
    }
};

} // namespace

TEST_F(ListeningPair, ListenAcceptAndExchangeLines)
{
    listen();
    EXPECT_EQ(listener.State(), wsListening);
    const QString port = listener.GetXPort();
    ASSERT_NE(port, "error");
    EXPECT_EQ(socket.GetXPort(), "error");
    EXPECT_EQ(socket.GetPeerAddr(), "error");

    ASSERT_TRUE(connectTo(port.toUShort()));
    ASSERT_TRUE(waitUntil([&] { return accepted.State() == wsConnected; }));
    EXPECT_EQ(accepted.GetPeerAddr(), "127.0.0.1");

    accepted.SendStr("hello\r\n");
    EXPECT_EQ(readLine(), "hello");

    QByteArray got;
    accepted.OnDataAvailable = [&](TCustomWSocket *s, quint16) {
        char buffer[16];
        const qint32 n = s->Receive(buffer, sizeof buffer);
        if (n > 0)
            got.append(buffer, n);
    };
    socket.SendStr("abc");
    ASSERT_TRUE(waitUntil([&] { return got == "abc"; }));
    EXPECT_EQ(accepted.ReadCount(), 3);
}

TEST_F(ListeningPair, PausedSocketDeliversNothingUntilResumed)
{
    listen();
    ASSERT_TRUE(connectTo(listener.GetXPort().toUShort()));
    ASSERT_TRUE(waitUntil([&] { return accepted.State() == wsConnected; }));
    int available = 0;
    accepted.OnDataAvailable = [&](TCustomWSocket *s, quint16) {
        char buffer[16];
        s->Receive(buffer, sizeof buffer);
        ++available;
    };
    accepted.Pause();
    socket.SendStr("x");
    socket.Flush();
    ASSERT_TRUE(waitUntil([&] { return accepted.RcvdCount() == 1; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(available, 0);
    accepted.Resume();
    EXPECT_TRUE(waitUntil([&] { return available == 1; }));
}

TEST_F(WSocketTest, AsynchronousLookupFillsTheResults)
{
    QList<int> done;
    socket.OnDnsLookupDone = [&](TCustomWSocket *, quint16 error) { done.append(error); };
    socket.DnsLookup("localhost");
    ASSERT_TRUE(waitUntil([&] { return !done.isEmpty(); }));
    EXPECT_EQ(done, QList<int>{0});
    EXPECT_EQ(socket.DnsResult(), "127.0.0.1");
    EXPECT_TRUE(socket.DnsResultList().contains("127.0.0.1"));

    collectErrors();
    socket.DnsLookup("  ");
    EXPECT_EQ(errors, QStringList{"DNS lookup: invalid host name."});
}

TEST_F(WSocketTest, CancelledLookupReportsNothing)
{
    QList<int> done;
    socket.OnDnsLookupDone = [&](TCustomWSocket *s, quint16) { done.append(s->DnsResultList().size()); };
    socket.DnsLookup("localhost");
    socket.CancelDnsLookup();
    socket.DnsLookup("127.0.0.1");
    ASSERT_TRUE(waitUntil([&] { return !done.isEmpty(); }));
    // The first lookup was started first; its answer, had it not been
    // dropped, would normally have come in before the second.
    QCoreApplication::processEvents();
    EXPECT_EQ(done.size(), 1);
    EXPECT_EQ(socket.DnsResult(), "127.0.0.1");
}

TEST_F(WSocketTest, InvalidSendFlagsAndLingerWithoutHandleAreRefused)
{
    collectErrors();
    socket.setSendFlags(static_cast<TSocketSendFlags>(7));
    EXPECT_FALSE(socket.SetLingerOption());
    EXPECT_EQ(errors, (QStringList{"Invalid SendFlags", "Cannot set linger option at this time"}));
    EXPECT_EQ(socket.SendFlags(), wsSendNormal);
    ASSERT_TRUE(connectTo(server.port()));
    socket.LingerOnOff = wsLingerOff;
    EXPECT_TRUE(socket.SetLingerOption());
}

TEST_F(WSocketTest, DatagramSocketsAreConnectedAtOnceAndExchangeDatagrams)
{
    TWSocket receiver;
    receiver.setProto("udp");
    receiver.setAddr("127.0.0.1");
    receiver.setPort("0");
    receiver.Listen();
    EXPECT_EQ(receiver.State(), wsConnected);
    QByteArray got;
    QString from;
    receiver.OnDataAvailable = [&](TCustomWSocket *s, quint16) {
        char buffer[64];
        quint16 port = 0;
        const qint32 n = s->ReceiveFrom(buffer, sizeof buffer, from, port);
        if (n > 0)
            got.append(buffer, n);
    };

    QList<int> connected;
    socket.OnSessionConnected = [&](TCustomWSocket *, quint16 error) { connected.append(error); };
    socket.setProto("udp");
    socket.setPort(receiver.GetXPort());
    socket.setAddr("127.0.0.1");
    socket.Connect();
    EXPECT_EQ(socket.State(), wsConnected);
    EXPECT_EQ(connected, QList<int>{0});
    EXPECT_EQ(socket.SendStr("ping"), 4);
    ASSERT_TRUE(waitUntil([&] { return got == "ping"; }));
    EXPECT_EQ(from, "127.0.0.1");
}

namespace {

// Settings made elsewhere name the service "SMTP"; the service database
// here only knows "smtp".
TEST(SocketNames, ServiceNamesResolveWhateverTheirCase)
{
    for (const char *name : {"smtp", "SMTP", "Smtp"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(SocketNames::portNumber(name, "tcp"), 25);
        EXPECT_EQ(SocketNames::portNumber(name, "TCP"), 25);
        EXPECT_EQ(SocketNames::portNumber(name, ""), 25);
    }
    EXPECT_EQ(SocketNames::portNumber("SUBMISSION", "tcp"), 587);
    EXPECT_EQ(SocketNames::portNumber("Mail", "tcp"), 25) << "an alias of smtp";
    EXPECT_EQ(SocketNames::portNumber("SMTP", "udp"), std::nullopt) << "smtp is a service of tcp only";
    EXPECT_EQ(SocketNames::portNumber("NO-SUCH-SERVICE", "tcp"), std::nullopt);
}

TEST_F(WSocketTest, TheAgentsDefaultPortSmtpIsAccepted)
{
    collectErrors();
    socket.setPort("SMTP");
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

} // namespace
