#include "send/UnsubscribeSecret.h"

#include "send/UnsubscribeToken.h"

#include <openssl/rand.h>

namespace {

// Hex, as the secret store keeps text; anything else read back is no
// secret of ours.
std::optional<QByteArray> fromText(const QString &text)
{
    const QByteArray bytes = QByteArray::fromHex(text.toLatin1());
    if (bytes.size() != UnsubscribeToken::SecretBytes || bytes.toHex() != text.toLatin1())
        return std::nullopt;
    return bytes;
}

QString noSecret(const QString &why)
{
    return QStringLiteral("No unsubscribe token in this run: %1").arg(why);
}

} // namespace

QString UnsubscribeSecret::KeyFor(const QString &storeIdentity)
{
    return QStringLiteral("unsubscribe:%1").arg(storeIdentity);
}

std::optional<QByteArray> UnsubscribeSecret::obtain(SecretStore &store, const QString &storeIdentity, QString &failure)
{
    const QString key = KeyFor(storeIdentity);
    SecretStore::Answer answer = store.read(key);
    if (answer.status == SecretStore::Status::Ok) {
        if (const auto secret = fromText(answer.secret))
            return secret;
        failure = noSecret(QStringLiteral("the secret store keeps something else under '%1'").arg(key));
        return std::nullopt;
    }
    if (answer.status == SecretStore::Status::Unavailable) {
        failure = noSecret(QStringLiteral("no secret store answers (%1)").arg(answer.error));
        return std::nullopt;
    }
    QByteArray fresh(UnsubscribeToken::SecretBytes, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char *>(fresh.data()), static_cast<int>(fresh.size())) != 1) {
        failure = noSecret(QStringLiteral("no random bytes to make a secret of"));
        return std::nullopt;
    }
    answer = store.write(key, QString::fromLatin1(fresh.toHex()));
    if (answer.status != SecretStore::Status::Ok) {
        failure = noSecret(QStringLiteral("the secret store does not keep one (%1)").arg(answer.error));
        return std::nullopt;
    }
    // The other program may have made one at the same moment: the one kept
    // is the one both use.
    answer = store.read(key);
    const auto kept = answer.status == SecretStore::Status::Ok ? fromText(answer.secret) : std::nullopt;
    if (!kept)
        failure = noSecret(QStringLiteral("the secret store does not give back the secret it took"));
    return kept;
}
