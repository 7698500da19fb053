#pragma once

#include <QString>
#include <sys/types.h>

struct bio_st;
struct ssl_st;

// TLS as a client over a connected non-blocking socket, with OpenSSL. Its
// reads and writes answer as recv and send do on the bare socket: a number of
// bytes, 0 when the peer has closed, or -1 with errno set (EAGAIN: go on when
// the socket is ready again; readWantsWrite tells for which).
//
// The server's certificate must chain to the system's trusted roots
// (OpenSSL's default paths, so SSL_CERT_FILE and SSL_CERT_DIR apply) and name
// the host the user configured, as a host name or as an address.
class TlsChannel
{
public:
    enum class Step { Done, WantRead, WantWrite, Failed };

    TlsChannel(int handle, const QString &peerName);
    ~TlsChannel();
    TlsChannel(const TlsChannel &) = delete;
    TlsChannel &operator=(const TlsChannel &) = delete;

    // Drives the handshake as far as the socket allows.
    Step handshake();
    bool established() const { return m_established; }
    // Why the handshake or the session failed, in words for a user:
    // "certificate has expired", "host name mismatch", ...
    QString failure() const { return m_failure; }
    // The protocol and cipher of an established session ("TLSv1.3, TLS_AES_256_GCM_SHA384").
    QString description() const;

    ssize_t peek(char *buffer, size_t length);
    ssize_t read(char *buffer, size_t length);
    ssize_t write(const char *data, size_t length);
    // Decrypted bytes that can be read at once (with FIONREAD's meaning for
    // the bare socket): reads what the socket holds into the session first.
    // 0 when none, also when the session has ended.
    int readable();
    // The last read could not go on until the socket takes data.
    bool readWantsWrite() const { return m_readWantsWrite; }
    // While set, records are handed to the socket as "more to follow".
    void setMoreToFollow(bool more) { m_io.moreToFollow = more; }
    // Tells the peer the session ends (close_notify), without waiting.
    void close();

    // The socket the session runs over, as OpenSSL's BIO sees it.
    struct Io
    {
        int handle = -1;
        bool moreToFollow = false;
    };

private:
    ssize_t outcome(int result, size_t done, bool reading);
    // A read or a peek, as take does it.
    ssize_t receive(int (*take)(ssl_st *, void *, size_t, size_t *), char *buffer, size_t length);
    void fail(const QString &reason);

    Io m_io;
    ssl_st *m_ssl = nullptr;
    bool m_established = false;
    bool m_fatal = false;
    bool m_readWantsWrite = false;
    QString m_failure;
};
