#pragma once

#include "replies/MailFolder.h"

#include <QList>
#include <QString>

// What one message of a mail folder says, before it is matched to members:
// the permanent failures a delivery status notification (RFC 3464) reports,
// an unsubscribe request's subject, or why the message says neither.
struct ReplyNotice
{
    enum class Kind { Ordinary, Bounces, Unsubscribe, Skipped };

    struct Failure
    {
        QString address; // Final-Recipient
        QString status;  // "5.1.1"
        QString evidence;
    };

    Kind kind = Kind::Ordinary;
    QList<Failure> failures;  // Bounces
    QString originalMessageId; // Bounces: the Message-ID of the message returned
    QString subject;           // Unsubscribe: decoded, as "unsubscribe TOKEN"
    QString sender;            // Unsubscribe: From
    // Skipped: why; Bounces: the recipients reported that are no
    // suppression (delayed, mailbox full), each one line.
    QStringList notes;

    // A notice or request; subjectIsRequest tells which subjects ask to
    // leave (the token's form is the sending side's business).
    static ReplyNotice read(const MailMessage &message, bool (*subjectIsRequest)(const QString &subject));
};
