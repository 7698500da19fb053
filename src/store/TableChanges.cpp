#include "store/TableChanges.h"

#include "store/Database.h"
#include "store/SqlStatement.h"

TTableCounters readTableCounters(const TDatabase &database)
{
    SqlStatement select(database.handle(), QStringLiteral("SELECT TableName, Counter FROM TableChanges"));
    TTableCounters counters;
    while (select.step())
        counters.insert(select.value(0).toString().toLower(), select.value(1).toLongLong());
    return counters;
}
