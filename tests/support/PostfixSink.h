#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// Postfix's smtp-sink as a second SMTP server no one here wrote: it takes
// every message and dumps each to a file of its own. It needs only its
// binary (Debian's postfix), not the Postfix daemon.
class PostfixSink
{
public:
    struct Received
    {
        // The arguments of MAIL FROM, as smtp-sink records them.
        QString mailArgs;
        // The message as sent, with CR LF line ends.
        QByteArray data;
    };

    PostfixSink() = default;
    ~PostfixSink();

    // The binary, or an empty string where postfix is not installed.
    static QString binary();
    // Listens on 127.0.0.1; without 8BITMIME or pipelining it does not offer
    // that. False, with error() telling why, when it did not come up.
    bool start(bool eightBitMime, bool pipelining = true);
    // Off for benchmarks, before start: a file per message costs the sink
    // more than the whole client does, and messages() stays empty.
    void setKeepMessages(bool keep) { m_keep = keep; }
    quint16 port() const { return m_port; }
    QString error() const { return m_error; }
    QList<Received> messages() const;

private:
    QProcess m_process;
    QTemporaryDir m_dumps;
    quint16 m_port = 0;
    QString m_error;
    bool m_keep = true;
};
