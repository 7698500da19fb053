#pragma once

#include <QHash>
#include <QStringList>

// What a server offers in its reply to EHLO: every line after the first
// names one extension and its parameters ("250-AUTH PLAIN LOGIN",
// "250-SIZE 35882577", "250 STARTTLS"). Keywords and parameters compare
// without regard to case; the old form "AUTH=LOGIN" counts as AUTH.
class TSmtpCapabilities
{
public:
    TSmtpCapabilities() = default;
    // The lines of the reply as read, codes included.
    explicit TSmtpCapabilities(const QStringList &replyLines);

    bool offers(const QString &keyword) const { return m_offered.contains(keyword.toUpper()); }
    // The parameters of an extension, in capitals; empty when not offered.
    QStringList parameters(const QString &keyword) const { return m_offered.value(keyword.toUpper()); }

private:
    QHash<QString, QStringList> m_offered;
};
