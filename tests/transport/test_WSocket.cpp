#include "transport/WSocketTestFixture.h"

#include "transport/SocketErrors.h"

TEST_F(WSocketTest, ALongLineIsCutAtTheLimitWithLineTooLongAndTheNextLineIsInStep)
{
    server.script("CONNECT", QByteArray(2000, 'a') + "\r\n220 next");
    int tooLong = 0;
    socket.OnLineTooLong = [&](TCustomWSocket *) { ++tooLong; };
    ASSERT_TRUE(connectTo(server.port()));
    EXPECT_EQ(readLine(), QByteArray(TCustomWSocket::LineLimit, 'a'));
    EXPECT_EQ(tooLong, 1);
    EXPECT_EQ(readLine(), "220 next");
    EXPECT_EQ(tooLong, 1);
    EXPECT_EQ(socket.ReadCount(), 2012);
}

TEST_F(WSocketTest, CarriageReturnsAreDroppedAndAnEmptyLineReadsEmpty)
{
    server.script("CONNECT", "2\r2\r0 ok\r\n\r\nnext\n");
    ASSERT_TRUE(connectTo(server.port()));
    EXPECT_EQ(readLine(), "220 ok");
    EXPECT_EQ(readLine(), "");
    EXPECT_EQ(readLine(), "next");
}

TEST_F(WSocketTest, BytesAfterTheLineEndWaitForTheNextRead)
{
    server.script("CONNECT", "first\r\nsecond\r\n");
    ASSERT_TRUE(connectTo(server.port()));
    EXPECT_EQ(readLine(), "first");
    EXPECT_EQ(socket.ReadCount(), 7);
    EXPECT_TRUE(waitUntil([&] { return socket.RcvdCount() == 8; }));
    EXPECT_EQ(readLine(), "second");
}

TEST_F(WSocketTest, ReplyInTwoPiecesWithAShortPauseReadsAsOneLine)
{
    server.script("CONNECT", {{"220 two pieces", 0, 5, 20}});
    ASSERT_TRUE(connectTo(server.port()));
    EXPECT_EQ(readLine(300), "220 two pieces");
}

TEST_F(WSocketTest, ReplyInTwoPiecesWithALongPauseIsContinuedByTheNextRead)
{
    server.script("CONNECT", {{"220 two pieces", 0, 5, 300}});
    int timeouts = 0;
    wait.OnTimeout = [&](TWait *) { ++timeouts; };
    ASSERT_TRUE(connectTo(server.port()));
    QByteArray first;
    ASSERT_TRUE(waitUntil([&] { return socket.RcvdCount() == 5; }));
    socket.ReadLine(3, first);
    EXPECT_EQ(first, "220 t");
    EXPECT_EQ(timeouts, 1);
    EXPECT_EQ(readLine(300), "220 two pieces");
}

TEST_F(WSocketTest, RefusedConnectionEndsTheWaitAtOnceWithFalse)
{
    QList<int> connectErrors;
    socket.OnSessionConnected = [&](TCustomWSocket *, quint16 error) { connectErrors.append(error); };
    int timeouts = 0;
    wait.OnTimeout = [&](TWait *) { ++timeouts; };
    EXPECT_FALSE(connectTo(ScriptedSmtpServer::unusedPort(), 3000));
    EXPECT_EQ(connectErrors, QList<int>{10061});
    EXPECT_EQ(socket.State(), wsClosed);
    EXPECT_EQ(timeouts, 0);
    EXPECT_EQ(wait.ModalResult, TWait::mrStopped);
}

TEST_F(WSocketTest, StateChangesOfAConnection)
{
    QList<QPair<TSocketState, TSocketState>> changes;
    socket.OnChangeState = [&](TCustomWSocket *, TSocketState from, TSocketState to) { changes.append({from, to}); };
    ASSERT_TRUE(connectTo(server.port()));
    socket.Close();
    const QList<QPair<TSocketState, TSocketState>> expected = {
        {wsClosed, wsOpened}, {wsOpened, wsConnecting}, {wsConnecting, wsConnected}, {wsConnected, wsClosed}};
    EXPECT_EQ(changes, expected);
}

TEST_F(WSocketTest, PropertiesCannotChangeUnlessClosed)
{
    ASSERT_TRUE(connectTo(server.port()));
    collectErrors();
    socket.setAddr("127.0.0.2");
    socket.setPort("26");
    socket.setProto("udp");
    EXPECT_EQ(errors, (QStringList{"Cannot change Addr if not closed", "Cannot change Port if not closed",
                                   "Cannot change Proto if not closed"}));
    socket.OnError = nullptr;
    try {
        socket.setPort("27");
        FAIL() << "no exception";
    } catch (const ESocketException &e) {
        EXPECT_EQ(e.message(), "Cannot change Port if not closed");
    }
}

TEST_F(WSocketTest, PortByServiceNameAndUnknownService)
{
    collectErrors();
    socket.setPort("smtp");
    EXPECT_TRUE(errors.isEmpty());
    socket.setPort("no-such-service");
    EXPECT_EQ(errors, QStringList{"Error 11004 in function SetPort: Cannot convert port 'no-such-service'\r\nNo Data"});
    socket.setProto("no-such-proto");
    EXPECT_EQ(errors.last(), "Error 11004 in function SetProto: Cannot convert protocol 'no-such-proto'\r\nNo Data");
}

TEST_F(WSocketTest, ConnectRefusesMissingPartsInOrder)
{
    collectErrors();
    socket.Connect();
    socket.setPort(server.portText());
    socket.Connect();
    EXPECT_EQ(errors, (QStringList{"Connect: No Port Specified", "Connect: No IP Address Specified"}));
    EXPECT_THROW(socket.setAddr(""), ESocketException);
    try {
        socket.setAddr("");
    } catch (const ESocketException &e) {
        EXPECT_EQ(e.message(), "SetAddr: Cannot convert host address ''");
    }
}

TEST_F(WSocketTest, SendOnAClosedSocketReportsNotConnected)
{
    collectErrors();
    EXPECT_EQ(socket.SendStr("HELO x\r\n"), -1);
    EXPECT_EQ(errors, QStringList{"Error 10057 in function Send\r\nSocket is not connected"});
    EXPECT_EQ(socket.LastError(), 10057);
    socket.OnError = nullptr;
    EXPECT_THROW(socket.SendStr("x"), ESocketException);
}

TEST_F(WSocketTest, WaitWithoutWaitObjectReportsNoData)
{
    socket.setWaitCtrl(nullptr);
    collectErrors();
    EXPECT_FALSE(socket.Wait(1, wsConnected));
    EXPECT_EQ(errors, QStringList{"Error 11004 in function TWSocket.Wait\r\nNo Data"});
    QByteArray line;
    socket.ReadLine(1, line);
    EXPECT_EQ(errors.last(), "No wait object assigned");
}

TEST_F(WSocketTest, SentLinesArriveAndDataSentFires)
{
    int dataSent = 0;
    socket.OnDataSent = [&](TCustomWSocket *, quint16) { ++dataSent; };
    ASSERT_TRUE(connectTo(server.port()));
    EXPECT_EQ(readLine(), "220 test.local ready");
    const QByteArray big(5000, 'x');
    EXPECT_EQ(socket.SendStr("NOOP " + big + "\r\n"), 5007);
    EXPECT_EQ(readLine(), "250 ok");
    EXPECT_TRUE(waitUntil([&] { return dataSent > 0; }));
    EXPECT_TRUE(socket.AllSent());
    EXPECT_TRUE(server.received().endsWith("NOOP " + big + "\r\n"));
}

TEST_F(WSocketTest, PeerClosingEndsTheReadAndFiresSessionClosedOnce)
{
    server.script("HELO", {{"", 0, -1, 0, true}});
    int closed = 0;
    socket.OnSessionClosed = [&](TCustomWSocket *, quint16) { ++closed; };
    ASSERT_TRUE(connectTo(server.port()));
    EXPECT_EQ(readLine(), "220 test.local ready");
    socket.SendStr("HELO x\r\n");
    EXPECT_EQ(readLine(3000), "");
    EXPECT_EQ(wait.ModalResult, TWait::mrStopped);
    EXPECT_EQ(socket.State(), wsClosed);
    EXPECT_EQ(closed, 1);
    socket.Close();
    EXPECT_EQ(closed, 1);
}

TEST_F(WSocketTest, MultiThreadedWaitsPumpTheLoopWithoutAWaitObject)
{
    socket.setWaitCtrl(nullptr);
    socket.MultiThreaded = true;
    ASSERT_TRUE(connectTo(server.port(), 5));
    EXPECT_EQ(readLine(5), "220 test.local ready");
    server.script("NOOP", {{"250 late", 300}});
    socket.SendStr("NOOP\r\n");
    EXPECT_EQ(readLine(0), "");
    EXPECT_EQ(readLine(5), "250 late");
}
