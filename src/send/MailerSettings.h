#pragma once

#include "send/OAuthProvider.h"
#include "transport/CustomSmtpClient.h"
#include "store/SendWindow.h"

#include <QString>
#include <optional>

// The mailer's settings as the main window holds them, read from CORVAN.INI.
// The texts "Enter your name" and the like are placeholders that count as
// values: only a key present with an empty value stops a send, except for the
// server, whose placeholder names no server anyone could reach, and the
// address, which a send refuses unless it holds one ("Enter your Email
// address" does not).
struct TMailerSettings
{
    static inline const QString ServerPlaceholder = QStringLiteral("Enter SMTP Server");

    QString FSmtpServer = ServerPlaceholder;
    QString FSmtpPort = QStringLiteral("25");
    // How the session is protected: "NONE" (also when missing), "STARTTLS"
    // or "SSL"; and the login name, none when empty. The password is never
    // kept here: it is in the secret store (TSmtpLogin).
    QString FSmtpSecurity = QStringLiteral("NONE");
    QString FSmtpUser;
    // How the user logs in: "PASSWORD" (also when missing, as in files
    // written before there was a choice) or "OAUTH2", a sign-in in the
    // browser at the provider FOAuthProvider names ("GOOGLE", "MICROSOFT" or
    // "CUSTOM"). The endpoints and scope are read only for a custom
    // provider. The client secret and the tokens live in the secret store.
    QString FSmtpLogin = QStringLiteral("PASSWORD");
    QString FOAuthProvider = QStringLiteral("GOOGLE");
    QString FOAuthAuthorizationUrl;
    QString FOAuthTokenUrl;
    QString FOAuthScope;
    QString FOAuthClientId;
    QString FUserName = QStringLiteral("Enter your name");
    QString FUserEmail = QStringLiteral("Enter your Email address");
    // Where a member's unsubscribe mail goes (FUserEmail while empty), and an
    // https address with {token} where a click unsubscribes at once (none
    // while empty).
    QString FUnsubscribeMailto;
    QString FUnsubscribeUrl;
    // At most FRateCount messages per FRateMinutes minutes through the
    // server; no limit while either is 0.
    int FRateCount = 0;
    int FRateMinutes = 0;
    // Commands in one write where the server offers PIPELINING; off, one
    // command and one reply at a time (for a server that offers it and
    // stumbles over it).
    bool FPipelining = true;
    bool FDialModem = false;
    bool FDialAutoConnect = false;
    bool FDialDisconnect = false;
    QString FDialDevice = QStringLiteral("None");
    bool FDialLan = true;

    // What the network settings dialog shows for keys the file lacks: empty
    // texts where the user has to type something, the service name for the port.
    static TMailerSettings DialogDefaults();
    // The agent's defaults: the port is the service name "SMTP".
    static TMailerSettings AgentDefaults();

    // The SMTP server to send through; empty while there is none, also when
    // the settings still hold the placeholder.
    QString SmtpServer() const;
    // FSmtpSecurity as the client takes it; nothing for a value that names
    // no known kind, which a send refuses rather than guess.
    std::optional<TSmtpSecurity> SmtpSecurity() const;
    static QString SecurityText(TSmtpSecurity security);
    static inline const QString OAuthLogin = QStringLiteral("OAUTH2");
    bool UsesOAuth() const { return FSmtpLogin.trimmed().compare(OAuthLogin, Qt::CaseInsensitive) == 0; }
    // The provider to sign in at: a preset with the client ID, or the custom
    // values; nothing for a provider name that is none of the three.
    std::optional<TOAuthProvider> OAuthProvider() const;
    TSendLimit SendLimit() const { return {FRateCount, FRateMinutes}; }

    // Reads every key, each with the main program's default.
    void LoadSettings(const QString &iniFileName);
    // Reads every key, each with the value of defaults where it is missing.
    void ReadSettings(const QString &iniFileName, const TMailerSettings &defaults);
    // Writes every key in the file's order, texts as they stand (empty ones
    // too) and flags as "1" or "0". Each key replaces the file on its own; the
    // first that cannot be written throws EIniFileException and the keys after
    // it are left as they were.
    void WriteSettings(const QString &iniFileName) const;
};
