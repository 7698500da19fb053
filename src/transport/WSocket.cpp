#include "transport/WSocket.h"

#include "transport/SocketErrors.h"
#include "transport/SocketException.h"
#include "transport/SocketNames.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void dropLater(QSocketNotifier *notifier)
{
    if (notifier) {
        notifier->setEnabled(false);
        notifier->deleteLater();
    }
}

// Errors that a non-blocking connect on the original platform would only
// have reported through the connect event; they are delivered that way here.
bool reportedByConnectEvent(int error)
{
    return error == ECONNREFUSED || error == ENETUNREACH || error == EHOSTUNREACH
           || error == ETIMEDOUT;
}

} // namespace

TCustomWSocket::TCustomWSocket(QObject *parent)
    : QObject(parent), m_readNotifier(nullptr, dropLater), m_writeNotifier(nullptr, dropLater)
{
    reset();
}

TCustomWSocket::~TCustomWSocket()
{
    m_destroying = true;
    CancelDnsLookup();
    if (m_state != wsClosed)
        closeSocket(true);
    dropNotifiers();
}

void TCustomWSocket::reset()
{
    m_remote = sockaddr_in{};
    m_remote.sin_family = AF_INET;
    m_portAssigned = false;
    m_addrAssigned = false;
    m_protoAssigned = true;
    m_proto = 6;
    m_protoText = QStringLiteral("tcp");
    m_datagram = false;
    LingerOnOff = wsLingerOn;
    LingerTimeout = 0;
    m_moreToFollow = false;
    m_handle = -1;
    m_tls.reset();
    m_tlsHandshaking = false;
    m_state = wsClosed;
    m_awaited = wsInvalidState;
    m_allSent = true;
    m_sendQueue.clear();
    m_line.stop();
    m_paused = false;
    m_readCount = 0;
    m_sessionClosedFired = false;
    FlushTimeout = 60;
}

// ---- properties ----

void TCustomWSocket::setProto(const QString &text)
{
    if (m_protoAssigned && text == m_protoText)
        return;
    m_protoText = text;
    if (m_state != wsClosed) {
        raiseError(QStringLiteral("Cannot change Proto if not closed"));
        return;
    }
    const auto number = SocketNames::protocolNumber(text.trimmed());
    if (!number) {
        m_protoAssigned = false;
        platformError(SocketErrors::NoData,
                      QStringLiteral("SetProto: Cannot convert protocol '%1'").arg(text));
        return;
    }
    m_proto = *number;
    m_protoAssigned = true;
    m_datagram = m_proto == IPPROTO_UDP;
}

void TCustomWSocket::setPort(const QString &text)
{
    if (m_portAssigned && text == m_portText)
        return;
    m_portText = text;
    if (m_state != wsClosed) {
        raiseError(QStringLiteral("Cannot change Port if not closed"));
        return;
    }
    const auto number = SocketNames::portNumber(text.trimmed(), m_protoText.trimmed());
    if (!number) {
        m_portAssigned = false;
        platformError(SocketErrors::NoData, QStringLiteral("SetPort: Cannot convert port '%1'").arg(text));
        return;
    }
    m_remote.sin_port = htons(*number);
    m_portAssigned = true;
}

void TCustomWSocket::setAddr(const QString &text)
{
    m_addrText = text;
    if (m_state != wsClosed) {
        raiseError(QStringLiteral("Cannot change Addr if not closed"));
        return;
    }
    m_addrAssigned = false;
    const auto address = SocketNames::hostAddress(text.trimmed());
    if (!address)
        throw ESocketException(QStringLiteral("SetAddr: Cannot convert host address '%1'").arg(text));
    m_remote.sin_addr.s_addr = *address;
    m_addrAssigned = true;
}

void TCustomWSocket::setSendFlags(TSocketSendFlags flags)
{
    if (flags != wsSendNormal && flags != wsSendUrgent) {
        raiseError(QStringLiteral("Invalid SendFlags"));
        return;
    }
    m_sendFlags = flags;
}

qint32 TCustomWSocket::RcvdCount()
{
    if (m_tls && m_handle >= 0)
        return m_tls->readable();
    int waiting = 0;
    if (m_handle < 0 || ::ioctl(m_handle, FIONREAD, &waiting) != 0) {
        platformError(SocketErrors::fromErrno(m_handle < 0 ? EBADF : errno), QStringLiteral("ioctlSocket"));
        return -1;
    }
    return waiting;
}

QString TCustomWSocket::LocalHostName()
{
    // Room for the longest name the system allows and its NUL.
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name) != 0)
        throw ESocketException(QStringLiteral("Winsock.GetHostName failed"));
    name[HOST_NAME_MAX] = '\0';
    return QString::fromLocal8Bit(name);
}

// ---- errors and states ----

void TCustomWSocket::raiseError(const QString &message)
{
    m_lastErrorMessage = message;
    if (OnError) {
        OnError(this);
        return;
    }
    throw ESocketException(message);
}

void TCustomWSocket::platformError(int error, const QString &operation)
{
    m_lastError = error;
    platformError(operation);
}

void TCustomWSocket::platformError(const QString &operation)
{
    const QString message = SocketErrors::message(m_lastError, operation);
    if (m_lastError == SocketErrors::ConnectionReset || m_lastError == SocketErrors::NotConnected)
        closeHandleNow();
    raiseError(message);
}

void TCustomWSocket::closeHandleNow()
{
    if (m_handle < 0)
        return;
    dropNotifiers();
    ::close(m_handle);
    m_handle = -1;
    changeState(wsClosed);
}

void TCustomWSocket::changeState(TSocketState state)
{
    const TSocketState old = m_state;
    m_state = state;
    if (OnChangeState)
        OnChangeState(this, old, state);
    if (!MultiThreaded && m_waitCtrl && m_awaited != wsInvalidState
        && (state == m_awaited || (m_awaited == wsConnected && state == wsClosed)))
        m_waitCtrl->Stop();
}

// ---- connecting ----

void TCustomWSocket::Connect()
{
    if (m_handle >= 0 && m_state != wsClosed)
        return raiseError(QStringLiteral("Connect: Socket already in use"));
    if (!createHandle(QStringLiteral("Connect (socket)")))
        return;
    changeState(wsOpened);
    // A connection that cannot start leaves nothing open behind it: the
    // socket is closed again, and the next Connect (or Addr) finds it so.
    try {
        if (!startConnection())
            abandonHandle();
    } catch (...) {
        abandonHandle();
        throw;
    }
}

bool TCustomWSocket::startConnection()
{
    const int handle = m_handle;
    auto option = [this](int level, int name, const void *value, socklen_t size, const char *what) {
        if (::setsockopt(m_handle, level, name, value, size) == 0)
            return true;
        platformError(SocketErrors::fromErrno(errno), QString::fromLatin1(what));
        return false;
    };
    const int on = 1;
    if (!m_datagram) {
        if (!SetLingerOption())
            return false;
        if (!option(SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on, "setsockopt(SO_KEEPALIVE)")
            || !option(SOL_SOCKET, SO_REUSEADDR, &on, sizeof on, "setsockopt(SO_REUSEADDR)"))
            return false;
        // A command is followed by waiting for its reply, so holding it back
        // to fill a packet would only add delay; bulk data is gathered into
        // full packets through MoreToFollow instead.
        ::setsockopt(m_handle, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    } else {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        if (::bind(m_handle, reinterpret_cast<sockaddr *>(&local), sizeof local) != 0) {
            platformError(SocketErrors::fromErrno(errno), QStringLiteral("Connect (bind)"));
            return false;
        }
        if (m_remote.sin_addr.s_addr == INADDR_BROADCAST
            && !option(SOL_SOCKET, SO_BROADCAST, &on, sizeof on, "setsockopt(SO_BROADCAST)"))
            return false;
    }
    adoptHandle(m_handle);

    if (m_datagram) {
        changeState(wsConnected);
        updateNotifiers();
        if (OnSessionConnected)
            OnSessionConnected(this, 0);
        return true;
    }
    if (::connect(m_handle, reinterpret_cast<const sockaddr *>(&m_remote), sizeof m_remote) != 0
        && errno != EINPROGRESS && errno != EAGAIN) {
        const int error = errno;
        if (!reportedByConnectEvent(error)) {
            platformError(SocketErrors::fromErrno(error), QStringLiteral("Connect"));
            return false;
        }
        QMetaObject::invokeMethod(
            this, [this, handle, error] {
                if (handle == m_handle && m_state == wsConnecting)
                    guarded([&] { connectEvent(SocketErrors::fromErrno(error)); });
            },
            Qt::QueuedConnection);
    }
    changeState(wsConnecting);
    updateNotifiers();
    return true;
}

void TCustomWSocket::abandonHandle()
{
    // Never connected: no shutdown to send and no session that closes.
    if (m_handle >= 0) {
        dropNotifiers();
        ::close(m_handle);
        m_handle = -1;
    }
    if (m_state != wsClosed)
        changeState(wsClosed);
    reset();
}

bool TCustomWSocket::SetLingerOption()
{
    if (m_handle < 0) {
        raiseError(QStringLiteral("Cannot set linger option at this time"));
        return false;
    }
    if (LingerOnOff == wsLingerNoSet)
        return true;
    const linger value{LingerOnOff == wsLingerOn ? 1 : 0, LingerTimeout};
    if (::setsockopt(m_handle, SOL_SOCKET, SO_LINGER, &value, sizeof value) == 0)
        return true;
    platformError(SocketErrors::fromErrno(errno), QStringLiteral("setsockopt(SO_LINGER)"));
    return false;
}

bool TCustomWSocket::createHandle(const QString &operation)
{
    const char *missing = !m_portAssigned    ? "Connect: No Port Specified"
                          : !m_addrAssigned  ? "Connect: No IP Address Specified"
                          : !m_protoAssigned ? "Connect: No Protocol Specified"
                                             : nullptr;
    if (missing) {
        raiseError(QString::fromLatin1(missing));
        return false;
    }
    const int handle =
        ::socket(AF_INET, (m_datagram ? SOCK_DGRAM : SOCK_STREAM) | SOCK_NONBLOCK | SOCK_CLOEXEC, m_proto);
    if (handle < 0) {
        platformError(SocketErrors::fromErrno(errno), operation);
        return false;
    }
    m_handle = handle;
    return true;
}

bool TCustomWSocket::Wait(qint32 timeoutSeconds, TSocketState state)
{
    m_awaited = state;
    // No state stays awaited after the call, also when it raises.
    const std::unique_ptr<TSocketState, void (*)(TSocketState *)> clearAwaited(
        &m_awaited, [](TSocketState *awaited) { *awaited = wsInvalidState; });
    if (m_state != state) {
        if (MultiThreaded)
            pumpUntil(timeoutSeconds, [&] { return m_state == state; });
        else if (!m_waitCtrl)
            platformError(SocketErrors::NoData, QStringLiteral("TWSocket.Wait"));
        else
            runWait(timeoutSeconds);
    }
    return m_state == state;
}

void TCustomWSocket::runWait(qint32 timeoutSeconds)
{
    QPointer<TWait> wait = m_waitCtrl;
    wait->Caption = QString::number(timeoutSeconds);
    wait->setVisible(true);
    wait->Execute();
    if (wait)
        wait->setVisible(false);
}

void TCustomWSocket::pumpUntil(qint32 timeoutSeconds, const std::function<bool()> &done)
{
    QDeadlineTimer deadline(qint64(timeoutSeconds) * 1000);
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(std::max<qint64>(0, deadline.remainingTime()));
    QEventLoop loop;
    while (!done() && !deadline.hasExpired())
        loop.processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
}

// ---- event delivery ----

void TCustomWSocket::adoptHandle(int handle)
{
    dropNotifiers();
    m_handle = handle;
    m_readEnabled = true;
    m_readNotifier.reset(new QSocketNotifier(handle, QSocketNotifier::Read, this));
    m_writeNotifier.reset(new QSocketNotifier(handle, QSocketNotifier::Write, this));
    m_readNotifier->setEnabled(false);
    m_writeNotifier->setEnabled(false);
    connect(m_readNotifier.get(), &QSocketNotifier::activated, this, [this] { guarded([this] { onReadable(); }); });
    connect(m_writeNotifier.get(), &QSocketNotifier::activated, this, [this] { guarded([this] { onWritable(); }); });
}

void TCustomWSocket::dropNotifiers()
{
    m_readNotifier.reset();
    m_writeNotifier.reset();
}

void TCustomWSocket::updateNotifiers()
{
    if (!m_readNotifier)
        return;
    const bool live = m_handle >= 0 && !m_paused;
    bool read = live && m_readEnabled && (m_state == wsConnected || m_state == wsListening);
    bool write = live
                 && (m_state == wsConnecting
                     || (m_state == wsConnected && !m_datagram && (!m_allSent || (m_tls && m_tls->readWantsWrite()))));
    if (m_tlsHandshaking) {
        read = live && m_tlsStep == TlsChannel::Step::WantRead;
        write = live && m_tlsStep == TlsChannel::Step::WantWrite;
    }
    if (m_readNotifier->isEnabled() != read)
        m_readNotifier->setEnabled(read);
    if (m_writeNotifier->isEnabled() != write)
        m_writeNotifier->setEnabled(write);
}

void TCustomWSocket::guarded(const std::function<void()> &handler)
{
    // Exceptions must not cross the event loop; an error inside an event is
    // kept as the socket's last error text.
    try {
        handler();
    } catch (const Exception &error) {
        m_lastErrorMessage = error.message();
        qWarning("TWSocket: %s", error.what());
    }
}

void TCustomWSocket::onReadable()
{
    if (m_tlsHandshaking)
        return tlsHandshakeStep();
    if (m_state == wsListening) {
        // Like the platform's accept notice: not repeated until Accept.
        m_readEnabled = false;
        updateNotifiers();
        if (OnSessionAvailable)
            OnSessionAvailable(this, 0);
        return;
    }
    if (m_line.reading())
        return readRoutine();
    const int waiting = bytesWaiting();
    if (waiting == 0 && !m_datagram) {
        char byte;
        const ssize_t peeked = peekBytes(&byte, 1);
        if (peeked == 0)
            closeEvent(0);
        else if (peeked < 0 && errno != EAGAIN)
            closeEvent(SocketErrors::fromErrno(errno));
        return;
    }
    const qint32 before = m_readCount;
    readRoutine();
    // Nobody took the data: as on the original platform, no further notice
    // until the next receive.
    if (m_handle >= 0 && m_readCount == before && bytesWaiting() > 0) {
        m_readEnabled = false;
        updateNotifiers();
    }
}

void TCustomWSocket::onWritable()
{
    if (m_tlsHandshaking)
        return tlsHandshakeStep();
    if (m_state != wsConnecting) {
        // A TLS read that had to send first goes on now.
        if (m_tls && m_tls->readWantsWrite())
            readRoutine();
        return writeEvent(0);
    }
    int error = 0;
    socklen_t size = sizeof error;
    ::getsockopt(m_handle, SOL_SOCKET, SO_ERROR, &error, &size);
    connectEvent(SocketErrors::fromErrno(error));
}

void TCustomWSocket::connectEvent(int error)
{
    changeState(wsConnected);
    if (OnSessionConnected)
        OnSessionConnected(this, static_cast<quint16>(error));
    if (error != 0 && m_state != wsClosed)
        Close();
    else
        updateNotifiers();
}

void TCustomWSocket::readRoutine()
{
    for (;;) {
        m_lastError = 0;
        const qint32 before = m_readCount;
        if (m_line.reading())
            lineStep();
        else if (OnDataAvailable)
            OnDataAvailable(this, 0);
        else
            return;
        if (m_lastError != 0 || m_handle < 0 || m_readCount == before || (!m_line.reading() && !OnDataAvailable)
            || bytesWaiting() <= 0)
            return;
    }
}

void TCustomWSocket::writeEvent(int error)
{
    tryToSend();
    if (m_allSent && OnDataSent)
        OnDataSent(this, static_cast<quint16>(error));
}

void TCustomWSocket::closeEvent(int error)
{
    if (m_state == wsConnecting)
        return;
    if (bytesWaiting() > 0)
        readRoutine();
    if (m_line.reading())
        endLine();
    if (!m_sessionClosedFired) {
        m_sessionClosedFired = true;
        if (OnSessionClosed)
            OnSessionClosed(this, static_cast<quint16>(error));
    }
    if (m_state != wsClosed)
        Close();
}

int TCustomWSocket::bytesWaiting()
{
    if (m_tls && m_handle >= 0)
        return m_tls->readable();
    int waiting = 0;
    if (m_handle < 0 || ::ioctl(m_handle, FIONREAD, &waiting) != 0)
        return -1;
    return waiting;
}

// ---- TLS ----

bool TCustomWSocket::StartTls(qint32 timeoutSeconds, const QString &peerName)
{
    m_tlsFailure.clear();
    if (m_state != wsConnected || m_handle < 0 || m_datagram || m_tls || !m_allSent) {
        m_tlsFailure = m_allSent ? QStringLiteral("not connected") : QStringLiteral("data is still being sent");
        return false;
    }
    if (!MultiThreaded && !m_waitCtrl) {
        raiseError(QStringLiteral("No wait object assigned"));
        return false;
    }
    // Whatever came before the handshake was not asked for: read as part of
    // the TLS stream it could pass for something the server said under TLS.
    if (bytesWaiting() != 0) {
        m_tlsFailure = QStringLiteral("the server sent data before the handshake");
        Close();
        return false;
    }
    m_tls = std::make_unique<TlsChannel>(m_handle, peerName);
    m_tlsHandshaking = true;
    tlsHandshakeStep();
    if (m_tlsHandshaking) {
        if (MultiThreaded)
            pumpUntil(timeoutSeconds, [this] { return !m_tlsHandshaking; });
        else
            runWait(timeoutSeconds);
    }
    if (Encrypted())
        return true;
    if (m_state != wsClosed)
        Close();
    return false;
}

void TCustomWSocket::tlsHandshakeStep()
{
    m_tlsStep = m_tls->handshake();
    if (m_tlsStep == TlsChannel::Step::WantRead || m_tlsStep == TlsChannel::Step::WantWrite)
        return updateNotifiers();
    m_tlsHandshaking = false;
    if (m_tlsStep == TlsChannel::Step::Failed)
        m_tlsFailure = m_tls->failure();
    m_readEnabled = true;
    updateNotifiers();
    if (m_waitCtrl && !MultiThreaded)
        m_waitCtrl->Stop();
}

ssize_t TCustomWSocket::peekBytes(char *buffer, size_t length)
{
    if (m_tls)
        return m_tls->peek(buffer, length);
    return ::recv(m_handle, buffer, length, MSG_PEEK | MSG_DONTWAIT);
}

ssize_t TCustomWSocket::takeBytes(char *buffer, size_t length)
{
    if (m_tls)
        return m_tls->read(buffer, length);
    return ::recv(m_handle, buffer, length, MSG_DONTWAIT);
}

ssize_t TCustomWSocket::sendBytes(const char *data, size_t length, int flags)
{
    if (!m_tls)
        return ::send(m_handle, data, length, flags);
    m_tls->setMoreToFollow((flags & MSG_MORE) != 0);
    return m_tls->write(data, length);
}

// ---- line reading ----

void TCustomWSocket::endLine()
{
    m_line.stop();
    if (m_waitCtrl && !MultiThreaded)
        m_waitCtrl->Stop();
}

void TCustomWSocket::lineStep()
{
    // The bytes are looked at before they are taken, and only those up to the
    // line end are taken, so everything after it stays waiting in the
    // platform's buffer for the next read.
    while (m_line.reading()) {
        if (m_handle < 0)
            return endLine();
        if (m_state != wsConnected)
            return;
        char bytes[512];
        const ssize_t peeked = peekBytes(bytes, sizeof bytes);
        if (peeked <= 0) {
            if (peeked < 0 && (errno == EAGAIN || errno == EINTR))
                return;
            if (peeked == 0 || errno == ECONNRESET) {
                endLine();
                return Close();
            }
            return platformError(SocketErrors::fromErrno(errno), QStringLiteral("ReadLine"));
        }
        const LineAssembly::Step step = m_line.take(bytes, static_cast<int>(peeked));
        takeBytes(bytes, static_cast<size_t>(step.taken));
        m_readCount += step.taken;
        if (step.overLimit && OnLineTooLong)
            OnLineTooLong(this);
        if (step.end != LineAssembly::End::None)
            return endLine();
    }
}

void TCustomWSocket::ReadLine(qint32 timeoutSeconds, QByteArray &line)
{
    if (!MultiThreaded && !m_waitCtrl) {
        raiseError(QStringLiteral("No wait object assigned"));
        return;
    }
    m_line.begin();
    m_readEnabled = true;
    updateNotifiers();
    lineStep();
    if (m_line.reading()) {
        if (MultiThreaded)
            pumpUntil(timeoutSeconds, [this] { return !m_line.reading(); });
        else
            runWait(timeoutSeconds);
    }
    line = m_line.line();
}

// ---- sending ----

qint32 TCustomWSocket::SendStr(const QByteArray &text)
{
    return Send(text.constData(), static_cast<qint32>(text.size()));
}

qint32 TCustomWSocket::Send(const char *data, qint32 length)
{
    if (m_state != wsConnected) {
        platformError(SocketErrors::NotConnected, QStringLiteral("Send"));
        return -1;
    }
    m_allSent = false;
    if (length > 0)
        m_sendQueue.append(data, length);
    if (!m_moreToFollow || m_sendQueue.queuedBytes() >= CorkBytes)
        tryToSend();
    if (m_allSent)
        postWriteEvent();
    return length;
}

void TCustomWSocket::setMoreToFollow(bool more)
{
    m_moreToFollow = more;
    if (!more && !m_allSent && m_state == wsConnected) {
        tryToSend();
        if (m_allSent)
            postWriteEvent();
    }
}

void TCustomWSocket::tryToSend()
{
    if (m_handle < 0)
        return;
    for (;;) {
        int length = 0;
        const char *bytes = m_sendQueue.next(length);
        if (length == 0)
            break;
        const int flags =
            MSG_NOSIGNAL | (m_sendFlags == wsSendUrgent ? MSG_OOB : 0) | (m_moreToFollow ? MSG_MORE : 0);
        const ssize_t sent = m_datagram
                                 ? ::sendto(m_handle, bytes, static_cast<size_t>(length), flags,
                                            reinterpret_cast<const sockaddr *>(&m_remote), sizeof m_remote)
                                 : sendBytes(bytes, static_cast<size_t>(length), flags);
        if (sent < 0) {
            const int error = SocketErrors::fromErrno(errno);
            if (error == SocketErrors::WouldBlock)
                return updateNotifiers();
            if (error == SocketErrors::InvalidArgument || error == SocketErrors::NotASocket
                || error == SocketErrors::ConnectionReset || error == SocketErrors::NotConnected)
                return Close();
            return platformError(error, QStringLiteral("TryToSend failed"));
        }
        m_sendQueue.sent(static_cast<int>(sent));
        m_sentTotal += static_cast<quint64>(sent);
        if (sent < length)
            return updateNotifiers();
    }
    m_allSent = true;
    updateNotifiers();
}

void TCustomWSocket::postWriteEvent()
{
    if (m_writeEventPosted)
        return;
    m_writeEventPosted = true;
    const int handle = m_handle;
    QMetaObject::invokeMethod(
        this, [this, handle] {
            m_writeEventPosted = false;
            if (handle == m_handle && !m_paused && m_state == wsConnected)
                guarded([this] { writeEvent(0); });
        },
        Qt::QueuedConnection);
}

// ---- closing ----

void TCustomWSocket::Close()
{
    closeSocket(true);
}

void TCustomWSocket::CloseWithoutShutdown()
{
    closeSocket(false);
}

void TCustomWSocket::Shutdown(int how)
{
    if (m_handle >= 0)
        ::shutdown(m_handle, how);
}

void TCustomWSocket::closeSocket(bool shutdownFirst)
{
    if (m_handle >= 0 && m_state != wsClosed) {
        if (m_tls && shutdownFirst)
            m_tls->close();
        if (shutdownFirst)
            ::shutdown(m_handle, SHUT_RDWR);
        dropNotifiers();
        const bool failed = ::close(m_handle) != 0;
        const int error = errno;
        m_handle = -1;
        changeState(wsClosed);
        if (!m_destroying && !m_sessionClosedFired) {
            m_sessionClosedFired = true;
            if (OnSessionClosed)
                OnSessionClosed(this, 0);
        }
        reset();
        if (failed)
            platformError(SocketErrors::fromErrno(error), QStringLiteral("Disconnect (closesocket)"));
    } else if (m_handle < 0 && m_state != wsClosed) {
        changeState(wsClosed);
        reset();
    }
}
