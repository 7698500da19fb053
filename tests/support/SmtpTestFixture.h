#pragma once

#include "support/ScriptedSmtpServer.h"
#include "transport/SmtpClient.h"
#include "platform/Wait.h"

#include <QStringList>
#include <gtest/gtest.h>

// A client wired as both programs wire theirs: a wait object (here with 5 ms
// counts, so a time-out of 400 counts is 2 s), the display lines collected,
// the body served from a list of lines.
struct SmtpClientSetup : ::testing::Test
{
    static constexpr int CountMs = 5;

    TWait wait;
    QStringList shown;
    QStringList body;
    QList<int> lineNums;

    SmtpClientSetup() { wait.setInterval(CountMs); }
    // Everything but where the server is.
    void wire(TSmtpClient &client);
};

// The client talking to a scripted server on a port of this machine.
struct SmtpTest : SmtpClientSetup
{
    ScriptedSmtpServer server;
    TSmtpClient client;

    SmtpTest();

    // The lines of the n-th message the server received (data between DATA and ".").
    QList<QByteArray> messageLines(int n = 0) const;
    // Header lines of a received message, up to the empty line.
    QList<QByteArray> headerLines(int n = 0) const;
    // Body lines after the empty line that ends the header.
    QList<QByteArray> bodyLines(int n = 0) const;
};
