#pragma once

#include "platform/SecretStore.h"

#include <QHash>
#include <memory>

// A secret store in memory for tests, so none depends on a desktop's. The
// test keeps the contents (a shared Vault) after handing the store over.
class MemorySecretStore : public SecretStore
{
public:
    struct Vault
    {
        QHash<QString, QString> secrets;
        // Off: every call answers Unavailable, as where no store runs.
        bool available = true;
        int reads = 0;
    };

    explicit MemorySecretStore(std::shared_ptr<Vault> vault) : m_vault(std::move(vault)) {}

    Answer read(const QString &key) override
    {
        ++m_vault->reads;
        if (!m_vault->available)
            return {Status::Unavailable, {}, QStringLiteral("no store in this test")};
        const auto found = m_vault->secrets.constFind(key);
        if (found == m_vault->secrets.cend())
            return {Status::NotFound, {}, {}};
        return {Status::Ok, *found, {}};
    }

    Answer write(const QString &key, const QString &secret) override
    {
        if (!m_vault->available)
            return {Status::Unavailable, {}, QStringLiteral("no store in this test")};
        m_vault->secrets.insert(key, secret);
        return {Status::Ok, {}, {}};
    }

private:
    std::shared_ptr<Vault> m_vault;
};
