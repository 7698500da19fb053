#pragma once

#include <QString>

class TDM_Databaser;

// A program folder with a current store, for the benchmarks.
namespace BenchStore {
// Creates the store in folder (with a trailing '/').
void create(const QString &folder);
// Adds a group of count recipients in one transaction, straight through SQL.
void fillGroup(TDM_Databaser &dm, const QString &group, int count);
// The process's resident memory now, in kB.
long residentKb();
}
