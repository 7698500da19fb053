#pragma once

#include <QString>
#include <QStringList>

// A message file: the text lines of a message, the marker line
// "<END OF MESSAGE>", then one line each for the group, the signature name,
// the attachments (every path followed by ";") and the subject. The mailer
// writes and reads it; the agent reads it to send a scheduled message.
class TMessageFile
{
public:
    static const QString EndOfMessage;

    QStringList Text;
    QString Group;
    QString Signature;
    QStringList Attachments;
    QString Subject;

    // Every entry followed by ";"; empty when there are none.
    static QString AttachmentsToLine(const QStringList &attachments);
    // The fields that end with ";", in order; text after the last ";" is not
    // an entry.
    static QStringList LineToAttachments(const QString &line);

    // Whether a path survives a message file unchanged: the attachments line
    // separates paths by ";" and a line break would end the line.
    static bool canStoreAttachment(const QString &path);

    // Reads the file into this message. A file that cannot be read, or that
    // ends before "<END OF MESSAGE>" or before the subject line, fails with
    // errorText naming the file; the message is then left unchanged.
    bool Load(const QString &path, QString *errorText = nullptr);
    // Writes the message, replacing any file of that name atomically. A field
    // that would not read back as written (a text line equal to the marker
    // among them) is refused; a failed write keeps an earlier file of that
    // name.
    bool Save(const QString &path, QString *errorText = nullptr) const;

private:
    QString unstorableField() const;
};
