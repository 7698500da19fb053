#pragma once

#include "store/Query.h"

#include <QString>

class TDatabase;

// The members of one group in the order they were added, read a page at a
// time. Each page is read in full and its statement finished, so no read
// snapshot stays open across the run's own writes, and memory stays the size
// of one page however large the group. Members added after Open are left to
// the next run, as a group read at once would leave them.
class TMemberPages
{
public:
    explicit TMemberPages(TDatabase *database, int pageSize = 1000);

    void Open(const QString &group);
    void Close();
    bool Eof() const;
    void Next();

    QString Name();
    QString Email();
    // The recipient's number in the store (Unikt), which its unsubscribe
    // token names.
    qint64 Number();

private:
    void readPage();

    TQuery m_page;
    const int m_pageSize;
    QString m_group;
    qint64 m_lastRow = 0;  // the row id of the group's last member at Open
    qint64 m_afterRow = 0; // the next page starts after this row id
    bool m_lastPage = true;
};
