#pragma once

#include <QDateTime>
#include <QString>

class TDataSet;

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

    // The entry at the dataset's current row. A date or time that cannot be
    // read throws EDatabaseError with the conversion error's text.
    static TScheduleEntry current(TDataSet &schedule);

    // Due once its minute has come: its "yyyy-mm-dd hh:mm" is not greater
    // than that of now, so entries of a past day are due at once.
    bool isDue(const QDateTime &now) const;

    // Deletes the row that holds this entry, found by its values rather
    // than by its place, so a row the mailer changed meanwhile is not taken
    // for it; an entry that is gone already (deleted in the mailer) stays gone.
    void removeFrom(TDataSet &schedule) const;

private:
    bool isAt(TDataSet &schedule) const;
};

}
