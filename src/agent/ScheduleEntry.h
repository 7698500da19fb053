#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

class TTable;

namespace agent {

// One scheduled send as the agent reads it from the schedule table: the
// group, the message file and the minute it is due.
struct TScheduleEntry
{
    QString Group;
    QString MsgFile;
    // The stored texts, which also tell the entry apart from the others.
    QString DateText;
    QString TimeText;
    // Its minute as "yyyy-MM-dd hh:mm", made of the date and time texts
    // alone: a moment in the hour a clock skips in spring has no date and
    // time value, but its text still sorts where it belongs.
    QString Minute;
    // The entry's row in the store, which keeps its place in the send.
    qint64 RowId = 0;

    // The entry at the table's current row. A date or time that cannot be
    // read throws EDatabaseError with the conversion error's text.
    static TScheduleEntry current(TTable &schedule);
    // The entry due first, by its date and time; of entries of one minute
    // the first in table order. The table stands on its row afterwards.
    // Nothing when the schedule is empty.
    static std::optional<TScheduleEntry> dueFirst(TTable &schedule);

    // Due once its minute has come: its minute is not greater than that of
    // now, so entries of a past day are due at once.
    bool isDue(const QDateTime &now) const;

    // Deletes the row that holds this entry, found by its values among the
    // rows read afresh from the store rather than by its place, so a row the
    // mailer changed meanwhile (also while a box kept the table from
    // following) is not taken for it; an entry that is gone already (deleted
    // in the mailer) stays gone.
    void removeFrom(TTable &schedule) const;

private:
    bool isAt(TTable &schedule) const;
};

}
