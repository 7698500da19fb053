#pragma once

#include "send/MergeTemplate.h"

#include <QStringList>

// A message's subject and body as each member reads them: the placeholders
// of both filled in with the member's own values. Name, Email and Group are
// the member's own; any other name is one of the recipient's fields. A message
// without placeholders is sent as it is.
class TMergeMessage
{
public:
    TMergeMessage() = default;
    TMergeMessage(const QString &subject, const QStringList &lines);

    bool isPlain() const { return m_subject.isPlain() && m_body.isPlain(); }
    // The names the message uses, in the order values() lists them.
    const MergeNames &names() const { return m_names; }
    // The names that are recipient fields, in the order fieldValues come.
    const QStringList &fieldNames() const { return m_fieldNames; }
    // Every name's value for one member.
    QStringList values(const QString &name, const QString &email, const QString &group,
                       const QStringList &fieldValues) const;

    QString subject(const QStringList &values) const { return m_subject.render(values); }
    QStringList lines(const QStringList &values) const;

    // The "{{" of subject and body that open no placeholder.
    int stray() const { return m_subject.stray() + m_body.stray(); }
    // Whether a use of the name has no default.
    bool needsValue(int index) const { return m_subject.needsValue(index) || m_body.needsValue(index); }

private:
    enum Own { NameValue = -2, EmailValue = -3, GroupValue = -4 };

    MergeNames m_names;
    MergeTemplate m_subject;
    MergeTemplate m_body;
    QStringList m_lines;
    QStringList m_fieldNames;
    // Per name: its index into fieldNames, or one of Own.
    QList<int> m_fieldOf;
};
