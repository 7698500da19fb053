#pragma once

#include <QString>
#include <vector>

class TDM_Databaser;

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
}
