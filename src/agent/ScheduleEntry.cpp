#include "agent/ScheduleEntry.h"

#include "store/Field.h"
#include "store/Table.h"

namespace agent {

namespace {

const QString MinuteFormat = QStringLiteral("yyyy-MM-dd hh:mm");

// The stored text read as the field reads it (ISO date or time); throws the
// field's conversion error when it is no date or time.
QString storedAs(TFieldType type, const QString &text)
{
    TFieldDef def;
    def.DataType = type;
    return TField::toStored(def, text).toString();
}

}

TScheduleEntry TScheduleEntry::current(TTable &schedule)
{
    TScheduleEntry entry;
    entry.Group = schedule.FieldByName("Group").AsString();
    entry.MsgFile = schedule.FieldByName("MsgFile").AsString();
    entry.DateText = schedule.FieldByName("Date").AsString();
    entry.TimeText = schedule.FieldByName("Time").AsString();
    const QDate date = QDate::fromString(storedAs(TFieldType::ftDate, entry.DateText), Qt::ISODate);
    const QTime time = QTime::fromString(storedAs(TFieldType::ftTime, entry.TimeText), Qt::ISODate);
    entry.Minute = date.toString(QStringLiteral("yyyy-MM-dd")) + u' ' + time.toString(QStringLiteral("hh:mm"));
    entry.RowId = schedule.CurrentRowId();
    return entry;
}

std::optional<TScheduleEntry> TScheduleEntry::dueFirst(TTable &schedule)
{
    std::optional<TScheduleEntry> first;
    int firstRow = 0;
    schedule.DisableControls();
    try {
        for (schedule.First(); !schedule.Eof(); schedule.Next()) {
            TScheduleEntry entry = current(schedule);
            if (!first || entry.Minute < first->Minute) {
                first = std::move(entry);
                firstRow = schedule.CurrentRow();
            }
        }
    } catch (...) {
        schedule.EnableControls();
        throw;
    }
    if (first)
        schedule.MoveToRow(firstRow);
    schedule.EnableControls();
    return first;
}

bool TScheduleEntry::isDue(const QDateTime &now) const
{
    return Minute <= now.toString(MinuteFormat);
}

bool TScheduleEntry::isAt(TTable &schedule) const
{
    return schedule.FieldByName("Group").AsString() == Group && schedule.FieldByName("MsgFile").AsString() == MsgFile
           && schedule.FieldByName("Date").AsString() == DateText && schedule.FieldByName("Time").AsString() == TimeText;
}

void TScheduleEntry::removeFrom(TTable &schedule) const
{
    schedule.Refresh();
    // Its own row first: a twin entry keeps its place in the send.
    int match = -1;
    for (schedule.First(); !schedule.Eof(); schedule.Next()) {
        if (!isAt(schedule))
            continue;
        if (match < 0 || schedule.CurrentRowId() == RowId)
            match = schedule.CurrentRow();
        if (schedule.CurrentRowId() == RowId)
            break;
    }
    if (match < 0)
        return;
    schedule.MoveToRow(match);
    schedule.Delete();
}

}
