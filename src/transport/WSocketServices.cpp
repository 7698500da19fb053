// The parts of the socket that the SMTP client does not use: listening and
// accepting, plain reads, the asynchronous name lookup, pausing and flushing.
#include "transport/WSocket.h"

#include "transport/SocketErrors.h"
#include "transport/SocketException.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

void TCustomWSocket::Listen()
{
    if (!createHandle(QStringLiteral("socket")))
        return;
    const int handle = m_handle;
    const int on = 1;
    ::setsockopt(handle, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(handle, reinterpret_cast<const sockaddr *>(&m_remote), sizeof m_remote) != 0)
        return platformError(SocketErrors::fromErrno(errno), QStringLiteral("bind"));
    adoptHandle(handle);
    changeState(wsBound);
    if (m_datagram) {
        changeState(wsListening);
        changeState(wsConnected);
    } else {
        if (::listen(handle, 5) != 0)
            return platformError(SocketErrors::fromErrno(errno), QStringLiteral("listen"));
        changeState(wsListening);
    }
    updateNotifiers();
}

int TCustomWSocket::Accept()
{
    if (m_state != wsListening) {
        platformError(SocketErrors::InvalidArgument, QStringLiteral("not a listening socket"));
        return -1;
    }
    const int handle = ::accept4(m_handle, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    m_readEnabled = true;
    updateNotifiers();
    if (handle < 0)
        platformError(SocketErrors::fromErrno(errno), QStringLiteral("Accept"));
    return handle;
}

void TCustomWSocket::Dup(int handle)
{
    if (handle < 0)
        return platformError(SocketErrors::NotASocket, QStringLiteral("Dup"));
    if (m_handle >= 0 && m_state != wsClosed)
        Close();
    adoptHandle(handle);
    changeState(wsConnected);
    updateNotifiers();
}

qint32 TCustomWSocket::Receive(char *buffer, qint32 length)
{
    QString ignoredAddr;
    quint16 ignoredPort = 0;
    return ReceiveFrom(buffer, length, ignoredAddr, ignoredPort);
}

qint32 TCustomWSocket::ReceiveFrom(char *buffer, qint32 length, QString &fromAddr, quint16 &fromPort)
{
    if (m_handle < 0) {
        m_lastError = SocketErrors::NotConnected;
        return -1;
    }
    sockaddr_in from{};
    socklen_t size = sizeof from;
    const size_t room = static_cast<size_t>(std::max(length, 0));
    ssize_t received;
    if (m_tls) {
        ::getpeername(m_handle, reinterpret_cast<sockaddr *>(&from), &size);
        received = m_tls->read(buffer, room);
    } else {
        received = ::recvfrom(m_handle, buffer, room, 0, reinterpret_cast<sockaddr *>(&from), &size);
    }
    m_readEnabled = true;
    updateNotifiers();
    if (received < 0) {
        m_lastError = SocketErrors::fromErrno(errno);
        return -1;
    }
    m_readCount += static_cast<qint32>(received);
    char text[INET_ADDRSTRLEN] = {};
    if (size >= sizeof from && inet_ntop(AF_INET, &from.sin_addr, text, sizeof text))
        fromAddr = QString::fromLatin1(text);
    fromPort = ntohs(from.sin_port);
    return static_cast<qint32>(received);
}

void TCustomWSocket::DnsLookup(const QString &hostName)
{
    const QString host = hostName.trimmed();
    if (host.isEmpty())
        return raiseError(QStringLiteral("DNS lookup: invalid host name."));
    CancelDnsLookup();
    const quint64 lookupId = ++m_dnsLookupId;
    m_dnsLookupRunning = true;
    QPointer<TCustomWSocket> self(this);
    try {
        // getaddrinfo blocks; it runs on its own thread and the answer comes
        // back through this thread's event loop.
        std::thread([self, lookupId, name = host.toLatin1()] {
            addrinfo hints{};
            hints.ai_family = AF_INET;
            hints.ai_socktype = SOCK_STREAM;
            addrinfo *result = nullptr;
            const int status = getaddrinfo(name.constData(), nullptr, &hints, &result);
            QStringList addresses;
            for (addrinfo *entry = status == 0 ? result : nullptr; entry; entry = entry->ai_next) {
                char text[INET_ADDRSTRLEN] = {};
                inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in *>(entry->ai_addr)->sin_addr, text,
                          sizeof text);
                if (!addresses.contains(QLatin1String(text)))
                    addresses.append(QString::fromLatin1(text));
            }
            if (result)
                freeaddrinfo(result);
            const int error = SocketErrors::fromLookup(status);
            if (QCoreApplication *app = QCoreApplication::instance())
                QMetaObject::invokeMethod(
                    app, [self, lookupId, error, addresses] {
                        if (self)
                            self->dnsLookupDone(lookupId, error, addresses);
                    },
                    Qt::QueuedConnection);
        }).detach();
    } catch (const std::system_error &error) {
        m_dnsLookupRunning = false;
        throw ESocketException(
            QStringLiteral("%1: can't start DNS lookup, error #%2").arg(host).arg(error.code().value()));
    }
}

void TCustomWSocket::CancelDnsLookup()
{
    if (m_dnsLookupRunning)
        ++m_dnsLookupId;
    m_dnsLookupRunning = false;
}

void TCustomWSocket::dnsLookupDone(quint64 lookupId, int error, const QStringList &addresses)
{
    if (!m_dnsLookupRunning || lookupId != m_dnsLookupId)
        return;
    m_dnsLookupRunning = false;
    m_dnsResultList = addresses;
    if (OnDnsLookupDone)
        OnDnsLookupDone(this, static_cast<quint16>(error));
}

void TCustomWSocket::Pause()
{
    m_paused = true;
    updateNotifiers();
}

void TCustomWSocket::Resume()
{
    m_paused = false;
    updateNotifiers();
}

void TCustomWSocket::Flush()
{
    const qint64 deadline = qint64(FlushTimeout) * 1000;
    QElapsedTimer clock;
    clock.start();
    while (m_handle >= 0 && m_state == wsConnected && !m_allSent && !clock.hasExpired(deadline)) {
        tryToSend();
        pollfd writable{m_handle, POLLOUT, 0};
        if (!m_allSent && m_handle >= 0)
            ::poll(&writable, 1, static_cast<int>(std::max<qint64>(1, deadline - clock.elapsed())));
    }
}

namespace {

// The dotted address of one end of a connected handle (getpeername or
// getsockname); empty when it cannot be read.
QString dottedEnd(int handle, int (*query)(int, sockaddr *, socklen_t *))
{
    sockaddr_in end{};
    socklen_t size = sizeof end;
    char text[INET_ADDRSTRLEN] = {};
    if (handle < 0 || query(handle, reinterpret_cast<sockaddr *>(&end), &size) != 0
        || !inet_ntop(AF_INET, &end.sin_addr, text, sizeof text))
        return QString();
    return QString::fromLatin1(text);
}

} // namespace

QString TCustomWSocket::GetPeerAddr() const
{
    const QString peer = m_state == wsConnected ? dottedEnd(m_handle, ::getpeername) : QString();
    return peer.isEmpty() ? QStringLiteral("error") : peer;
}

QString TCustomWSocket::GetLocalAddr() const
{
    return m_state == wsConnected ? dottedEnd(m_handle, ::getsockname) : QString();
}

QString TCustomWSocket::GetXPort() const
{
    sockaddr_in local{};
    socklen_t size = sizeof local;
    const bool bound = m_state == wsBound || m_state == wsConnected || m_state == wsListening;
    if (!bound || m_handle < 0 || ::getsockname(m_handle, reinterpret_cast<sockaddr *>(&local), &size) != 0)
        return QStringLiteral("error");
    return QString::number(ntohs(local.sin_port));
}
