#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// The two SASL mechanisms that carry an OAuth 2.0 bearer token: Google's and
// Microsoft's XOAUTH2 and the standard OAUTHBEARER (RFC 7628). Both send the
// token in the first response; a refusal comes as a 334 challenge holding a
// JSON status, which the client must answer before the server says 535.
namespace OAuthSasl {

enum class Mechanism { XOAuth2, OAuthBearer };

// XOAUTH2 where offered (every large provider has it), else OAUTHBEARER;
// nothing when the AUTH parameters offer neither.
std::optional<Mechanism> choose(const QStringList &offered);
QString name(Mechanism mechanism);
// The initial response, base64-encoded, as it goes after "AUTH <name> ".
QByteArray initialResponse(Mechanism mechanism, const QString &user, const QString &token);
// What answers the error challenge: an empty line for XOAUTH2, a lone
// 0x01 byte (base64 "AQ==") for OAUTHBEARER.
QByteArray challengeAnswer(Mechanism mechanism);

// The JSON of an error challenge: {"status":"401","schemes":"Bearer","scope":"..."}
// (XOAUTH2 gives an HTTP status, OAUTHBEARER "invalid_token" and the like).
struct ErrorChallenge
{
    // The text after "334 ", base64 as the server sent it.
    static ErrorChallenge decode(const QString &base64);

    QString status;
    QString scope;
    // The token itself was refused (expired, revoked): a new token may do.
    // Also when the server said nothing readable: renewing once costs little.
    // A refused scope or a bad request is not mended by a new token.
    bool stale() const;
    // "status 401, scope https://mail.google.com/"; empty when nothing was read.
    QString describe() const;
};

}
