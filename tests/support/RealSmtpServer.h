#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QStringList>

// A real SMTP server that no one here wrote: Python's aiosmtpd, started on a
// port of the system's choice on 127.0.0.1. Every message it accepts is kept
// with its envelope, and every recipient a client names. It refuses each
// recipient whose address starts with "refuse" as a mailbox that does not
// exist, and answers the first RCPT of each that starts with "throttle" with
// a 421.
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
    // Every RCPT address so far, in order, accepted or not.
    QStringList recipientsTried();
    // Moves every whole line of pending, one JSON message each as the
    // servers of the tests print them, into received; the addresses of RCPT
    // lines into tried, where given.
    static void takeMessages(QByteArray &pending, QList<Received> &received, QStringList *tried = nullptr);

private:
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
    QByteArray m_pending;
    QList<Received> m_messages;
    QStringList m_tried;
};
