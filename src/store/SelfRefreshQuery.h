#pragma once

#include "store/Query.h"
#include "store/SelfRefreshing.h"

// A query that runs its statement again when another program or statement
// changed a table it reads. The current row is found again by its values;
// where it is gone, the row that followed it takes its place, or where that
// is gone too, the row before the one that followed it.
class TSelfRefreshQuery : public TSelfRefreshing<TQuery>
{
    Q_OBJECT
public:
    using TSelfRefreshing<TQuery>::TSelfRefreshing;

protected:
    // Every name in the statement that is also a table's name.
    QSet<QString> watchedTables() const override;
    int internalRefresh(int row) override;

private:
    // The row nearest to near whose values equal values; -1 when none.
    int findRow(const QVector<QVariant> &values, int near);
};
