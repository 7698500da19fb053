#pragma once

#include "send/DraftMessage.h"
#include "send/MergeMessage.h"

#include <QString>
#include <QStringList>

// One message as each member of its group reads it: the run hands it a
// member's name, address and field values, and takes the subject and body
// lines written for that member. A message without placeholders is handed
// out as it stands, the same strings for everyone, so its bytes on the wire
// are those of a run that knows nothing of placeholders.
class TMemberRendering
{
public:
    // mark goes before every subject (a test send's "[Test] "); empty: none.
    explicit TMemberRendering(const TDraftMessage &message, const QString &mark = {});

    // The recipient fields the message uses, in the order fieldValues come.
    const QStringList &fieldNames() const { return m_merge.fieldNames(); }
    const TMergeMessage &merge() const { return m_merge; }

    void render(const QString &name, const QString &email, const QStringList &fieldValues);
    const QString &subject() const { return m_subject; }
    const QStringList &lines() const { return m_lines; }

private:
    TMergeMessage m_merge;
    QString m_group;
    QString m_mark;
    QString m_subject;
    QStringList m_lines;
};
