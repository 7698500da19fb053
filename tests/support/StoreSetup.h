#pragma once

#include "store/DM_Databaser.h"

#include <QList>
#include <memory>
#include <utility>

class TempProgramFolder;

// A program folder whose store is at the current version, and a data module
// opened on it, as the mailer has after its start-up.
namespace StoreSetup {
void createStore(const TempProgramFolder &folder);
std::unique_ptr<TDM_Databaser> openDataModule(const TempProgramFolder &folder);
// Adds a group and its recipients through the tables, as the editor does.
// Each recipient is named by the part of the address before the "@".
void addGroup(TDM_Databaser &dm, const QString &group, const QStringList &emails);
// The same with each recipient's name and address given.
void addNamedGroup(TDM_Databaser &dm, const QString &group, const QList<std::pair<QString, QString>> &members);
// Another program's change to the store, through a connection of its own.
void otherProgram(const TempProgramFolder &folder, const char *sql);
}
