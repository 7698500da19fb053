#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QStringList>

// A real SMTP server that no one here wrote: Python's aiosmtpd, started on a
// port of the system's choice on 127.0.0.1. Every message it accepts is kept
// with its envelope.
class RealSmtpServer
{
public:
    struct Received
    {
        QString mailFrom;
        QStringList rcptTos;
        QByteArray data;
    };

    RealSmtpServer();
    ~RealSmtpServer();

    // With a certificate the server speaks TLS: from the first byte
    // (implicit) or after STARTTLS, which it then requires; with a user it
    // requires that login (PLAIN or LOGIN) before any mail.
    struct Security
    {
        QString certificateFile;
        QString keyFile;
        bool implicit = false;
        QString user;
        QString password;
    };

    // False, with error() telling why, when the server did not come up.
    bool start();
    bool start(const Security &security);
    quint16 port() const { return m_port; }
    QString error() const { return m_error; }
    // Reads what the server reported so far.
    QList<Received> messages();
    // Moves every whole line of pending, one JSON message each as the
    // servers of the tests print them, into received.
    static void takeMessages(QByteArray &pending, QList<Received> &received);

private:
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
    QByteArray m_pending;
    QList<Received> m_messages;
};
