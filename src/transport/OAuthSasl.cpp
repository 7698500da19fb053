#include "transport/OAuthSasl.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace OAuthSasl {

std::optional<Mechanism> choose(const QStringList &offered)
{
    if (offered.contains(QStringLiteral("XOAUTH2")))
        return Mechanism::XOAuth2;
    if (offered.contains(QStringLiteral("OAUTHBEARER")))
        return Mechanism::OAuthBearer;
    return std::nullopt;
}

QString name(Mechanism mechanism)
{
    return mechanism == Mechanism::XOAuth2 ? QStringLiteral("XOAUTH2") : QStringLiteral("OAUTHBEARER");
}

QByteArray initialResponse(Mechanism mechanism, const QString &user, const QString &token)
{
    const QByteArray bearer = "auth=Bearer " + token.toUtf8() + "\x01\x01";
    if (mechanism == Mechanism::XOAuth2)
        return ("user=" + user.toUtf8() + '\x01' + bearer).toBase64();
    // The GS2 header names the user as a saslname, where "," and "=" are escaped.
    QByteArray saslName = user.toUtf8();
    saslName.replace('=', "=3D").replace(',', "=2C");
    return ("n,a=" + saslName + ",\x01" + bearer).toBase64();
}

QByteArray challengeAnswer(Mechanism mechanism)
{
    return mechanism == Mechanism::XOAuth2 ? QByteArray() : QByteArray("\x01").toBase64();
}

ErrorChallenge ErrorChallenge::decode(const QString &base64)
{
    const QJsonObject json =
        QJsonDocument::fromJson(QByteArray::fromBase64(base64.trimmed().toLatin1())).object();
    ErrorChallenge challenge;
    // Some servers send the status as a number.
    const QJsonValue status = json.value(QStringLiteral("status"));
    challenge.status = status.isDouble() ? QString::number(status.toInt()) : status.toString();
    challenge.scope = json.value(QStringLiteral("scope")).toString();
    return challenge;
}

bool ErrorChallenge::stale() const
{
    return status.isEmpty() || status == QLatin1String("401") || status == QLatin1String("invalid_token");
}

QString ErrorChallenge::describe() const
{
    QStringList parts;
    if (!status.isEmpty())
        parts << QStringLiteral("status ") + status;
    if (!scope.isEmpty())
        parts << QStringLiteral("scope ") + scope;
    return parts.join(QStringLiteral(", "));
}

}
