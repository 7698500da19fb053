#pragma once

#include "store/DM_Databaser.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <vector>

// A program folder with a current store, for the benchmarks.
namespace BenchStore {
// Creates the store in folder (with a trailing '/').
void create(const QString &folder);
// Adds a group of count recipients in one transaction, straight through SQL.
void fillGroup(TDM_Databaser &dm, const QString &group, int count);
// The process's resident memory now, in kB.
long residentKb();
// The middle one of a run of timings.
double median(std::vector<double> values);

// A program folder of its own, gone with the benchmark, whose store is made
// and opened as the mailer opens it.
class Workspace
{
public:
    Workspace();
    // With a trailing '/'.
    QString folder() const { return m_dir.path() + '/'; }
    TDM_Databaser &dm() { return *m_dm; }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<TDM_Databaser> m_dm;
};
}
