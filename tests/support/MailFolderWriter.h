#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class TDM_Databaser;

// Mail folders as a desktop mail client keeps them, made up for the tests and
// benchmarks of "Process replies...": delivery reports, unsubscribe requests
// and ordinary mail, written as an mbox or a Maildir.
namespace MailFolderWriter {

// A delivery status notification (RFC 3464) about one recipient; with a
// messageId, the returned message's header carries it.
QByteArray bounce(const QString &finalRecipient, const QString &status = QStringLiteral("5.1.1"),
                  const QString &messageId = {}, const QString &action = QStringLiteral("failed"));
// A mail whose subject asks to leave: "unsubscribe TOKEN".
QByteArray unsubscribeRequest(const QString &from, const QString &token);
QByteArray ordinary(const QString &from, const QString &subject, const QByteArray &body = "Hello\n");

// The messages as one mbox: a "From " line before each, "From " at the start
// of a body line quoted as ">From ".
QByteArray mbox(const QList<QByteArray> &messages);
// Writes the mbox to path; false when it cannot.
bool writeMbox(const QString &path, const QList<QByteArray> &messages);
// A Maildir at path: each message a file of its own in new/.
bool writeMaildir(const QString &path, const QList<QByteArray> &messages);

// A group of the given addresses, straight through SQL in one transaction
// (the members' numbers from the store's counter); returns their numbers in
// order.
QList<qint64> addMembers(TDM_Databaser &dm, const QString &group, const QStringList &addresses);

} // namespace MailFolderWriter
