#include "support/MailFolderWriter.h"

#include "store/DM_Databaser.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace MailFolderWriter {

QByteArray bounce(const QString &finalRecipient, const QString &status, const QString &messageId, const QString &action)
{
    QByteArray returned = "From: sender@example.com\nSubject: News\n";
    if (!messageId.isEmpty())
        returned += "Message-ID: " + messageId.toUtf8() + "\n";
    return "From: Mail Delivery System <MAILER-DAEMON@mx.example.net>\n"
           "Subject: Undelivered Mail Returned to Sender\n"
           "Content-Type: multipart/report; report-type=delivery-status; boundary=\"rb\"\n\n"
           "--rb\nContent-Type: text/plain\n\nYour message could not be delivered.\n\n"
           "--rb\nContent-Type: message/delivery-status\n\nReporting-MTA: dns; mx.example.net\n\n"
           "Final-Recipient: rfc822; "
           + finalRecipient.toUtf8() + "\nAction: " + action.toUtf8() + "\nStatus: " + status.toUtf8()
           + "\nDiagnostic-Code: smtp; 550 no such user\n\n"
             "--rb\nContent-Type: text/rfc822-headers\n\n"
           + returned + "\n--rb--\n";
}

QByteArray unsubscribeRequest(const QString &from, const QString &token)
{
    return "From: " + from.toUtf8() + "\nTo: sender@example.com\nSubject: unsubscribe " + token.toUtf8()
           + "\n\nPlease take me off.\n";
}

QByteArray ordinary(const QString &from, const QString &subject, const QByteArray &body)
{
    return "From: " + from.toUtf8() + "\nSubject: " + subject.toUtf8() + "\n\n" + body;
}

QByteArray mbox(const QList<QByteArray> &messages)
{
    QByteArray out;
    for (const QByteArray &message : messages) {
        out += "From MAILER-DAEMON Thu Dec 10 10:00:00 2026\n";
        for (const QByteArray &line : message.split('\n')) {
            if (line.startsWith("From "))
                out += '>';
            out += line + '\n';
        }
    }
    return out;
}

bool writeMbox(const QString &path, const QList<QByteArray> &messages)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(mbox(messages)) >= 0 && file.commit();
}

bool writeMaildir(const QString &path, const QList<QByteArray> &messages)
{
    const QDir root(path);
    if (!root.mkpath("new") || !root.mkpath("cur") || !root.mkpath("tmp"))
        return false;
    for (qsizetype i = 0; i < messages.size(); ++i) {
        QFile file(root.filePath(QStringLiteral("new/%1.test:2,").arg(i, 6, 10, QChar('0'))));
        if (!file.open(QIODevice::WriteOnly) || file.write(messages[i]) != messages[i].size())
            return false;
    }
    return true;
}

QList<qint64> addMembers(TDM_Databaser &dm, const QString &group, const QStringList &addresses)
{
    QList<qint64> numbers;
    dm.Databas.RunInTransaction([&] {
        TQuery q(&dm.Databas);
        q.SetStatement({"INSERT INTO GROUPS (Grupp, Members) VALUES (:g, :n)"},
                       {{"g", group}, {"n", int(addresses.size())}});
        q.ExecSQL();
        const int first = dm.TakeRecipientNumbers(int(addresses.size()));
        for (qsizetype i = 0; i < addresses.size(); ++i) {
            q.SetStatement(
                {"INSERT INTO EMAILS (Name, Email, Unikt, Grupp) VALUES (:name, :email, :n, :g)"},
                {{"name", addresses[i].section('@', 0, 0)}, {"email", addresses[i]}, {"n", first + int(i)}, {"g", group}});
            q.ExecSQL();
            numbers << first + i;
        }
    });
    dm.ta_Group.Refresh();
    return numbers;
}

} // namespace MailFolderWriter
