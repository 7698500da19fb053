#include "support/ScriptedSmtpServer.h"

#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <csignal>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

struct ScriptedSmtpServer::Client
{
    int fd = -1;
    QByteArray input;
    SSL *ssl = nullptr;
    bool inData = false;
    bool reading = true;
    QByteArray message;
    // The recipients of the transaction under way.
    QList<QByteArray> recipients;
};

namespace {

const QHash<QByteArray, QByteArray> &defaultReplies()
{
    static const QHash<QByteArray, QByteArray> replies = {
        {"CONNECT", "220 test.local ready"}, {"HELO", "250 test.local"},   {"EHLO", "250 test.local"},
        {"MAIL", "250 sender ok"},           {"RCPT", "250 recipient ok"}, {"DATA", "354 go ahead"},
        {".", "250 queued"},                 {"RSET", "250 reset"},        {"QUIT", "221 bye"},
        {"NOOP", "250 ok"},                  {"STARTTLS", "220 go ahead"},
    };
    return replies;
}

// The address of "RCPT TO:<address>".
QByteArray recipientOf(const QByteArray &line)
{
    const qsizetype open = line.indexOf('<');
    const qsizetype close = line.lastIndexOf('>');
    return open >= 0 && close > open ? line.mid(open + 1, close - open - 1) : QByteArray();
}

QByteArray withLineEnd(QByteArray text)
{
    if (!text.endsWith('\n'))
        text += "\r\n";
    return text;
}

} // namespace

ScriptedSmtpServer::ScriptedSmtpServer()
{
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(m_listen, 8) != 0
        || ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&address), &size) != 0
        || ::pipe2(m_wake, O_CLOEXEC) != 0)
        throw std::runtime_error("ScriptedSmtpServer: cannot listen");
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { run(); });
}

ScriptedSmtpServer::~ScriptedSmtpServer()
{
    const char stop = 'x';
    [[maybe_unused]] const ssize_t written = ::write(m_wake[1], &stop, 1);
    m_thread.join();
    ::close(m_listen);
    ::close(m_wake[0]);
    ::close(m_wake[1]);
    SSL_CTX_free(static_cast<SSL_CTX *>(m_tlsContext));
}

void ScriptedSmtpServer::setTls(const QString &certificateFile, const QString &keyFile, bool implicit)
{
    SSL_CTX *context = SSL_CTX_new(TLS_server_method());
    if (!context || SSL_CTX_use_certificate_chain_file(context, certificateFile.toLocal8Bit().constData()) != 1
        || SSL_CTX_use_PrivateKey_file(context, keyFile.toLocal8Bit().constData(), SSL_FILETYPE_PEM) != 1)
        throw std::runtime_error("ScriptedSmtpServer: cannot load the certificate");
    std::lock_guard lock(m_mutex);
    SSL_CTX_free(static_cast<SSL_CTX *>(m_tlsContext));
    m_tlsContext = context;
    m_implicitTls = implicit;
}

void ScriptedSmtpServer::startTls(Client &client)
{
    {
        // The session holds on to its context from here on.
        std::lock_guard lock(m_mutex);
        client.ssl = SSL_new(static_cast<SSL_CTX *>(m_tlsContext));
    }
    SSL_set_fd(client.ssl, client.fd);
    const bool done = SSL_accept(client.ssl) == 1;
    {
        std::lock_guard lock(m_mutex);
        m_commands.append(done ? "<TLS>" : "<TLS failed>");
    }
    if (!done)
        closeClient(client);
}

void ScriptedSmtpServer::closeClient(Client &client)
{
    if (client.ssl) {
        if (SSL_is_init_finished(client.ssl))
            SSL_shutdown(client.ssl);
        SSL_free(client.ssl);
        client.ssl = nullptr;
    }
    if (client.fd >= 0)
        ::close(client.fd);
    client.fd = -1;
}

ssize_t ScriptedSmtpServer::receive(Client &client, char *buffer, size_t length)
{
    if (!client.ssl)
        return ::recv(client.fd, buffer, length, 0);
    const int read = SSL_read(client.ssl, buffer, static_cast<int>(length));
    return read > 0 ? read : (SSL_get_error(client.ssl, read) == SSL_ERROR_ZERO_RETURN ? 0 : -1);
}

quint16 ScriptedSmtpServer::unusedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

bool ScriptedSmtpServer::listening(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

void ScriptedSmtpServer::script(const QByteArray &verb, const QList<Reply> &replies)
{
    std::lock_guard lock(m_mutex);
    m_script[verb] = replies;
}

void ScriptedSmtpServer::refuseFirstTry(const QByteArray &verb, const QByteArray &address, const Reply &reply)
{
    std::lock_guard lock(m_mutex);
    m_firstTries[verb].insert(address, reply);
}

void ScriptedSmtpServer::setClock(std::function<qint64()> clock)
{
    std::lock_guard lock(m_mutex);
    m_clock = std::move(clock);
}

QList<qint64> ScriptedSmtpServer::messageTimes() const
{
    std::lock_guard lock(m_mutex);
    return m_messageTimes;
}

void ScriptedSmtpServer::setCapture(bool capture)
{
    std::lock_guard lock(m_mutex);
    m_capture = capture;
}

QByteArray ScriptedSmtpServer::received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

QList<QByteArray> ScriptedSmtpServer::commands() const
{
    std::lock_guard lock(m_mutex);
    return m_commands;
}

QList<QByteArray> ScriptedSmtpServer::messages() const
{
    std::lock_guard lock(m_mutex);
    return m_messages;
}

int ScriptedSmtpServer::messageCount() const
{
    std::lock_guard lock(m_mutex);
    return m_messageCount;
}

int ScriptedSmtpServer::connectionCount() const
{
    std::lock_guard lock(m_mutex);
    return m_connections;
}

bool ScriptedSmtpServer::pause(int ms)
{
    if (ms <= 0)
        return true;
    pollfd wake{m_wake[0], POLLIN, 0};
    return ::poll(&wake, 1, ms) == 0;
}

bool ScriptedSmtpServer::sendAll(Client &client, const char *data, qsizetype length)
{
    while (length > 0) {
        const ssize_t sent = client.ssl ? SSL_write(client.ssl, data, static_cast<int>(length))
                                        : ::send(client.fd, data, static_cast<size_t>(length), MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data += sent;
        length -= sent;
    }
    return true;
}

void ScriptedSmtpServer::run()
{
    // OpenSSL writes to a client that may be gone with write(2): on this
    // thread that gives EPIPE rather than a signal for the whole program.
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    Client client;
    for (;;) {
        pollfd fds[2] = {{m_wake[0], POLLIN, 0}, {client.fd >= 0 ? client.fd : m_listen, POLLIN, 0}};
        if (client.fd >= 0 && !client.reading)
            fds[1].fd = -1;
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        if (fds[0].revents)
            break;
        if (!(fds[1].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        if (client.fd < 0) {
            client = Client{};
            client.fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (client.fd < 0)
                continue;
            bool implicit;
            {
                std::lock_guard lock(m_mutex);
                ++m_connections;
                implicit = m_tlsContext && m_implicitTls;
            }
            if (implicit)
                startTls(client);
            if (client.fd < 0)
                continue;
            if (!respond(client, "CONNECT"))
                break;
        } else if (!serve(client)) {
            break;
        }
    }
    closeClient(client);
}

// Reads what the client sent and answers every complete line; false when the
// server is being stopped.
bool ScriptedSmtpServer::serve(Client &client)
{
    char chunk[65536];
    const ssize_t count = receive(client, chunk, sizeof chunk);
    if (count <= 0) {
        closeClient(client);
        return true;
    }
    {
        std::lock_guard lock(m_mutex);
        if (m_capture)
            m_received.append(chunk, count);
    }
    client.input.append(chunk, count);
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = client.input.indexOf('\n', start);
        if (end < 0 || client.fd < 0 || !client.reading)
            break;
        QByteArray line = client.input.mid(start, end - start);
        start = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        if (client.inData) {
            if (line != ".") {
                std::lock_guard lock(m_mutex);
                if (m_capture)
                    client.message += (line.startsWith('.') ? line.mid(1) : line) + "\r\n";
                continue;
            }
            client.inData = false;
            {
                std::lock_guard lock(m_mutex);
                ++m_messageCount;
                if (m_capture)
                    m_messages.append(client.message);
                if (m_clock)
                    m_messageTimes.append(m_clock());
            }
            client.message.clear();
            if (!respond(client, "."))
                return false;
            client.recipients.clear();
            continue;
        }
        qsizetype letters = 0;
        while (letters < line.size() && std::isalpha(static_cast<unsigned char>(line.at(letters))))
            ++letters;
        const QByteArray verb = line.left(letters).toUpper();
        {
            std::lock_guard lock(m_mutex);
            if (m_capture)
                m_commands.append(line);
        }
        if (verb == "MAIL" || verb == "RSET")
            client.recipients.clear();
        else if (verb == "RCPT")
            client.recipients.append(recipientOf(line));
        if (!respond(client, verb))
            return false;
    }
    client.input.remove(0, start);
    return true;
}

bool ScriptedSmtpServer::takeFirstTry(const Client &client, const QByteArray &verb, Reply &reply)
{
    auto pending = m_firstTries.find(verb);
    if (pending == m_firstTries.end())
        return false;
    // A RCPT names its own address, the last one taken; the end of a
    // message goes to every recipient of the transaction.
    const QList<QByteArray> addresses = verb == "RCPT" ? client.recipients.mid(client.recipients.size() - 1)
                                                       : client.recipients;
    for (const QByteArray &address : addresses) {
        auto found = pending->find(address);
        if (found != pending->end()) {
            reply = found.value();
            pending->erase(found);
            return true;
        }
    }
    return false;
}

bool ScriptedSmtpServer::respond(Client &client, const QByteArray &verb)
{
    Reply reply;
    {
        std::lock_guard lock(m_mutex);
        if (!takeFirstTry(client, verb, reply)) {
            auto scripted = m_script.find(verb);
            if (scripted != m_script.end() && !scripted->isEmpty())
                reply = scripted->size() > 1 ? scripted->takeFirst() : scripted->first();
            else
                reply.text = defaultReplies().value(verb, "500 command unrecognized");
        }
    }
    if (!pause(reply.delayMs))
        return false;
    if (reply.drop) {
        closeClient(client);
        return true;
    }
    const QByteArray text = withLineEnd(reply.text);
    if (reply.splitAt >= 0 && reply.splitAt < text.size()) {
        sendAll(client, text.constData(), reply.splitAt);
        if (!pause(reply.splitPauseMs))
            return false;
        sendAll(client, text.constData() + reply.splitAt, text.size() - reply.splitAt);
    } else {
        sendAll(client, text.constData(), text.size());
    }
    if (reply.repeatMs > 0) {
        while (sendAll(client, text.constData(), text.size())) {
            if (!pause(reply.repeatMs))
                return false;
        }
        closeClient(client);
        return true;
    }
    if (verb == "DATA" && text.startsWith("354"))
        client.inData = true;
    if (reply.stopReading)
        client.reading = false;
    if (reply.closeAfter) {
        closeClient(client);
        return true;
    }
    if (verb == "QUIT" && text.startsWith("221"))
        closeClient(client);
    bool tls;
    {
        std::lock_guard lock(m_mutex);
        tls = m_tlsContext && !m_implicitTls;
    }
    if (tls && verb == "STARTTLS" && text.startsWith("220") && !client.ssl && client.reading)
        startTls(client);
    return true;
}
