#pragma once

#include <QString>
#include <QStringList>

// A message as it goes to a group: the group, the subject, the full paths of
// the attached files and the body lines (the text, then the signature's
// lines). The mailer session keeps the one being composed; a run sends a copy
// of its own, so composing the next message while it runs changes nothing.
struct TDraftMessage
{
    QString Group;
    QString Subject;
    QStringList Attachments;
    QStringList Lines;
};
