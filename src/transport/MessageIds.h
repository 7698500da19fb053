#pragma once

#include <QString>

// The Message-IDs of one send run: "<" random part "." message number "@"
// domain ">". The random part is drawn once per run, so the numbers keep the
// messages of a run apart and the random part keeps runs apart.
class TMessageIds
{
public:
    // The domain of the sender's address names where the messages come from.
    explicit TMessageIds(const QString &senderAddress);

    QString forMessage(int number) const;

private:
    QString m_random;
    QString m_domain;
};
