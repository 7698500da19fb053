#include "send/OAuthLoopback.h"

#include <QTcpSocket>
#include <QUrl>

TOAuthLoopback::TOAuthLoopback(QObject *parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { take(socket); });
        }
    });
}

bool TOAuthLoopback::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QString TOAuthLoopback::redirectUri() const
{
    return QStringLiteral("http://127.0.0.1:%1/").arg(m_server.serverPort());
}

void TOAuthLoopback::take(QTcpSocket *socket)
{
    if (!socket->canReadLine() && socket->bytesAvailable() < MaxRequestBytes)
        return;
    // "GET /?code=...&state=... HTTP/1.1": only the request line matters.
    const QList<QByteArray> requestLine = socket->readLine(MaxRequestBytes).trimmed().split(' ');
    const QUrl target = requestLine.size() == 3 ? QUrl(QString::fromLatin1(requestLine[1])) : QUrl();
    if (requestLine.value(0) != "GET" || target.path() != QLatin1String("/")) {
        // The browser also asks for an icon and the like.
        answer(socket, "404 Not Found", QStringLiteral("Not found."));
        return;
    }
    if (m_done) {
        answer(socket, "409 Conflict", QStringLiteral("This sign-in has already ended. You can close this window."));
        return;
    }
    m_done = true;
    answer(socket, "200 OK",
           QStringLiteral("The answer has gone to Corvane 98. You can close this window and go back to the program."));
    // The redirect's query is form-encoded: a "+" is a space (a plus sign
    // comes as %2B).
    emit redirected(QUrlQuery(target.query(QUrl::FullyEncoded).replace(QLatin1Char('+'), QLatin1String("%20"))));
}

void TOAuthLoopback::answer(QTcpSocket *socket, const QByteArray &status, const QString &text)
{
    // One answer per connection: what else the browser sends is not read.
    QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
    const QByteArray page = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Corvane 98</title></head>"
                            "<body><p>"
                            + text.toHtmlEscaped().toUtf8() + "</p></body></html>";
    socket->write("HTTP/1.1 " + status + "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: "
                  + QByteArray::number(page.size()) + "\r\nConnection: close\r\n\r\n" + page);
    socket->disconnectFromHost();
}
