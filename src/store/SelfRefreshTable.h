#pragma once

#include "store/SelfRefreshing.h"
#include "store/Table.h"

// A table of the store that rereads itself when another program or statement
// changed it (or a table its lookup fields read), keeping its current row.
class TSelfRefreshTable : public TSelfRefreshing<TTable>
{
    Q_OBJECT
public:
    using TSelfRefreshing<TTable>::TSelfRefreshing;

protected:
    QSet<QString> watchedTables() const override;
};
