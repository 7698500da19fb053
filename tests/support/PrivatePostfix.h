#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A whole Postfix mail system of its own: its configuration, queue and
// mailboxes in a temporary folder, its SMTP service on a private loopback
// port, every message for the domain example.test delivered into one
// Maildir and a recipient in any other domain refused. It needs root (Postfix's daemons drop to the users the Debian
// package made) and is stopped when destroyed, whatever the test did.
class PrivatePostfix
{
public:
    PrivatePostfix() = default;
    ~PrivatePostfix();
    PrivatePostfix(const PrivatePostfix &) = delete;
    PrivatePostfix &operator=(const PrivatePostfix &) = delete;

    // Why this machine cannot run one (not root, postfix not installed), or
    // an empty string.
    static QString unavailable();
    // False, with error() telling why, when the mail system did not come up.
    bool start();
    quint16 port() const { return m_port; }
    QString error() const { return m_error; }
    // The delivered messages, each as its file reads.
    QList<QByteArray> delivered() const;
    // Postfix's own log, for a failure's message.
    QString log() const;

private:
    bool writeConfiguration();
    int postfix(const QString &command);

    QTemporaryDir m_root;
    quint16 m_port = 0;
    bool m_started = false;
    QString m_error;
};
