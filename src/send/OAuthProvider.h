#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <optional>

// Where an OAuth 2.0 sign-in goes and what it asks for: Google's and
// Microsoft's endpoints and mail scopes as they publish them, or endpoints the
// user enters for another provider. The client ID is the one the user
// registered with the provider (see the README).
struct TOAuthProvider
{
    enum class Kind { Google, Microsoft, Custom };

    Kind kind = Kind::Google;
    QString authorizationEndpoint;
    QString tokenEndpoint;
    QString scope;
    QString clientId;
    // Added to the authorization request: Google hands out a refresh token
    // only when asked for offline access.
    QList<QPair<QString, QString>> extraParameters;

    // The endpoints and scope of a preset; a custom provider's are empty.
    static TOAuthProvider Preset(Kind kind);
    // "GOOGLE", "MICROSOFT", "CUSTOM" as the settings file keeps them.
    static QString KindText(Kind kind);
    static std::optional<Kind> KindFrom(const QString &text);

    // "Google", "Microsoft", or the custom token endpoint's host.
    QString DisplayName() const;
    // Why a sign-in with these values cannot start; empty when it can.
    QString Incomplete() const;
    // The secret store's keys: the refresh token of one account, and the
    // client secret of the registered client.
    QString AccountKey(const QString &user) const;
    QString ClientSecretKey() const;
};
