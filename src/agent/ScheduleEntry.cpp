#include "agent/ScheduleEntry.h"

#include "store/DataSet.h"
#include "store/DatabaseError.h"
#include "store/Field.h"

namespace agent {

namespace {

const QString MinuteFormat = QStringLiteral("yyyy-MM-dd hh:mm");

// The stored text read as the field reads it; throws the field's conversion
// error when it is no date or time.
QString storedAs(TFieldType type, const QString &text)
{
    TFieldDef def;
    def.DataType = type;
    return TField::toStored(def, text).toString();
}

}

TScheduleEntry TScheduleEntry::current(TDataSet &schedule)
{
    TScheduleEntry entry;
    entry.Group = schedule.FieldByName("Group").AsString();
    entry.MsgFile = schedule.FieldByName("MsgFile").AsString();
    entry.DateText = schedule.FieldByName("Date").AsString();
    entry.TimeText = schedule.FieldByName("Time").AsString();
    return entry;
}

bool TScheduleEntry::isDue(const QDateTime &now) const
{
    const QDate date = QDate::fromString(storedAs(TFieldType::ftDate, DateText), Qt::ISODate);
    const QTime time = QTime::fromString(storedAs(TFieldType::ftTime, TimeText), Qt::ISODate);
    const QString moment = QDateTime(date, time).toString(MinuteFormat);
    return moment <= now.toString(MinuteFormat);
}

bool TScheduleEntry::isAt(TDataSet &schedule) const
{
    return schedule.FieldByName("Group").AsString() == Group && schedule.FieldByName("MsgFile").AsString() == MsgFile
           && schedule.FieldByName("Date").AsString() == DateText && schedule.FieldByName("Time").AsString() == TimeText;
}

void TScheduleEntry::removeFrom(TDataSet &schedule) const
{
    for (schedule.First(); !schedule.Eof(); schedule.Next()) {
        if (isAt(schedule)) {
            schedule.Delete();
            return;
        }
    }
}

}
