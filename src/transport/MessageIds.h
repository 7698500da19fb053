#pragma once

#include <QString>

// The Message-IDs of one send run: "<" random part "." message number "@"
// domain ">". The random part is drawn once per run, so the numbers keep the
// messages of a run apart and the random part keeps runs apart. A message
// that carries its member's unsubscribe token has it as a third piece of the
// left part, "<random.number.token@domain>", so a bounce that quotes only our
// Message-ID still tells whose message it was.
class TMessageIds
{
public:
    // The domain of the sender's address names where the messages come from.
    explicit TMessageIds(const QString &senderAddress);

    // token may be empty: the Message-ID then names no member.
    QString forMessage(int number, const QString &token = {}) const;

    // The token in a Message-ID this class made ("<" and ">" and spaces
    // around it allowed); empty when it carries none. The token is not
    // checked here: only its owner's secret can tell whether it is ours.
    static QString tokenOf(const QString &messageId);

    // The domain of an address as a Message-ID or a List-Id holds it: letters
    // outside ASCII in their "xn--" form; "invalid" for what is no domain.
    static QString domainOf(const QString &address);

private:
    QString m_random;
    QString m_domain;
};
