#include "send/OAuthProvider.h"

#include <QUrl>

TOAuthProvider TOAuthProvider::Preset(Kind kind)
{
    TOAuthProvider provider;
    provider.kind = kind;
    switch (kind) {
    case Kind::Google:
        provider.authorizationEndpoint = QStringLiteral("https://accounts.google.com/o/oauth2/v2/auth");
        provider.tokenEndpoint = QStringLiteral("https://oauth2.googleapis.com/token");
        provider.scope = QStringLiteral("https://mail.google.com/");
        provider.extraParameters = {{QStringLiteral("access_type"), QStringLiteral("offline")},
                                    {QStringLiteral("prompt"), QStringLiteral("consent")}};
        break;
    case Kind::Microsoft:
        provider.authorizationEndpoint =
            QStringLiteral("https://login.microsoftonline.com/common/oauth2/v2.0/authorize");
        provider.tokenEndpoint = QStringLiteral("https://login.microsoftonline.com/common/oauth2/v2.0/token");
        provider.scope = QStringLiteral("https://outlook.office.com/SMTP.Send offline_access");
        break;
    case Kind::Custom:
        break;
    }
    return provider;
}

QString TOAuthProvider::KindText(Kind kind)
{
    switch (kind) {
    case Kind::Microsoft:
        return QStringLiteral("MICROSOFT");
    case Kind::Custom:
        return QStringLiteral("CUSTOM");
    case Kind::Google:
        break;
    }
    return QStringLiteral("GOOGLE");
}

std::optional<TOAuthProvider::Kind> TOAuthProvider::KindFrom(const QString &text)
{
    for (Kind kind : {Kind::Google, Kind::Microsoft, Kind::Custom}) {
        if (text.trimmed().compare(KindText(kind), Qt::CaseInsensitive) == 0)
            return kind;
    }
    return std::nullopt;
}

QString TOAuthProvider::DisplayName() const
{
    switch (kind) {
    case Kind::Google:
        return QStringLiteral("Google");
    case Kind::Microsoft:
        return QStringLiteral("Microsoft");
    case Kind::Custom:
        break;
    }
    const QString host = QUrl(tokenEndpoint.trimmed()).host();
    return host.isEmpty() ? QStringLiteral("the provider") : host;
}

QString TOAuthProvider::Incomplete() const
{
    // The client secret and the tokens cross in the clear over http: only
    // to a provider on this machine.
    const auto usable = [](const QString &endpoint) {
        const QUrl url(endpoint.trimmed(), QUrl::StrictMode);
        if (!url.isValid() || url.host().isEmpty())
            return false;
        if (url.scheme() == QLatin1String("https"))
            return true;
        const QString host = url.host().toLower();
        return url.scheme() == QLatin1String("http")
               && (host == QLatin1String("127.0.0.1") || host == QLatin1String("localhost") || host == QLatin1String("::1"));
    };
    if (clientId.trimmed().isEmpty())
        return QStringLiteral("Enter the client ID you registered with %1").arg(DisplayName());
    if (!usable(authorizationEndpoint))
        return QStringLiteral("Enter the provider's authorization endpoint (an https address)");
    if (!usable(tokenEndpoint))
        return QStringLiteral("Enter the provider's token endpoint (an https address)");
    return QString();
}

QString TOAuthProvider::AccountKey(const QString &user) const
{
    return QStringLiteral("oauth:%1@%2").arg(user.trimmed(), QUrl(tokenEndpoint.trimmed()).host().toLower());
}

QString TOAuthProvider::ClientSecretKey() const
{
    return QStringLiteral("oauth-client:%1@%2").arg(clientId.trimmed(), QUrl(tokenEndpoint.trimmed()).host().toLower());
}
