#include "store/Refresher.h"

#include "store/Database.h"
#include "store/Table.h"
#include "platform/Prompts.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <algorithm>
#include <memory>

namespace {

QPointer<TRefresher> s_instance;
// Without an application nothing frees the coordinator: this does.
std::unique_ptr<TRefresher> s_unowned;

}

TRefresher &TRefresher::instance()
{
    if (!s_instance) {
        auto *refresher = new TRefresher(QCoreApplication::instance());
        if (!QCoreApplication::instance())
            s_unowned.reset(refresher);
        s_instance = refresher;
    }
    return *s_instance;
}

TRefresher *TRefresher::existing()
{
    return s_instance;
}

TRefresher::TRefresher(QObject *parent) : QObject(parent)
{
    m_timer.setInterval(CheckIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &TRefresher::CheckChanges);
    // The loop is about to wait for the next event: nothing else is to be
    // done, which is the moment to look at one dataset and refresh.
    if (QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &TRefresher::loopAboutToWait);
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
            if (state == Qt::ApplicationActive)
                Activate();
        });
    }
}

TRefresher::Registration *TRefresher::find(const TDataSet *dataSet)
{
    const auto it = std::find_if(m_registered.begin(), m_registered.end(),
                                 [dataSet](const Registration &r) { return r.dataSet == dataSet; });
    return it == m_registered.end() ? nullptr : &*it;
}

bool TRefresher::IsRegistered(const TDataSet *dataSet) const
{
    return std::any_of(m_registered.begin(), m_registered.end(),
                       [dataSet](const Registration &r) { return r.dataSet == dataSet; });
}

bool TRefresher::IsPending(const TDataSet *dataSet) const
{
    return m_pending.contains(dataSet);
}

void TRefresher::Register(TDataSet *dataSet, TDatabase *database, const QSet<QString> &tables,
                          const TTableCounters &seen, RefreshProcedure refresh)
{
    if (IsRegistered(dataSet))
        return;
    m_registered.push_back({dataSet, database, tables, seen, std::move(refresh)});
    // Nothing to look at, nothing to wake up for.
    if (!m_timer.isActive())
        m_timer.start();
}

void TRefresher::Unregister(TDataSet *dataSet)
{
    std::erase_if(m_registered, [dataSet](const Registration &r) { return r.dataSet == dataSet; });
    m_pending.removeAll(dataSet);
    if (m_registered.empty())
        m_timer.stop();
}

void TRefresher::MarkPending(TDataSet *dataSet)
{
    if (m_pending.contains(dataSet))
        return;
    m_pending.append(dataSet);
    emit changeSeen(dataSet);
}

bool TRefresher::canUse(const TDatabase *database)
{
    return database && database->Connected() && !database->InTransaction();
}

void TRefresher::compare(Registration &registration, const TTableCounters &now)
{
    bool changed = false;
    for (auto counter = now.cbegin(); counter != now.cend(); ++counter) {
        if (registration.tables.contains(counter.key()) && registration.seen.value(counter.key(), -1) != counter.value())
            changed = true;
    }
    if (!changed)
        return;
    // Only a later change queues the dataset again, also when this refresh
    // fails.
    registration.seen = now;
    MarkPending(registration.dataSet);
}

void TRefresher::CheckChanges()
{
    QList<TDatabase *> databases;
    for (const Registration &r : m_registered) {
        if (!databases.contains(r.database) && canUse(r.database))
            databases.append(r.database);
    }
    for (TDatabase *database : databases) {
        TTableCounters now;
        try {
            now = readTableCounters(*database);
        } catch (const std::exception &) {
            continue; // a store without counters, or one locked just now
        }
        // Marking pending may run handlers that unregister datasets.
        for (size_t i = 0; i < m_registered.size(); ++i) {
            if (m_registered[i].database == database)
                compare(m_registered[i], now);
        }
    }
}

void TRefresher::Idle()
{
    if (m_idleRunning)
        return; // a refresh that runs a nested event loop
    m_idleRunning = true;
    if (!m_registered.empty()) {
        m_turn = (m_turn + 1) % m_registered.size();
        Registration &r = m_registered[m_turn];
        if (r.dataSet->State() == TDataSetState::dsBrowse && canUse(r.database)) {
            try {
                compare(r, readTableCounters(*r.database));
            } catch (const std::exception &) {
            }
        }
    }
    if (!m_pending.isEmpty())
        ProcessPending();
    m_idleRunning = false;
}

void TRefresher::loopAboutToWait()
{
    // A program at work, such as one sending to a group, waits for its
    // sockets thousands of times a second; looking at the store at each of
    // those waits would cost more than the work itself. The timer's check
    // still sees every change within its interval.
    if (m_sinceIdle.isValid() && m_sinceIdle.elapsed() < IdleGapMs)
        return;
    m_sinceIdle.start();
    Idle();
}

void TRefresher::Activate()
{
    CheckChanges();
    if (!m_pending.isEmpty())
        ProcessPending();
}

bool TRefresher::mayRefresh(const Registration &registration) const
{
    if (!canUse(registration.database))
        return false;
    // A master reread under a detail's edit would move the detail away from
    // the row being edited.
    const auto *table = qobject_cast<const TTable *>(registration.dataSet);
    return !table || !table->DetailInEditState();
}

void TRefresher::ProcessPending()
{
    // The user is answering a question about the rows shown now.
    if (Prompt::showing())
        return;
    const QList<TDataSet *> pending = m_pending;
    for (TDataSet *dataSet : pending) {
        // An earlier refresh's handlers may have unregistered it.
        Registration *registration = m_pending.contains(dataSet) ? find(dataSet) : nullptr;
        if (!registration) {
            m_pending.removeAll(dataSet);
            continue;
        }
        if (!mayRefresh(*registration))
            continue;
        const RefreshProcedure refresh = registration->refresh;
        bool done = true;
        try {
            done = refresh();
        } catch (const std::exception &) {
            // Silent: the dataset keeps what it showed.
        }
        if (done)
            m_pending.removeAll(dataSet);
    }
}
