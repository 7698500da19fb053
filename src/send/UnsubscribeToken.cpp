#include "send/UnsubscribeToken.h"

#include "store/AddressKey.h"

#include <QRegularExpression>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace {

// 15 bytes are 120 bits, exactly 24 base32 letters: no padding to carry.
constexpr int MacBytes = 15;
constexpr int MacLetters = MacBytes * 8 / 5;

QString base32(const QByteArray &bytes)
{
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz234567";
    QString letters;
    quint32 bits = 0;
    int held = 0;
    for (const char byte : bytes) {
        bits = (bits << 8) | static_cast<quint8>(byte);
        held += 8;
        while (held >= 5) {
            held -= 5;
            letters += QLatin1Char(alphabet[(bits >> held) & 31]);
        }
    }
    return letters;
}

const QRegularExpression &tokenForm()
{
    static const QRegularExpression form(QStringLiteral("^([1-9][0-9]{0,17})-([a-z2-7]{%1})$").arg(MacLetters));
    return form;
}

} // namespace

UnsubscribeToken::UnsubscribeToken(QByteArray secret) : m_secret(std::move(secret)) {}

QByteArray UnsubscribeToken::mac(qint64 member, const QString &address) const
{
    // The number ends at the NUL, so no number and address run together into
    // another pair's.
    const QByteArray message = QByteArray::number(member) + '\0' + addressKey(address.trimmed()).toUtf8();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha256(), m_secret.constData(), static_cast<int>(m_secret.size()),
         reinterpret_cast<const unsigned char *>(message.constData()), static_cast<size_t>(message.size()), digest,
         &length);
    return QByteArray(reinterpret_cast<const char *>(digest), MacBytes);
}

QString UnsubscribeToken::make(qint64 member, const QString &address) const
{
    return QString::number(member) + u'-' + base32(mac(member, address));
}

std::optional<qint64> UnsubscribeToken::memberOf(const QString &token)
{
    const QRegularExpressionMatch match = tokenForm().match(token.trimmed().toLower());
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toLongLong();
}

std::optional<qint64> UnsubscribeToken::verify(const QString &token, const AddressOf &addressOf) const
{
    const std::optional<qint64> member = memberOf(token);
    if (!member)
        return std::nullopt;
    const std::optional<QString> address = addressOf(*member);
    if (!address)
        return std::nullopt;
    const QByteArray expected = make(*member, *address).toLatin1();
    const QByteArray given = token.trimmed().toLower().toLatin1();
    // Both have the token's form and so one length; the compare takes as long
    // for a near miss as for a wild guess.
    if (expected.size() != given.size() || CRYPTO_memcmp(expected.constData(), given.constData(), expected.size()) != 0)
        return std::nullopt;
    return member;
}

QString UnsubscribeToken::subjectFor(const QString &token)
{
    return QStringLiteral("unsubscribe ") + token;
}

QString UnsubscribeToken::tokenInSubject(const QString &subject)
{
    static const QRegularExpression form(QStringLiteral("^\\s*(?:(?:re|aw|sv)\\s*:\\s*)*unsubscribe\\s+(\\S+)\\s*$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(subject);
    if (!match.hasMatch() || !memberOf(match.captured(1)))
        return QString();
    return match.captured(1).toLower();
}
