#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

// The token that names a member in the unsubscribe headers, the subject of an
// unsubscribe mail and our Message-IDs: "<member number>-<24 letters>", the
// letters a base32 (a-z, 2-7) of the first 15 bytes of an HMAC-SHA256 of the
// member's number and address (as addressKey compares it) under the store's
// secret. It is lower case, safe in a URL, a mailto subject and the left part
// of a Message-ID. Without the secret nobody can make one for another member
// or address, so a request that carries one is the member's own.
class UnsubscribeToken
{
public:
    static constexpr int SecretBytes = 32;

    // A secret of SecretBytes bytes (see UnsubscribeSecret).
    explicit UnsubscribeToken(QByteArray secret);

    QString make(qint64 member, const QString &address) const;

    // The member number a token names, when it has a token's form; whether
    // it is genuine only verify tells.
    static std::optional<qint64> memberOf(const QString &token);

    // The member's address by number; nothing for a number the store does
    // not know.
    using AddressOf = std::function<std::optional<QString>(qint64 member)>;
    // The member a token names when it is genuine: made under this secret
    // for that member and the address the member has now. Nothing for a token
    // forged, altered, made under another store's secret or for a member
    // whose address has changed since.
    std::optional<qint64> verify(const QString &token, const AddressOf &addressOf) const;

    // The subject of an unsubscribe mail: "unsubscribe TOKEN".
    static QString subjectFor(const QString &token);
    // The token in such a subject (a reply's "Re: " and spaces around it
    // allowed, case ignored); empty for any other subject.
    static QString tokenInSubject(const QString &subject);

private:
    QByteArray mac(qint64 member, const QString &address) const;

    QByteArray m_secret;
};
