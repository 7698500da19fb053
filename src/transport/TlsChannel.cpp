#include "transport/TlsChannel.h"

#include "transport/SocketErrors.h"

#include <algorithm>
#include <cerrno>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <arpa/inet.h>
#include <sys/socket.h>

namespace {

// OpenSSL's own socket BIO writes with write(2), which raises SIGPIPE on a
// connection the peer has reset; ours sends with MSG_NOSIGNAL as the bare
// socket does, and passes "more to follow" on as MSG_MORE.
TlsChannel::Io &ioOf(BIO *bio)
{
    return *static_cast<TlsChannel::Io *>(BIO_get_data(bio));
}

int bioWrite(BIO *bio, const char *data, int length)
{
    BIO_clear_retry_flags(bio);
    const TlsChannel::Io &io = ioOf(bio);
    const ssize_t sent = ::send(io.handle, data, static_cast<size_t>(length),
                                MSG_NOSIGNAL | (io.moreToFollow ? MSG_MORE : 0));
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_write(bio);
    return static_cast<int>(sent);
}

int bioRead(BIO *bio, char *buffer, int length)
{
    BIO_clear_retry_flags(bio);
    const ssize_t received = ::recv(ioOf(bio).handle, buffer, static_cast<size_t>(length), MSG_DONTWAIT);
    if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_read(bio);
    return static_cast<int>(received);
}

long bioControl(BIO *, int command, long, void *)
{
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

BIO_METHOD *socketMethod()
{
    static BIO_METHOD *const method = [] {
        BIO_METHOD *m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "corvane socket");
        BIO_meth_set_write(m, bioWrite);
        BIO_meth_set_read(m, bioRead);
        BIO_meth_set_ctrl(m, bioControl);
        return m;
    }();
    return method;
}

QString verifyFailure(long result)
{
    if (result == X509_V_ERR_HOSTNAME_MISMATCH)
        return QStringLiteral("host name mismatch");
    if (result == X509_V_ERR_IP_ADDRESS_MISMATCH)
        return QStringLiteral("address mismatch");
    return QString::fromLatin1(X509_verify_cert_error_string(result));
}

bool isAddress(const QByteArray &name)
{
    unsigned char address[sizeof(in6_addr)];
    return inet_pton(AF_INET, name.constData(), address) == 1 || inet_pton(AF_INET6, name.constData(), address) == 1;
}

const QString PeerClosed = QStringLiteral("the server closed the connection");

} // namespace

TlsChannel::TlsChannel(int handle, const QString &peerName)
{
    m_io.handle = handle;
    SSL_CTX *context = SSL_CTX_new(TLS_client_method());
    if (!context) {
        fail(QStringLiteral("TLS is not available"));
        return;
    }
    // A context per connection: the trusted roots are read as they are now.
    SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
    SSL_CTX_set_default_verify_paths(context);
    SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
    SSL_CTX_set_options(context, SSL_OP_NO_RENEGOTIATION);
    // The send queue may hand a retried record over from a longer chunk.
    SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    m_ssl = SSL_new(context);
    SSL_CTX_free(context);
    if (!m_ssl) {
        fail(QStringLiteral("TLS is not available"));
        return;
    }
    const QByteArray name = peerName.trimmed().toUtf8();
    X509_VERIFY_PARAM *check = SSL_get0_param(m_ssl);
    X509_VERIFY_PARAM_set_hostflags(check, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    if (isAddress(name)) {
        X509_VERIFY_PARAM_set1_ip_asc(check, name.constData());
    } else {
        SSL_set_tlsext_host_name(m_ssl, name.constData());
        SSL_set1_host(m_ssl, name.constData());
    }
    BIO *bio = BIO_new(socketMethod());
    BIO_set_data(bio, &m_io);
    BIO_set_init(bio, 1);
    SSL_set_bio(m_ssl, bio, bio);
    SSL_set_connect_state(m_ssl);
}

TlsChannel::~TlsChannel()
{
    SSL_free(m_ssl);
}

QString TlsChannel::description() const
{
    return QStringLiteral("%1, %2").arg(QLatin1String(SSL_get_version(m_ssl)),
                                        QLatin1String(SSL_CIPHER_get_name(SSL_get_current_cipher(m_ssl))));
}

void TlsChannel::fail(const QString &reason)
{
    m_fatal = true;
    if (m_failure.isEmpty())
        m_failure = reason;
}

TlsChannel::Step TlsChannel::handshake()
{
    if (m_fatal)
        return Step::Failed;
    if (m_established)
        return Step::Done;
    ERR_clear_error();
    errno = 0;
    const int result = SSL_do_handshake(m_ssl);
    if (result == 1) {
        m_established = true;
        return Step::Done;
    }
    const int error = SSL_get_error(m_ssl, result);
    const int systemError = errno;
    switch (error) {
    case SSL_ERROR_WANT_READ:
        return Step::WantRead;
    case SSL_ERROR_WANT_WRITE:
        return Step::WantWrite;
    case SSL_ERROR_SYSCALL:
        fail(systemError ? SocketErrors::text(SocketErrors::fromErrno(systemError)) : PeerClosed);
        return Step::Failed;
    case SSL_ERROR_SSL: {
        const long verified = SSL_get_verify_result(m_ssl);
        const unsigned long queued = ERR_peek_last_error();
        if (verified != X509_V_OK)
            fail(verifyFailure(verified));
        else if (ERR_GET_REASON(queued) == SSL_R_UNEXPECTED_EOF_WHILE_READING)
            fail(PeerClosed);
        else if (ERR_GET_REASON(queued) == SSL_R_WRONG_VERSION_NUMBER)
            fail(QStringLiteral("the server does not speak TLS on this port"));
        else if (const char *reason = ERR_reason_error_string(queued))
            fail(QString::fromLatin1(reason));
        else
            fail(QStringLiteral("the handshake failed"));
        return Step::Failed;
    }
    default:
        fail(PeerClosed);
        return Step::Failed;
    }
}

ssize_t TlsChannel::outcome(int result, size_t done, bool reading)
{
    if (result == 1)
        return static_cast<ssize_t>(done);
    const int systemError = errno;
    switch (SSL_get_error(m_ssl, result)) {
    case SSL_ERROR_WANT_READ:
        errno = EAGAIN;
        return -1;
    case SSL_ERROR_WANT_WRITE:
        m_readWantsWrite = reading;
        errno = EAGAIN;
        return -1;
    case SSL_ERROR_ZERO_RETURN:
        return 0;
    case SSL_ERROR_SYSCALL:
        m_fatal = true;
        if (systemError == 0)
            return 0;
        errno = systemError;
        return -1;
    default:
        // A peer that closes without saying so first is a closed peer, as
        // many servers end a session after QUIT.
        if (ERR_GET_REASON(ERR_peek_last_error()) == SSL_R_UNEXPECTED_EOF_WHILE_READING) {
            m_fatal = true;
            return 0;
        }
        const char *reason = ERR_reason_error_string(ERR_peek_last_error());
        fail(reason ? QString::fromLatin1(reason) : QStringLiteral("the session failed"));
        errno = ECONNRESET;
        return -1;
    }
}

ssize_t TlsChannel::receive(int (*take)(SSL *, void *, size_t, size_t *), char *buffer, size_t length)
{
    if (m_fatal)
        return 0;
    ERR_clear_error();
    errno = 0;
    m_readWantsWrite = false;
    size_t done = 0;
    const int result = take(m_ssl, buffer, length, &done);
    return outcome(result, done, true);
}

ssize_t TlsChannel::peek(char *buffer, size_t length)
{
    return receive(SSL_peek_ex, buffer, length);
}

ssize_t TlsChannel::read(char *buffer, size_t length)
{
    return receive(SSL_read_ex, buffer, length);
}

ssize_t TlsChannel::write(const char *data, size_t length)
{
    if (m_fatal) {
        errno = ECONNRESET;
        return -1;
    }
    ERR_clear_error();
    errno = 0;
    size_t done = 0;
    const int result = SSL_write_ex(m_ssl, data, length, &done);
    return outcome(result, done, false);
}

int TlsChannel::readable()
{
    if (m_fatal)
        return 0;
    if (const int pending = SSL_pending(m_ssl); pending > 0)
        return pending;
    char byte;
    const ssize_t peeked = peek(&byte, 1);
    return peeked > 0 ? std::max(SSL_pending(m_ssl), 1) : 0;
}

void TlsChannel::close()
{
    if (m_established && !m_fatal) {
        ERR_clear_error();
        SSL_shutdown(m_ssl);
        ERR_clear_error();
    }
    m_fatal = true;
}
