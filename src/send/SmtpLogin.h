#pragma once

#include "platform/SecretStore.h"

#include <QHash>
#include <QString>
#include <memory>
#include <optional>

// The password of the SMTP login, kept in the secret store under the server
// and the user name. Where no store answers, a password typed in the
// settings or asked for at send time is kept in memory until the program
// ends; it never goes into a file.
class TSmtpLogin
{
public:
    explicit TSmtpLogin(std::unique_ptr<SecretStore> store);

    void setStore(std::unique_ptr<SecretStore> store);
    // The program's secret store, which keeps its other secrets too (the
    // unsubscribe tokens' secret); nullptr when it has none.
    SecretStore *Store() const { return m_store.get(); }
    // False for a program that nobody watches (the agent): it never asks.
    bool MayAsk = true;

    static QString KeyFor(const QString &server, const QString &user);

    // Keeps the password; empty when the store took it, otherwise why it
    // could not (the password is then kept in memory only).
    QString Save(const QString &server, const QString &user, const QString &password);
    // The password to log in with: from memory, the store, or asked for
    // through the prompt service where MayAsk allows. Nothing, with failure
    // set to a line for the results, when there is none to be had.
    std::optional<QString> PasswordFor(const QString &server, const QString &user, QString &failure);

    // Any secret of the login (an OAuth 2.0 refresh token or client secret)
    // under its own key, kept as the password is: in the store, or in memory
    // where the store does not take it, with the store's error returned.
    QString Keep(const QString &key, const QString &secret);
    // From memory or the store; the store's answer as it stands.
    SecretStore::Answer Find(const QString &key);

private:
    std::unique_ptr<SecretStore> m_store;
    QHash<QString, QString> m_remembered;
};
