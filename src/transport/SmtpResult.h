#pragma once

#include <QString>

// What one Open or Mail of the SMTP client came to, and why.
class TSmtpResult
{
public:
    enum class Kind {
        Ok,
        // A reply or the client's own check refused it; trying again
        // will not help.
        Refused,
        // Turned away for a reason that may pass: a 4xx reply, or no
        // connection before the message went out. The same Mail may succeed
        // later.
        Deferred,
        // The message went out in full, but no answer said whether the
        // server took it (time-out, Cancel, connection lost): sending it
        // again could deliver it twice.
        OutcomeUnknown,
        // The session could not be had as Security and the login ask for
        // (TLS failed, STARTTLS or a login not offered, the login refused).
        SessionRefused,
        // The message is larger than the server takes (its SIZE): it would
        // be refused for every recipient. Nothing of it was sent.
        TooLarge,
    };

    TSmtpResult() = default;
    TSmtpResult(Kind kind, const QString &reason, const QString &enhancedCode = QString())
        : m_kind(kind), m_reason(reason), m_enhancedCode(enhancedCode)
    {
    }

    Kind kind() const { return m_kind; }
    bool ok() const { return m_kind == Kind::Ok; }
    // The reply that refused it or the client's own reason; empty when ok.
    QString reason() const { return m_reason; }
    // The enhanced status code of the refusing reply ("5.1.1" a mailbox that
    // does not exist, "4.2.2" a full one, "4.7.x" a throttle), where the
    // server offered ENHANCEDSTATUSCODES; empty otherwise.
    QString enhancedCode() const { return m_enhancedCode; }

    // The same reason, with the message out of the client's hands.
    TSmtpResult withOutcomeUnknown() const { return {Kind::OutcomeUnknown, m_reason, m_enhancedCode}; }

private:
    Kind m_kind = Kind::Ok;
    QString m_reason;
    QString m_enhancedCode;
};
