#pragma once

#include "store/TableChanges.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <functional>
#include <vector>

class TDatabase;
class TDataSet;

// The one refresh coordinator of a program. Self-refreshing datasets are
// registered while they are open. Once a second it reads the store's change
// counters, one statement for each connection, and puts every dataset whose
// tables changed on the pending list; at each idle moment of the event loop
// (the loop has nothing left to do and is about to wait) it checks one
// registered dataset in turn and refreshes the pending ones that can be.
// A pending dataset waits while it, or a detail of it, is being edited, while
// its connection is inside a transaction and while a message box asks the
// user something. Failures are silent: the dataset keeps what it shows until
// its tables change again.
class TRefresher : public QObject
{
    Q_OBJECT
public:
    static constexpr int CheckIntervalMs = 1000;
    // The least time between two idle moments that look at the store.
    static constexpr int IdleGapMs = 50;
    // Refreshes the dataset; false when it could not now (not browsed), which
    // leaves it pending.
    using RefreshProcedure = std::function<bool()>;

    // The program's coordinator, made at the first call and freed with the
    // application.
    static TRefresher &instance();
    // The coordinator if one was made.
    static TRefresher *existing();

    // tables: the lower-case names whose changes the dataset shows; seen: the
    // counters as they were when its rows were read. A dataset registered
    // already stays as it is.
    void Register(TDataSet *dataSet, TDatabase *database, const QSet<QString> &tables, const TTableCounters &seen,
                  RefreshProcedure refresh);
    // Also drops the dataset from the pending list.
    void Unregister(TDataSet *dataSet);
    void MarkPending(TDataSet *dataSet);
    bool IsRegistered(const TDataSet *dataSet) const;
    bool IsPending(const TDataSet *dataSet) const;

    // The global check: reads the counters and marks the datasets whose
    // tables changed since they last saw them.
    void CheckChanges();
    // An idle moment: checks the next registered dataset in turn, then
    // refreshes what is pending.
    void Idle();
    // The application became active: every dataset is checked and what is
    // pending refreshed at once.
    void Activate();
    void ProcessPending();

signals:
    // A dataset was put on the pending list.
    void changeSeen(TDataSet *dataSet);

private:
    struct Registration
    {
        TDataSet *dataSet;
        TDatabase *database;
        QSet<QString> tables;
        TTableCounters seen;
        RefreshProcedure refresh;
    };

    explicit TRefresher(QObject *parent);
    Registration *find(const TDataSet *dataSet);
    // Marks the dataset pending when one of its tables' counters moved.
    void compare(Registration &registration, const TTableCounters &now);
    // A connection in the middle of a transaction shows rows that may still
    // be rolled back: it is neither checked nor refreshed.
    static bool canUse(const TDatabase *database);
    bool mayRefresh(const Registration &registration) const;
    // The event loop is about to wait: an idle moment, unless the last one
    // was less than IdleGapMs ago.
    void loopAboutToWait();

    std::vector<Registration> m_registered;
    QList<TDataSet *> m_pending;
    size_t m_turn = 0;
    QTimer m_timer;
    bool m_idleRunning = false;
    QElapsedTimer m_sinceIdle;
};
