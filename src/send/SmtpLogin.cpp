#include "send/SmtpLogin.h"

#include "platform/Prompts.h"

TSmtpLogin::TSmtpLogin(std::unique_ptr<SecretStore> store) : m_store(std::move(store)) {}

void TSmtpLogin::setStore(std::unique_ptr<SecretStore> store)
{
    m_store = std::move(store);
    m_remembered.clear();
}

QString TSmtpLogin::KeyFor(const QString &server, const QString &user)
{
    return QStringLiteral("smtp:%1@%2").arg(user.trimmed(), server.trimmed().toLower());
}

QString TSmtpLogin::Save(const QString &server, const QString &user, const QString &password)
{
    return Keep(KeyFor(server, user), password);
}

QString TSmtpLogin::Keep(const QString &key, const QString &secret)
{
    const SecretStore::Answer answer = m_store->write(key, secret);
    if (answer.status == SecretStore::Status::Ok) {
        m_remembered.remove(key);
        return QString();
    }
    m_remembered.insert(key, secret);
    return answer.error;
}

SecretStore::Answer TSmtpLogin::Find(const QString &key)
{
    if (const auto remembered = m_remembered.constFind(key); remembered != m_remembered.cend())
        return {SecretStore::Status::Ok, *remembered, {}};
    return m_store->read(key);
}

std::optional<QString> TSmtpLogin::PasswordFor(const QString &server, const QString &user, QString &failure)
{
    const QString key = KeyFor(server, user);
    const SecretStore::Answer answer = Find(key);
    if (answer.status == SecretStore::Status::Ok)
        return answer.secret;
    const QString whose = QStringLiteral("'%1' at '%2'").arg(user.trimmed(), server.trimmed());
    if (MayAsk) {
        if (const auto typed = Prompt::password(QStringLiteral("Password for %1:").arg(whose))) {
            m_remembered.insert(key, *typed);
            return typed;
        }
        failure = QStringLiteral("No password for %1: none was given").arg(whose);
        return std::nullopt;
    }
    failure = answer.status == SecretStore::Status::NotFound
                  ? QStringLiteral("No password for %1: none is kept in the secret store").arg(whose)
                  : QStringLiteral("No password for %1: no secret store answers (%2)").arg(whose, answer.error);
    return std::nullopt;
}
