#pragma once

#include "store/Query.h"

#include <QString>
#include <QStringList>

class TDatabase;

// The members of one group in the order they were added, read a page at a
// time. Each page is read in full and its statement finished, so no read
// snapshot stays open across the run's own writes, and memory stays the size
// of one page however large the group. Members added after Open are left to
// the next run, as a group read at once would leave them. The recipient
// fields a message uses come with the page, in the same statement.
class TMemberPages
{
public:
    explicit TMemberPages(TDatabase *database, int pageSize = 1000);

    // fields: the recipient fields whose values Fields() gives, in this order;
    // first: the 1-based number of the member to start at.
    void Open(const QString &group, const QStringList &fields = {}, int first = 1);
    void Close();
    bool Eof() const;
    void Next();

    QString Name();
    QString Email();
    // The recipient's number in the store (Unikt), which its unsubscribe
    // token names.
    qint64 Number();
    // The member's values of the fields named at Open; empty where it has none.
    QStringList Fields();

private:
    void readPage();

    TQuery m_page;
    const int m_pageSize;
    QString m_group;
    QStringList m_fields;
    qint64 m_lastRow = 0;  // the row id of the group's last member at Open
    qint64 m_afterRow = 0; // the next page starts after this row id
    bool m_lastPage = true;
    int m_skip = 0; // members the first page passes over
};
