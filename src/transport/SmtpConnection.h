#pragma once

#include "transport/SocketState.h"

#include <QByteArray>
#include <QString>
#include <functional>

class TWait;

// What the SMTP client needs of its connection: connect, read a line, send,
// start TLS, close. Every wait runs in the TWait given, so the program stays
// live. WSocketConnection serves it with a TWSocket; tests give the client a
// scripted one.
class SmtpConnection
{
public:
    virtual ~SmtpConnection() = default;

    // `closed` when the connection ends, from either side; `sent` when
    // everything queued has left.
    virtual void setEvents(std::function<void()> closed, std::function<void()> sent) = 0;
    virtual void setWaitCtrl(TWait *wait) = 0;

    // Resolves host and port and starts connecting; raises ESocketException
    // when they cannot be read or the attempt cannot start.
    virtual void ConnectTo(const QString &host, const QString &port) = 0;
    // Waits until connected; false when the time ran out or the attempt failed.
    virtual bool WaitConnected(qint32 timeoutSeconds) = 0;
    virtual TSocketState State() const = 0;
    // The address this end of the connection has, as text; empty when not
    // connected.
    virtual QString LocalAddress() const = 0;

    // One line without CR and LF (see TCustomWSocket::ReadLine).
    virtual void ReadLine(qint32 timeoutSeconds, QByteArray &line) = 0;
    virtual void SendStr(const QByteArray &bytes) = 0;
    // While set, short sends are gathered and leave as full packets.
    virtual void setMoreToFollow(bool more) = 0;
    virtual bool ReadyForMore() const = 0;
    // Bytes that have left since the connection object was made.
    virtual quint64 SentTotal() const = 0;

    // See TCustomWSocket::StartTls.
    virtual bool StartTls(qint32 timeoutSeconds, const QString &peerName) = 0;
    virtual bool Encrypted() const = 0;
    virtual QString TlsFailure() const = 0;
    virtual QString TlsDescription() const = 0;

    virtual void Close() = 0;
    // Shuts both directions down at once, then closes.
    virtual void Abort() = 0;
};
