#include "send/MailerSettings.h"

#include "platform/ProfileIni.h"

TMailerSettings TMailerSettings::DialogDefaults()
{
    TMailerSettings defaults;
    defaults.FSmtpServer.clear();
    defaults.FSmtpPort = QStringLiteral("smtp");
    defaults.FUserName.clear();
    defaults.FUserEmail.clear();
    return defaults;
}

TMailerSettings TMailerSettings::AgentDefaults()
{
    TMailerSettings defaults;
    defaults.FSmtpPort = QStringLiteral("SMTP");
    return defaults;
}

QString TMailerSettings::SmtpServer() const
{
    return FSmtpServer.trimmed().compare(ServerPlaceholder, Qt::CaseInsensitive) == 0 ? QString() : FSmtpServer;
}

std::optional<TSmtpSecurity> TMailerSettings::SmtpSecurity() const
{
    for (TSmtpSecurity security : {TSmtpSecurity::None, TSmtpSecurity::StartTls, TSmtpSecurity::Ssl}) {
        if (FSmtpSecurity.trimmed().compare(SecurityText(security), Qt::CaseInsensitive) == 0)
            return security;
    }
    if (FSmtpSecurity.trimmed().isEmpty())
        return TSmtpSecurity::None;
    return std::nullopt;
}

QString TMailerSettings::SecurityText(TSmtpSecurity security)
{
    switch (security) {
    case TSmtpSecurity::StartTls:
        return QStringLiteral("STARTTLS");
    case TSmtpSecurity::Ssl:
        return QStringLiteral("SSL");
    case TSmtpSecurity::None:
        break;
    }
    return QStringLiteral("NONE");
}

std::optional<TOAuthProvider> TMailerSettings::OAuthProvider() const
{
    const std::optional<TOAuthProvider::Kind> kind = TOAuthProvider::KindFrom(FOAuthProvider);
    if (!kind)
        return std::nullopt;
    TOAuthProvider provider = TOAuthProvider::Preset(*kind);
    if (*kind == TOAuthProvider::Kind::Custom) {
        provider.authorizationEndpoint = FOAuthAuthorizationUrl.trimmed();
        provider.tokenEndpoint = FOAuthTokenUrl.trimmed();
        provider.scope = FOAuthScope.trimmed();
    }
    provider.clientId = FOAuthClientId.trimmed();
    return provider;
}

void TMailerSettings::LoadSettings(const QString &iniFileName)
{
    ReadSettings(iniFileName, TMailerSettings());
}

void TMailerSettings::ReadSettings(const QString &iniFileName, const TMailerSettings &defaults)
{
    const ProfileIni ini(iniFileName);
    FSmtpServer = ini.readString("SMTP", "SERVER", defaults.FSmtpServer);
    FSmtpPort = ini.readString("SMTP", "PORT", defaults.FSmtpPort);
    FSmtpSecurity = ini.readString("SMTP", "SECURITY", defaults.FSmtpSecurity);
    FSmtpUser = ini.readString("SMTP", "USER", defaults.FSmtpUser);
    FSmtpLogin = ini.readString("SMTP", "LOGIN", defaults.FSmtpLogin);
    FOAuthProvider = ini.readString("OAUTH", "PROVIDER", defaults.FOAuthProvider);
    FOAuthAuthorizationUrl = ini.readString("OAUTH", "AUTHURL", defaults.FOAuthAuthorizationUrl);
    FOAuthTokenUrl = ini.readString("OAUTH", "TOKENURL", defaults.FOAuthTokenUrl);
    FOAuthScope = ini.readString("OAUTH", "SCOPE", defaults.FOAuthScope);
    FOAuthClientId = ini.readString("OAUTH", "CLIENTID", defaults.FOAuthClientId);
    FRateCount = ini.readInteger("SMTP", "RATECOUNT", defaults.FRateCount);
    FRateMinutes = ini.readInteger("SMTP", "RATEMINUTES", defaults.FRateMinutes);
    FPipelining = ini.readBool("SMTP", "PIPELINING", defaults.FPipelining);
    FUserName = ini.readString("PERSONAL", "NAME", defaults.FUserName);
    FUserEmail = ini.readString("PERSONAL", "EMAIL", defaults.FUserEmail);
    FUnsubscribeMailto = ini.readString("UNSUBSCRIBE", "MAILTO", defaults.FUnsubscribeMailto);
    FUnsubscribeUrl = ini.readString("UNSUBSCRIBE", "URL", defaults.FUnsubscribeUrl);
    FDialModem = ini.readBool("DIALUP", "MODEM", defaults.FDialModem);
    FDialAutoConnect = ini.readBool("DIALUP", "AUTOC", defaults.FDialAutoConnect);
    FDialDisconnect = ini.readBool("DIALUP", "DISCO", defaults.FDialDisconnect);
    FDialDevice = ini.readString("DIALUP", "DEVICE", defaults.FDialDevice);
    FDialLan = ini.readBool("DIALUP", "LAN", defaults.FDialLan);
}

void TMailerSettings::WriteSettings(const QString &iniFileName) const
{
    ProfileIni ini(iniFileName);
    ini.writeString("SMTP", "SERVER", FSmtpServer);
    ini.writeString("SMTP", "PORT", FSmtpPort);
    ini.writeString("SMTP", "SECURITY", FSmtpSecurity);
    ini.writeString("SMTP", "USER", FSmtpUser);
    ini.writeString("SMTP", "LOGIN", FSmtpLogin);
    ini.writeInteger("SMTP", "RATECOUNT", FRateCount);
    ini.writeInteger("SMTP", "RATEMINUTES", FRateMinutes);
    ini.writeBool("SMTP", "PIPELINING", FPipelining);
    ini.writeString("PERSONAL", "NAME", FUserName);
    ini.writeString("PERSONAL", "EMAIL", FUserEmail);
    ini.writeBool("DIALUP", "MODEM", FDialModem);
    ini.writeBool("DIALUP", "AUTOC", FDialAutoConnect);
    ini.writeBool("DIALUP", "DISCO", FDialDisconnect);
    ini.writeString("DIALUP", "DEVICE", FDialDevice);
    ini.writeBool("DIALUP", "LAN", FDialLan);
    ini.writeString("UNSUBSCRIBE", "MAILTO", FUnsubscribeMailto);
    ini.writeString("UNSUBSCRIBE", "URL", FUnsubscribeUrl);
    ini.writeString("OAUTH", "PROVIDER", FOAuthProvider);
    ini.writeString("OAUTH", "AUTHURL", FOAuthAuthorizationUrl);
    ini.writeString("OAUTH", "TOKENURL", FOAuthTokenUrl);
    ini.writeString("OAUTH", "SCOPE", FOAuthScope);
    ini.writeString("OAUTH", "CLIENTID", FOAuthClientId);
}
