#include "transport/SocketNames.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <strings.h>
#include <sys/socket.h>

namespace SocketNames {

namespace {

bool startsWithDigit(const QString &text)
{
    return !text.isEmpty() && text.at(0).unicode() >= '0' && text.at(0).unicode() <= '9';
}

} // namespace

int leadingNumber(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char(' '))
        ++i;
    qint64 value = 0;
    for (; i < text.size() && text.at(i).unicode() >= '0' && text.at(i).unicode() <= '9'; ++i)
        value = std::min<qint64>(value * 10 + (text.at(i).unicode() - '0'), 0x7fffffff);
    return static_cast<int>(value);
}

std::optional<int> protocolNumber(const QString &text)
{
    if (startsWithDigit(text))
        return leadingNumber(text);
    protoent entry{};
    protoent *found = nullptr;
    char work[1024];
    if (getprotobyname_r(text.toLatin1().constData(), &entry, work, sizeof work, &found) != 0 || !found)
        return std::nullopt;
    return found->p_proto;
}

std::optional<quint16> portNumber(const QString &text, const QString &protocolName)
{
    if (startsWithDigit(text))
        return static_cast<quint16>(leadingNumber(text));
    servent entry{};
    servent *found = nullptr;
    char work[1024];
    const QByteArray name = text.toLatin1();
    const QByteArray protocol = protocolName.toLatin1();
    const char *const wanted = protocol.isEmpty() ? nullptr : protocol.constData();
    if (getservbyname_r(name.constData(), wanted, &entry, work, sizeof work, &found) == 0 && found)
        return ntohs(static_cast<quint16>(found->s_port));
    // The service database here knows "smtp" but not "SMTP", which settings
    // made on other systems hold: names and aliases match whatever their case.
    std::optional<quint16> port;
    setservent(0);
    while (!port && getservent_r(&entry, work, sizeof work, &found) == 0 && found) {
        if (wanted && strcasecmp(found->s_proto, wanted) != 0)
            continue;
        bool same = strcasecmp(found->s_name, name.constData()) == 0;
        for (char **alias = found->s_aliases; !same && alias && *alias; ++alias)
            same = strcasecmp(*alias, name.constData()) == 0;
        if (same)
            port = ntohs(static_cast<quint16>(found->s_port));
    }
    endservent();
    return port;
}

std::optional<in_addr_t> hostAddress(const QString &text)
{
    const QByteArray name = text.toLatin1();
    in_addr address{};
    if (inet_pton(AF_INET, name.constData(), &address) == 1)
        return address.s_addr;
    if (name.isEmpty())
        return std::nullopt;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *result = nullptr;
    if (getaddrinfo(name.constData(), nullptr, &hints, &result) != 0 || !result)
        return std::nullopt;
    const in_addr_t first = reinterpret_cast<sockaddr_in *>(result->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(result);
    return first;
}

} // namespace SocketNames
