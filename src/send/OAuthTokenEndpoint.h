#pragma once

#include "send/OAuthProvider.h"

#include <QDateTime>
#include <QString>
#include <QUrlQuery>

// What a token endpoint hands out: the access token for the login, when it
// stops being good, and the refresh token that gets the next one (a refresh
// answer may carry none: the old one stays good).
struct TOAuthTokens
{
    QString accessToken;
    QDateTime expiresAt;
    QString refreshToken;
};

// One request to a provider's token endpoint (a form POST answered with JSON,
// RFC 6749 section 5), waited for in a nested event loop. Each call ends
// before it returns.
class TOAuthTokenEndpoint
{
public:
    enum class Outcome { Granted, Refused, Unreachable };
    struct Answer
    {
        Outcome outcome = Outcome::Unreachable;
        TOAuthTokens tokens;
        // For the user: the provider's error and its description, or why it
        // could not be reached. Empty when granted.
        QString failure;
    };

    // How long one request may take.
    static constexpr int TimeoutMs = 30000;

    // Trades an authorization code for tokens.
    static Answer exchangeCode(const TOAuthProvider &provider, const QString &clientSecret, const QString &code,
                               const QString &verifier, const QString &redirectUri);
    // A new access token for a refresh token.
    static Answer refresh(const TOAuthProvider &provider, const QString &clientSecret, const QString &refreshToken);

    // A provider's error (RFC 6749 sections 4.1.2.1 and 5.2) for the user:
    // "access_denied: The user said no"; either part may be missing.
    static QString describeError(const QString &error, const QString &description);

private:
    static Answer post(const TOAuthProvider &provider, const QString &clientSecret, QUrlQuery form);
};
