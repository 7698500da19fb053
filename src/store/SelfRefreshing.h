#pragma once

#include "store/DataSet.h"
#include "store/Refresher.h"
#include "store/TableChanges.h"

#include <QPointer>
#include <QSet>

// What a self-refreshing table and a self-refreshing query add to their
// dataset: while open (and SelfRefreshEnabled), the dataset is registered
// with the program's refresh coordinator, which rereads it at an idle moment
// after another program or statement changed its tables.
template <typename Dataset>
class TSelfRefreshing : public Dataset
{
public:
    using Dataset::Dataset;
    ~TSelfRefreshing() override { UnregisterRefresh(); }

    bool SelfRefreshEnabled() const { return m_selfRefreshEnabled; }
    // On an open dataset this registers or unregisters at once (dropping a
    // pending refresh); on a closed one only the value changes.
    void SetSelfRefreshEnabled(bool enabled)
    {
        if (enabled == m_selfRefreshEnabled)
            return;
        m_selfRefreshEnabled = enabled;
        if (!this->Active())
            return;
        if (enabled)
            RegisterRefresh();
        else
            UnregisterRefresh();
    }

    // Fired just before and just after an automatic refresh.
    TDataSet::TDataSetNotifyEvent BeforeRefresh;
    TDataSet::TDataSetNotifyEvent AfterRefresh;

protected:
    // The lower-case names of the tables whose changes the dataset shows.
    virtual QSet<QString> watchedTables() const = 0;

    virtual void DoBeforeRefresh()
    {
        if (BeforeRefresh)
            BeforeRefresh(*this);
    }

    virtual void DoAfterRefresh()
    {
        if (AfterRefresh)
            AfterRefresh(*this);
    }

    virtual void RegisterRefresh()
    {
        if (!m_selfRefreshEnabled)
            return;
        TRefresher::instance().Register(this, this->Database(), watchedTables(), m_countersAtRead,
                                        [this] { return RefreshProcedure(); });
    }

    virtual void UnregisterRefresh()
    {
        if (TRefresher *refresher = TRefresher::existing())
            refresher->Unregister(this);
    }

    // The counters are read before the rows, so a change made between the
    // two is seen as a change.
    void internalOpen() override
    {
        m_countersAtRead.clear();
        try {
            if (this->Database())
                m_countersAtRead = readTableCounters(*this->Database());
        } catch (const std::exception &) {
            // A store without counters: any counter seen later is a change.
        }
        Dataset::internalOpen();
    }

    void doAfterOpen() override
    {
        RegisterRefresh();
        Dataset::doAfterOpen();
    }

    void doBeforeClose() override
    {
        UnregisterRefresh();
        Dataset::doBeforeClose();
    }

private:
    // Rereads the rows in browse state only, the controls kept still until
    // the rows are read and told once afterwards, also after an error.
    bool RefreshProcedure()
    {
        if (this->State() != TDataSetState::dsBrowse)
            return false;
        // A handler may free the dataset.
        const QPointer<QObject> alive(this);
        this->DisableControls();
        try {
            DoBeforeRefresh();
            this->Refresh();
            DoAfterRefresh();
        } catch (...) {
            if (alive)
                this->EnableControls();
            throw;
        }
        if (alive)
            this->EnableControls();
        return true;
    }

    bool m_selfRefreshEnabled = true;
    TTableCounters m_countersAtRead;
};
