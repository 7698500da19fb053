#pragma once

#include "store/SelfRefreshQuery.h"
#include "store/SuppressionList.h"

#include <QObject>

class TDatabase;

// The suppression list kept current while the object lives: read again when
// this or another program changes it, at the refresh coordinator's next
// idle moment, for the windows that show who is suppressed.
class TSuppressionWatch : public QObject
{
    Q_OBJECT
public:
    explicit TSuppressionWatch(TDatabase &database, QObject *parent = nullptr);

    TSuppressionList &List() { return m_list; }
    // "Suppressed: hard bounce" for an address on the list; empty otherwise.
    QString RemarkFor(const QString &address) const;

signals:
    // The list was read again.
    void changed();

private:
    TSuppressionList m_list;
    // Watches the table; its one row is never used.
    TSelfRefreshQuery m_query;
};
