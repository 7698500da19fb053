#include "send/MessageFile.h"

#include "platform/TextFile.h"

const QString TMessageFile::EndOfMessage = QStringLiteral("<END OF MESSAGE>");

namespace {

constexpr QChar kSeparator = u';';

bool hasLineBreak(const QString &text)
{
    return text.contains(u'\n') || text.contains(u'\r');
}

}

QString TMessageFile::AttachmentsToLine(const QStringList &attachments)
{
    QString line;
    for (const QString &path : attachments)
        line += path + kSeparator;
    return line;
}

QStringList TMessageFile::LineToAttachments(const QString &line)
{
    QStringList fields = line.split(kSeparator);
    fields.removeLast();
    return fields;
}

bool TMessageFile::canStoreAttachment(const QString &path)
{
    return !path.contains(kSeparator) && !hasLineBreak(path);
}

bool TMessageFile::Load(const QString &path, QString *errorText)
{
    auto fail = [&](const QString &reason) {
        if (errorText)
            *errorText = QStringLiteral("Cannot load message file \"%1\": %2").arg(path, reason);
        return false;
    };
    QStringList lines;
    QString readError;
    if (!TextFile::readLines(path, lines, &readError))
        return fail(readError);
    const qsizetype marker = lines.indexOf(EndOfMessage);
    if (marker < 0)
        return fail(QStringLiteral("the file ends before \"%1\"").arg(EndOfMessage));
    constexpr int kFieldLines = 4;
    if (lines.size() < marker + 1 + kFieldLines)
        return fail(QStringLiteral("the file ends before the subject line"));
    Text = lines.mid(0, marker);
    Group = lines[marker + 1];
    Signature = lines[marker + 2];
    Attachments = LineToAttachments(lines[marker + 3]);
    Subject = lines[marker + 4];
    return true;
}

QString TMessageFile::unstorableField() const
{
    for (const QString &line : Text) {
        if (hasLineBreak(line))
            return QStringLiteral("a text line holds a line break");
        // Every reader ends the text at the first such line, so the fields
        // after it would read back shifted.
        if (line == EndOfMessage)
            return QStringLiteral("a line of the text reads \"%1\", which ends the text of a message file; "
                                  "change that line and save again")
                .arg(EndOfMessage);
    }
    if (hasLineBreak(Group) || hasLineBreak(Signature) || hasLineBreak(Subject))
        return QStringLiteral("the group, signature or subject holds a line break");
    for (const QString &attachment : Attachments) {
        if (!canStoreAttachment(attachment))
            return QStringLiteral("the attachment \"%1\" holds \";\" or a line break").arg(attachment);
    }
    return {};
}

bool TMessageFile::Save(const QString &path, QString *errorText) const
{
    QString reason = unstorableField();
    if (reason.isEmpty()) {
        const QStringList lines = Text + QStringList{EndOfMessage, Group, Signature, AttachmentsToLine(Attachments), Subject};
        if (TextFile::writeLines(path, lines, &reason))
            return true;
    }
    if (errorText)
        *errorText = QStringLiteral("Cannot save message file \"%1\": %2").arg(path, reason);
    return false;
}
