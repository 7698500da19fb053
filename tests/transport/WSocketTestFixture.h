#pragma once

#include "support/ScriptedSmtpServer.h"
#include "transport/SocketException.h"
#include "transport/WSocket.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <gtest/gtest.h>

// A socket with a wait object of 10 ms counts, and the scripted server as
// the peer whose greeting carries the bytes a test needs.
struct WSocketTest : ::testing::Test
{
    ScriptedSmtpServer server;
    TWait wait;
    TWSocket socket;
    QStringList errors;

    WSocketTest()
    {
        wait.setInterval(10);
        socket.setWaitCtrl(&wait);
    }

    void collectErrors()
    {
        socket.OnError = [this](TCustomWSocket *s) { errors.append(s->LastErrorMessage()); };
    }

    bool connectTo(quint16 port, int timeoutCounts = 300)
    {
        socket.setProto("tcp");
        socket.setPort(QString::number(port));
        socket.setAddr("127.0.0.1");
        socket.Connect();
        return socket.Wait(timeoutCounts, wsConnected);
    }

    QByteArray readLine(int timeoutCounts = 300)
    {
        QByteArray line;
        socket.ReadLine(timeoutCounts, line);
        return line;
    }
};

// Runs the event loop until the condition holds or the bound has passed.
template <typename Condition>
bool waitUntil(Condition condition, int boundMs = 5000)
{
    QDeadlineTimer deadline(boundMs);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    return condition();
}
