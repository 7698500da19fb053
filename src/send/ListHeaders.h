#pragma once

#include "send/UnsubscribeToken.h"

#include <QString>
#include <QStringList>
#include <optional>

// The list header lines of a group's messages: List-Id (RFC 2919) names the
// group, List-Unsubscribe (RFC 2369) a mail to send, with the member's token
// in its subject, and, where the user runs a page for it, an https address
// a click unsubscribes at (RFC 8058, with List-Unsubscribe-Post). What does
// not change from member to member is made once, when the run starts.
class TListHeaders
{
public:
    // mailto is where unsubscribe mails go, urlTemplate an https address
    // with {token} (none when empty or not such an address). Without tokens
    // (no secret to make them under) only List-Id goes out.
    TListHeaders(const QString &group, const QString &senderAddress, const QString &mailto,
                 const QString &urlTemplate, std::optional<UnsubscribeToken> tokens);

    // The group name as a List-Id label: ASCII letters and digits in lower
    // case (accents dropped), every other run of characters one "-".
    static QString label(const QString &group);
    // An https address with {token} in it, which the one-click header can
    // carry.
    static bool isOneClickTemplate(const QString &urlTemplate);
    // Why a setting cannot go into the headers, in words for the user; empty
    // when it can. The mailto may be empty (the user's own address then) or
    // one address; the template empty or one isOneClickTemplate takes.
    static QString mailtoProblem(const QString &mailto);
    static QString urlTemplateProblem(const QString &urlTemplate);

    bool hasTokens() const { return m_tokens.has_value(); }
    // The member's token; empty without tokens.
    QString tokenFor(qint64 member, const QString &address) const;
    // The lines for the member whose token this is (empty without tokens).
    QStringList linesFor(const QString &token) const;

private:
    QString m_listId;
    QString m_mailtoStart;
    QString m_urlTemplate;
    std::optional<UnsubscribeToken> m_tokens;
};
