#pragma once

#include "store/DM_Databaser.h"

#include <QList>
#include <memory>
#include <thread>
#include <utility>

struct sqlite3;

class TempProgramFolder;

// A program folder whose store is at the current version, and a data module
// opened on it, as the mailer has after its start-up.
namespace StoreSetup {
// The store as the upgrade scripts up to version make it, with the version
// kept in the store and in the settings file.
void createStore(const TempProgramFolder &folder, int version = TDM_Databaser::RequiredVersion);
std::unique_ptr<TDM_Databaser> openDataModule(const TempProgramFolder &folder);
// Adds a group and its recipients through the tables, as the editor does,
// with the list headers off (the store turns them on for a new group).
// Each recipient is named by the part of the address before the "@".
void addGroup(TDM_Databaser &dm, const QString &group, const QStringList &emails);
// The same with each recipient's name and address given.
void addNamedGroup(TDM_Databaser &dm, const QString &group, const QList<std::pair<QString, QString>> &members);
// A field of the group's recipients, in the order they were added.
QStringList column(TDM_Databaser &dm, const QString &field, const QString &group);
// Another program's change to the store, through a connection of its own.
void otherProgram(const TempProgramFolder &folder, const char *sql);

// Another program holding the store's write lock, through a connection of
// its own: until destroyed or, with holdMs, for that long (released by a
// thread of its own, as the other program would).
class OtherProgramLock
{
public:
    explicit OtherProgramLock(const TempProgramFolder &folder, int holdMs = -1);
    ~OtherProgramLock();
    OtherProgramLock(const OtherProgramLock &) = delete;
    OtherProgramLock &operator=(const OtherProgramLock &) = delete;

private:
    void release();

    sqlite3 *m_db = nullptr;
    std::thread m_releaser;
};
}
