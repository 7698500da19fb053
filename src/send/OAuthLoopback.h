#pragma once

#include <QObject>
#include <QTcpServer>
#include <QUrlQuery>

class QTcpSocket;

// The redirect target of a sign-in in the system browser (RFC 8252): a
// listener on 127.0.0.1 at a port the system picks, which takes the one
// request the provider's redirect makes, answers the browser with a page
// saying where to go on, and hands over the request's query.
class TOAuthLoopback : public QObject
{
    Q_OBJECT
public:
    // The largest request head read; a browser's is far smaller.
    static constexpr int MaxRequestBytes = 16384;

    explicit TOAuthLoopback(QObject *parent = nullptr);

    // False, with error() saying why, when no port could be had.
    bool listen();
    QString error() const { return m_server.errorString(); }
    // "http://127.0.0.1:<port>/"
    QString redirectUri() const;

signals:
    // The redirect has come, with its parameters.
    void redirected(const QUrlQuery &query);

private:
    void take(QTcpSocket *socket);
    static void answer(QTcpSocket *socket, const QByteArray &status, const QString &text);

    QTcpServer m_server;
    bool m_done = false;
};
