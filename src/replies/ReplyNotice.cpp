#include "replies/ReplyNotice.h"

#include "replies/MailEntity.h"

#include <QRegularExpression>

namespace {

// The groups of fields of a delivery-status body: the message's, then
// one per recipient.
QList<MailEntity> statusGroups(QByteArray body)
{
    QList<MailEntity> groups;
    body.replace("\r\n", "\n");
    qsizetype at = 0;
    while (at < body.size()) {
        qsizetype end = body.indexOf("\n\n", at);
        if (end < 0)
            end = body.size();
        const QByteArray group = body.mid(at, end - at).trimmed();
        if (!group.isEmpty())
            groups.append(MailEntity(group + "\n\n"));
        at = end + 2;
    }
    return groups;
}

QString addressOf(const QByteArray &finalRecipient)
{
    // "rfc822; someone@example.org", or in RFC 6533's "utf-8" type
    const qsizetype semicolon = finalRecipient.indexOf(';');
    if (semicolon < 0)
        return {};
    const QByteArray type = finalRecipient.left(semicolon).trimmed().toLower();
    if (type != "rfc822" && type != "utf-8")
        return {};
    QString address = QString::fromUtf8(finalRecipient.mid(semicolon + 1)).trimmed();
    if (address.startsWith('<') && address.endsWith('>'))
        address = address.mid(1, address.size() - 2);
    static const QRegularExpression plain(QStringLiteral("^[^\\s<>@,;]+@[^\\s<>@,;]+\\.[^\\s<>@,;]+$"));
    return plain.match(address).hasMatch() ? address : QString();
}

void readRecipient(const MailEntity &group, ReplyNotice &notice)
{
    static const QRegularExpression statusForm(QStringLiteral("^([245])\\.(\\d{1,3})\\.(\\d{1,3})\\b"));
    const QByteArray recipient = group.field("final-recipient");
    const QString address = addressOf(recipient);
    const QString action = QString::fromUtf8(group.field("action")).toLower();
    const QRegularExpressionMatch status = statusForm.match(QString::fromUtf8(group.field("status")));
    if (address.isEmpty()) {
        notice.notes << QStringLiteral("a recipient without a readable Final-Recipient (\"%1\")")
                            .arg(QString::fromUtf8(recipient.left(80)));
        return;
    }
    if (!status.hasMatch()) {
        notice.notes << QStringLiteral("%1: no status code of the form 5.x.x (\"%2\")")
                            .arg(address, QString::fromUtf8(group.field("status").left(40)));
        return;
    }
    const QString code = status.captured(0);
    if (action != QLatin1String("failed") || status.captured(1) != QLatin1String("5")) {
        notice.notes << QStringLiteral("%1: Action %2, Status %3, not a permanent failure")
                            .arg(address, action.isEmpty() ? QStringLiteral("missing") : action, code);
        return;
    }
    if (status.captured(2) == QLatin1String("2") && status.captured(3) == QLatin1String("2")) {
        notice.notes << QStringLiteral("%1: Status 5.2.2, the mailbox is full, which passes").arg(address);
        return;
    }
    const QString diagnostic = QString::fromUtf8(group.field("diagnostic-code").left(200));
    notice.failures.append({address, code,
                            QStringLiteral("Action: failed, Status: %1%2")
                                .arg(code, diagnostic.isEmpty() ? QString() : ", Diagnostic-Code: " + diagnostic)});
}

void readReport(const MailEntity &mail, ReplyNotice &notice)
{
    bool statusSeen = false;
    mail.walk([&](const MailEntity &part) {
        const QByteArray type = part.contentType();
        if (type == "message/delivery-status" && !statusSeen) {
            statusSeen = true;
            const QList<MailEntity> groups = statusGroups(part.decodedBody());
            for (qsizetype i = 1; i < groups.size(); ++i)
                readRecipient(groups.at(i), notice);
        } else if (type == "text/rfc822-headers" && notice.originalMessageId.isEmpty()) {
            notice.originalMessageId = QString::fromUtf8(MailEntity(part.decodedBody() + "\n\n").field("message-id"));
        } else if (part.field("message-id").size() > 0 && notice.originalMessageId.isEmpty() && statusSeen) {
            // the returned message itself (message/rfc822), after the status
            notice.originalMessageId = QString::fromUtf8(part.field("message-id"));
        }
    });
    if (!statusSeen) {
        notice.kind = ReplyNotice::Kind::Skipped;
        notice.notes = QStringList{QStringLiteral("a delivery report without a complete delivery-status part")};
    } else if (notice.failures.isEmpty()) {
        notice.kind = ReplyNotice::Kind::Skipped;
        if (notice.notes.isEmpty())
            notice.notes << QStringLiteral("a delivery report that names no recipient");
    } else {
        notice.kind = ReplyNotice::Kind::Bounces;
    }
}

} // namespace

ReplyNotice ReplyNotice::read(const MailMessage &message, bool (*subjectIsRequest)(const QString &subject))
{
    ReplyNotice notice;
    auto skip = [&notice](const QString &why) {
        notice.kind = Kind::Skipped;
        notice.notes = QStringList{why};
        return notice;
    };
    if (!message.failure.isEmpty())
        return skip(QStringLiteral("cannot be read: %1").arg(message.failure));
    if (!message.ended)
        return skip(QStringLiteral("the file ends in the middle of this message"));
    const MailEntity mail(message.kept);
    if (!mail.headerEnded())
        return skip(message.cut ? QStringLiteral("a header longer than the %1 MB read of a message")
                                      .arg(MailMessage::KeepLimit >> 20)
                                : QStringLiteral("no end of the header"));
    const QString subject = mail.text("subject").simplified();
    const QByteArray type = mail.contentType();
    const bool report = type == "multipart/report" || (type.startsWith("multipart/") && mail.body().contains("message/delivery-status"));
    if (report) {
        readReport(mail, notice);
    } else if (subjectIsRequest(subject)) {
        notice.kind = Kind::Unsubscribe;
        notice.subject = subject;
        notice.sender = mail.text("from").simplified();
    } else if (subject.startsWith(QLatin1String("unsubscribe"), Qt::CaseInsensitive)) {
        return skip(QStringLiteral("a subject \"%1\" without one of our tokens").arg(subject.left(80)));
    }
    if (message.cut && notice.kind == Kind::Skipped)
        notice.notes.first() += QStringLiteral(" in the first %1 MB of a message of %2 MB")
                                    .arg(MailMessage::KeepLimit >> 20)
                                    .arg(message.size >> 20);
    return notice;
}
