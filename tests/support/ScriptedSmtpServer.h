#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

// An SMTP server for tests and benchmarks, on its own thread so it never
// depends on the event loop of the client under test. It listens on
// 127.0.0.1 with a port of the system's choice, serves one connection at a
// time, answers each command from a script and keeps everything it received.
//
// Verbs of the script: "CONNECT" (the greeting), the command's first word
// ("HELO", "MAIL", "RCPT", "DATA", "RSET", "QUIT", ...), and "." for the end
// of the message data. The replies of a verb are used in turn; the last one
// stays.
//
// With setTls the server speaks TLS with the given certificate: from the
// first byte (implicit), or after a reply to STARTTLS that starts with 220.
// Commands are kept as read, after decryption; "<TLS>" among them marks
// where the handshake succeeded, "<TLS failed>" where it did not.
class ScriptedSmtpServer
{
public:
    struct Reply
    {
        QByteArray text;         // one or more lines; CR LF is added when missing
        int delayMs = 0;         // pause before the reply
        int splitAt = -1;        // send the first splitAt bytes, pause, then the rest
        int splitPauseMs = 0;
        bool drop = false;       // close the connection instead of replying
        bool stopReading = false; // reply, then read nothing more from this client
        int repeatMs = 0;        // send the text again every repeatMs until the client goes away
        bool closeAfter = false; // reply, then close the connection ("421 closing")
    };

    ScriptedSmtpServer();
    ~ScriptedSmtpServer();
    ScriptedSmtpServer(const ScriptedSmtpServer &) = delete;
    ScriptedSmtpServer &operator=(const ScriptedSmtpServer &) = delete;

    quint16 port() const { return m_port; }
    QString portText() const { return QString::number(m_port); }

    void script(const QByteArray &verb, const QList<Reply> &replies);
    void script(const QByteArray &verb, const QByteArray &text) { script(verb, {Reply{text}}); }
    // The first "RCPT" naming address, or the first end of a message (".")
    // to it, gets reply instead of the script's; later tries get the script's.
    void refuseFirstTry(const QByteArray &verb, const QByteArray &address, const Reply &reply);
    // When each message ended, by the clock given (milliseconds); none
    // without one. The clock is read on the server's thread.
    void setClock(std::function<qint64()> clock);
    QList<qint64> messageTimes() const;
    // Off for benchmarks: messages are counted, not kept.
    void setCapture(bool capture);
    // PEM files of the certificate (with its chain) and its key.
    void setTls(const QString &certificateFile, const QString &keyFile, bool implicit);

    QByteArray received() const;
    QList<QByteArray> commands() const;
    QList<QByteArray> messages() const; // data of each message, dots undone
    int messageCount() const;
    int connectionCount() const;

    // A port on 127.0.0.1 that nothing listens on.
    static quint16 unusedPort();
    // Whether something on 127.0.0.1 accepts a connection on port.
    static bool listening(quint16 port);

private:
    struct Client;
    void run();
    bool serve(Client &client);
    bool respond(Client &client, const QByteArray &verb);
    // A first-try reply waiting for this verb in the client's transaction.
    bool takeFirstTry(const Client &client, const QByteArray &verb, Reply &reply);
    bool pause(int ms);
    // False when the client is gone.
    bool sendAll(Client &client, const char *data, qsizetype length);
    ssize_t receive(Client &client, char *buffer, size_t length);
    void startTls(Client &client);
    void closeClient(Client &client);

    int m_listen = -1;
    int m_wake[2] = {-1, -1};
    quint16 m_port = 0;
    std::thread m_thread;

    mutable std::mutex m_mutex;
    QHash<QByteArray, QList<Reply>> m_script;
    // By verb, then by address.
    QHash<QByteArray, QHash<QByteArray, Reply>> m_firstTries;
    std::function<qint64()> m_clock;
    QList<qint64> m_messageTimes;
    bool m_capture = true;
    void *m_tlsContext = nullptr; // SSL_CTX
    bool m_implicitTls = false;
    QByteArray m_received;
    QList<QByteArray> m_commands;
    QList<QByteArray> m_messages;
    int m_messageCount = 0;
    int m_connections = 0;
};
