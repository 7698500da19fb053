#include "store/SelfRefreshTable.h"

QSet<QString> TSelfRefreshTable::watchedTables() const
{
    QSet<QString> tables{TableName().toLower()};
    for (const TFieldDef &def : FieldDefs()) {
        if (def.LookupDataSet)
            tables.insert(def.LookupDataSet->TableName().toLower());
    }
    return tables;
}
