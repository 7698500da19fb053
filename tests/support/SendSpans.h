#pragma once

#include <QList>
#include <algorithm>

// The most of the times (milliseconds) that fall in any one half-open span
// of spanMs: what a sending limit of so many per span must keep down.
inline int mostInAnySpan(const QList<qint64> &times, qint64 spanMs)
{
    QList<qint64> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    int most = 0;
    for (qsizetype first = 0; first < sorted.size(); ++first) {
        const auto end = std::lower_bound(sorted.cbegin() + first, sorted.cend(), sorted[first] + spanMs);
        most = std::max(most, static_cast<int>(end - (sorted.cbegin() + first)));
    }
    return most;
}
