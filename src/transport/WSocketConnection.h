#pragma once

#include "transport/SmtpConnection.h"
#include "transport/WSocket.h"

// The SMTP client's connection over a TWSocket of its own.
class WSocketConnection : public SmtpConnection
{
public:
    void setEvents(std::function<void()> closed, std::function<void()> sent) override;
    void setWaitCtrl(TWait *wait) override { m_socket.setWaitCtrl(wait); }

    void ConnectTo(const QString &host, const QString &port) override;
    bool WaitConnected(qint32 timeoutSeconds) override { return m_socket.Wait(timeoutSeconds, wsConnected); }
    TSocketState State() const override { return m_socket.State(); }
    QString LocalAddress() const override { return m_socket.GetLocalAddr(); }

    void ReadLine(qint32 timeoutSeconds, QByteArray &line) override { m_socket.ReadLine(timeoutSeconds, line); }
    void SendStr(const QByteArray &bytes) override { m_socket.SendStr(bytes); }
    void setMoreToFollow(bool more) override { m_socket.setMoreToFollow(more); }
    bool ReadyForMore() const override { return m_socket.ReadyForMore(); }
    quint64 SentTotal() const override { return m_socket.SentTotal(); }

    bool StartTls(qint32 timeoutSeconds, const QString &peerName) override
    {
        return m_socket.StartTls(timeoutSeconds, peerName);
    }
    bool Encrypted() const override { return m_socket.Encrypted(); }
    QString TlsFailure() const override { return m_socket.TlsFailure(); }
    QString TlsDescription() const override { return m_socket.TlsDescription(); }

    void Close() override { m_socket.Close(); }
    void Abort() override;

private:
    TWSocket m_socket;
};
