#pragma once

#include "store/DM_Databaser.h"

#include <memory>

class TempProgramFolder;

// A program folder whose store is at the current version, and a data module
// opened on it, as the mailer has after its start-up.
namespace StoreSetup {
void createStore(const TempProgramFolder &folder);
std::unique_ptr<TDM_Databaser> openDataModule(const TempProgramFolder &folder);
// Adds a group and its recipients through the tables, as the editor does.
void addGroup(TDM_Databaser &dm, const QString &group, const QStringList &emails);
// Another program's change to the store, through a connection of its own.
void otherProgram(const TempProgramFolder &folder, const char *sql);
}
