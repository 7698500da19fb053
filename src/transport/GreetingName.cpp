#include "transport/GreetingName.h"

#include "transport/WSocket.h"

#include <QStringList>
#include <algorithm>
#include <arpa/inet.h>
#include <cstring>

namespace GreetingName {

namespace {

constexpr int MaxLabel = 63;
constexpr int MaxName = 253;

bool isLetterOrDigit(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

bool isLabel(const QString &label)
{
    if (label.isEmpty() || label.size() > MaxLabel || label.front() == u'-' || label.back() == u'-')
        return false;
    return std::all_of(label.cbegin(), label.cend(), [](QChar c) { return isLetterOrDigit(c) || c == u'-'; });
}

QString dottedLiteral(const in_addr &address)
{
    char dotted[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, dotted, sizeof dotted);
    return QStringLiteral("[%1]").arg(QLatin1String(dotted));
}

QString withoutTrailingDot(const QString &name)
{
    return name.endsWith(u'.') ? name.chopped(1) : name;
}

} // namespace

bool isFullyQualified(const QString &name)
{
    const QString bare = withoutTrailingDot(name);
    if (bare.size() > MaxName)
        return false;
    const QStringList labels = bare.split(u'.');
    if (labels.size() < 2 || !std::all_of(labels.cbegin(), labels.cend(), isLabel))
        return false;
    const QString top = labels.back().toLower();
    // An all-digit last label makes it an address, not a name.
    const bool numeric = std::all_of(top.cbegin(), top.cend(), [](QChar c) { return c.isDigit(); });
    return !numeric && top != u"localdomain" && top != u"localhost";
}

QString addressLiteral(const QString &address)
{
    const QByteArray text = address.trimmed().toLatin1();
    in_addr v4{};
    if (inet_pton(AF_INET, text.constData(), &v4) == 1)
        return dottedLiteral(v4);
    in6_addr v6{};
    if (inet_pton(AF_INET6, text.constData(), &v6) != 1)
        return QString();
    if (IN6_IS_ADDR_V4MAPPED(&v6)) {
        std::memcpy(&v4, v6.s6_addr + 12, sizeof v4);
        return dottedLiteral(v4);
    }
    char full[INET6_ADDRSTRLEN] = {};
    inet_ntop(AF_INET6, &v6, full, sizeof full);
    return QStringLiteral("[IPv6:%1]").arg(QLatin1String(full));
}

QString choose(const QString &hostName, const QString &localAddress)
{
    if (isFullyQualified(hostName))
        return withoutTrailingDot(hostName);
    const QString literal = addressLiteral(localAddress);
    // Without a connection there is no address to give: the name is all
    // there is.
    return literal.isEmpty() ? hostName : literal;
}

QString forConnection(const QString &localAddress)
{
    return choose(TWSocket::LocalHostName(), localAddress);
}

} // namespace GreetingName
