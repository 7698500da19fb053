#include "store/SelfRefreshQuery.h"

#include <QRegularExpression>
#include <cstdlib>

QSet<QString> TSelfRefreshQuery::watchedTables() const
{
    // Words that name no table are never among the counters, so they cost
    // nothing.
    static const QRegularExpression word(QStringLiteral("[A-Za-z_][A-Za-z0-9_]*"));
    QSet<QString> names;
    for (const QString &line : SQL()) {
        for (auto match = word.globalMatch(line); match.hasNext();)
            names.insert(match.next().captured().toLower());
    }
    return names;
}

int TSelfRefreshQuery::findRow(const QVector<QVariant> &values, int near)
{
    QVector<QVariant> candidate;
    int best = -1;
    for (int row = 0; internalFetch(row, candidate); ++row) {
        if (candidate != values)
            continue;
        if (best < 0 || std::abs(row - near) < std::abs(best - near))
            best = row;
    }
    return best;
}

int TSelfRefreshQuery::internalRefresh(int row)
{
    // Bookmarks: the values of the current row and of the rows beside it.
    QVector<QVariant> current;
    QVector<QVariant> previous;
    QVector<QVariant> next;
    const bool hasCurrent = row >= 0 && internalFetch(row, current);
    const bool hasPrevious = hasCurrent && row > 0 && !isUniDirectional() && internalFetch(row - 1, previous);
    const bool hasNext = hasCurrent && internalFetch(row + 1, next);
    // Opened again over the old rows, which stay where the statement fails.
    internalOpen();
    if (!hasCurrent)
        return 0;
    if (isUniDirectional()) {
        // Read forward to the current row, or to the row that followed it
        // where it is gone; one-directional reading cannot step back to it.
        QVector<QVariant> candidate;
        for (int r = 0; internalFetch(r, candidate); ++r) {
            if (candidate == current || (hasNext && candidate == next))
                return r;
        }
        internalClose();
        internalOpen();
        return 0;
    }
    int found = findRow(current, row);
    if (found >= 0)
        return found;
    if (hasPrevious && (found = findRow(previous, row - 1)) >= 0)
        return found + 1 < RecordCount() ? found + 1 : found;
    if (hasNext && (found = findRow(next, row + 1)) >= 0)
        return found > 0 ? found - 1 : found;
    return 0;
}
