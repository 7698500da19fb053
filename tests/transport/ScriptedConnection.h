#pragma once

#include "transport/LineAssembly.h"
#include "transport/SmtpConnection.h"

#include <QByteArray>
#include <QList>
#include <QPointer>

class TWait;

// An SMTP client's connection inside the test, with no socket and no thread:
// the conversation is a script of steps. When the client wants to read and
// the server has nothing left to say, the next step begins: the bytes the
// client wrote since the last step must be exactly the step's, then the
// server's reads of the step arrive, each as one read (a line may be cut
// across them). A step with no reads is a server that keeps silent: the read
// waits out its time-out in the client's TWait.
class ScriptedConnection : public SmtpConnection
{
public:
    struct Step
    {
        QByteArray client;
        QList<QByteArray> server;
        // The server closes the connection after its reads.
        bool hangUp = false;
    };

    explicit ScriptedConnection(QList<Step> steps) : m_steps(std::move(steps)) {}

    // Connecting fails, as to a port where nobody listens.
    bool refuseConnection = false;
    // The address the client connects from.
    QString localAddress = QStringLiteral("192.0.2.25");
    // StartTls succeeds at once, with no handshake: the conversation goes
    // on as if encrypted, so the steps of EHLO can be scripted.
    bool acceptTls = false;

    // Everything the client wrote, and what it wrote after the last step
    // that began.
    QByteArray written() const { return m_written; }
    QByteArray writtenSinceLastStep() const { return m_written.mid(m_checkedUpTo); }
    // Steps that have not begun.
    qsizetype stepsLeft() const { return m_steps.size() - m_next; }
    int connectCount() const { return m_connects; }
    // What the client wrote, cut where it let the bytes leave: each entry is
    // what one write of a socket would carry.
    QList<QByteArray> flights() const { return m_flights; }

    void setEvents(std::function<void()> closed, std::function<void()> sent) override;
    void setWaitCtrl(TWait *wait) override { m_wait = wait; }
    void ConnectTo(const QString &host, const QString &port) override;
    bool WaitConnected(qint32 timeoutSeconds) override;
    TSocketState State() const override { return m_state; }
    QString LocalAddress() const override { return m_state == wsConnected ? localAddress : QString(); }
    void ReadLine(qint32 timeoutSeconds, QByteArray &line) override;
    void SendStr(const QByteArray &bytes) override;
    void setMoreToFollow(bool more) override;
    bool ReadyForMore() const override { return true; }
    quint64 SentTotal() const override { return static_cast<quint64>(m_written.size()); }
    bool StartTls(qint32, const QString &) override { return m_encrypted = acceptTls && m_state == wsConnected; }
    bool Encrypted() const override { return m_encrypted && m_state == wsConnected; }
    QString TlsFailure() const override
    {
        return m_encrypted ? QString() : QStringLiteral("no TLS in a scripted conversation");
    }
    QString TlsDescription() const override { return Encrypted() ? QStringLiteral("scripted TLS") : QString(); }
    void Close() override;
    void Abort() override { Close(); }

private:
    // Begins the next step; false when the script has none left.
    bool beginStep();
    // Holds the caller in the TWait for `counts` counts, as a socket does.
    void waitOut(qint32 counts);

    QList<Step> m_steps;
    qsizetype m_next = 0;
    QList<QByteArray> m_reads;
    bool m_hangUpAfterReads = false;
    QByteArray m_written;
    bool m_moreToFollow = false;
    QList<QByteArray> m_flights;
    QByteArray m_flight;
    qsizetype m_checkedUpTo = 0;
    LineAssembly m_line;
    TSocketState m_state = wsClosed;
    bool m_encrypted = false;
    int m_connects = 0;
    QPointer<TWait> m_wait;
    std::function<void()> m_closed;
};
