// A connect that the system refuses at once (a firewall rule: EPERM or
// EACCES; no local address left: EADDRNOTAVAIL). This program stands in for
// the system's connect, so it is a program of its own: the next connect
// fails with the error a test asks for, every other goes through.
#include "support/ScriptedSmtpServer.h"
#include "support/SmtpTestFixture.h"
#include "transport/SocketErrors.h"
#include "transport/SocketException.h"
#include "transport/WSocket.h"

#include <QDir>
#include <atomic>
#include <cerrno>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

namespace {

std::atomic<int> nextConnectFails{0};

} // namespace

extern "C" int connect(int handle, const sockaddr *address, socklen_t length)
{
    using Connect = int (*)(int, const sockaddr *, socklen_t);
    static const auto system = reinterpret_cast<Connect>(dlsym(RTLD_NEXT, "connect"));
    if (const int error = nextConnectFails.exchange(0)) {
        errno = error;
        return -1;
    }
    return system(handle, address, length);
}

namespace {

qsizetype openHandles()
{
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot).size();
}

struct RefusedConnect
{
    const char *name;
    int error;
    int number;
    const char *text;
};

class ConnectRefusedAtOnce : public ::testing::TestWithParam<RefusedConnect>
{
protected:
    ConnectRefusedAtOnce()
    {
        wait.setInterval(10);
        socket.setWaitCtrl(&wait);
    }

    void aim(quint16 port)
    {
        socket.setProto("tcp");
        socket.setPort(QString::number(port));
        socket.setAddr("127.0.0.1");
    }

    ScriptedSmtpServer server;
    TWait wait;
    TWSocket socket;
};

} // namespace

TEST_P(ConnectRefusedAtOnce, LeavesTheSocketClosedAndTheNextConnectionWorks)
{
    const RefusedConnect &c = GetParam();
    const qsizetype handlesBefore = openHandles();
    aim(server.port());
    nextConnectFails = c.error;
    try {
        socket.Connect();
        FAIL() << "Connect did not report the failure";
    } catch (const ESocketException &error) {
        EXPECT_EQ(error.message(), SocketErrors::message(c.number, "Connect"));
        EXPECT_TRUE(error.message().endsWith(QString::fromLatin1(c.text))) << error.message().toStdString();
    }
    EXPECT_EQ(socket.LastError(), c.number);
    EXPECT_EQ(socket.State(), wsClosed);
    EXPECT_EQ(openHandles(), handlesBefore) << "the handle is closed again";

    // Once this said "Cannot change Addr if not closed" until the program ended.
    aim(server.port());
    socket.Connect();
    EXPECT_TRUE(socket.Wait(300, wsConnected));
    QByteArray greeting;
    socket.ReadLine(300, greeting);
    EXPECT_EQ(greeting, "220 test.local ready");
    socket.Close();
}

TEST_P(ConnectRefusedAtOnce, ReportedThroughOnErrorLeavesTheSocketClosedToo)
{
    QStringList errors;
    socket.OnError = [&](TCustomWSocket *s) { errors.append(s->LastErrorMessage()); };
    aim(server.port());
    nextConnectFails = GetParam().error;
    socket.Connect();
    EXPECT_EQ(errors, QStringList{SocketErrors::message(GetParam().number, "Connect")});
    EXPECT_EQ(socket.State(), wsClosed);
    aim(server.port());
    EXPECT_EQ(errors.size(), 1) << "the address can be set again";
}

INSTANTIATE_TEST_SUITE_P(Errors, ConnectRefusedAtOnce,
                         ::testing::Values(RefusedConnect{"Firewall", EPERM, 10013, "Permission denied"},
                                           RefusedConnect{"Forbidden", EACCES, 10013, "Permission denied"},
                                           RefusedConnect{"NoLocalAddress", EADDRNOTAVAIL, 10049,
                                                          "Address not available"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(SmtpTest, AConnectRefusedAtOnceFailsThatOpenAndTheNextOpenConnects)
{
    nextConnectFails = EPERM;
    EXPECT_FALSE(client.Open());
    EXPECT_EQ(client.ErrorMessage(), "Error 10013 in function Connect\r\nPermission denied");
    EXPECT_EQ(client.Stage(), 0);
    EXPECT_EQ(client.Socket()->State(), wsClosed);
    ASSERT_TRUE(client.Open()) << client.ErrorMessage().toStdString();
    EXPECT_EQ(client.Stage(), 2);
    EXPECT_TRUE(client.Quit());
}
