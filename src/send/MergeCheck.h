#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class TDatabase;
class TMergeMessage;

// What a message's placeholders will find in a group, looked at before the
// first member gets it: a field that no member has (most likely a name typed
// wrong, so it is told even where a default covers it), and members without a
// value where a placeholder has no default and would write nothing. A "{{"
// that opens no placeholder is counted too: it goes out as typed.
class TMergeCheck
{
public:
    // How many members a gap names by name.
    static constexpr int NamesShown = 3;

    struct Gap
    {
        QString field;
        // The members without a value, and the first few of them by name (the
        // address where the name is empty), in the group's order.
        int members = 0;
        QStringList firstMembers;
        // No member of the group has the field at all.
        bool noneHas = false;
    };

    TMergeCheck(TDatabase &database, const QString &group, const TMergeMessage &message);

    bool clean() const { return m_gaps.isEmpty() && m_stray == 0; }
    const QList<Gap> &gaps() const { return m_gaps; }
    int stray() const { return m_stray; }
    // One line per finding, for the box and the agent's log.
    QStringList lines() const;

private:
    // The members of the group without a value of the field.
    Gap missing(TDatabase &database, const QString &group, const QString &field) const;

    QList<Gap> m_gaps;
    int m_stray = 0;
};
