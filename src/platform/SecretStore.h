#pragma once

#include <QString>

// Where the programs keep secrets (the SMTP password): the desktop's secret
// store in the running programs, a map in memory in tests. Never a file of
// ours. Each call ends before it returns.
class SecretStore
{
public:
    enum class Status { Ok, NotFound, Unavailable };
    struct Answer
    {
        Status status = Status::Unavailable;
        QString secret;
        // Why the store did not answer, in words for a user; empty otherwise.
        QString error;
    };

    virtual ~SecretStore() = default;
    virtual Answer read(const QString &key) = 0;
    // Status Ok once the secret is kept; NotFound is never answered.
    virtual Answer write(const QString &key, const QString &secret) = 0;
};
