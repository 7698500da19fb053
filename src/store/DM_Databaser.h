#pragma once

#include "store/Database.h"
#include "store/Query.h"
#include "store/SelfRefreshTable.h"

#include <QObject>
#include <QString>

// The data module: owns the connection to the store, its four tables and the
// shared queries for the whole life of the mailer. Start-up checks the
// store's version and upgrades it by the scripts shipped beside the program.
// The store and the settings file lie in the files folder: the program folder
// itself where it keeps its own files, the user's folder for an installed copy
// (platform/FileLocations.h).
class TDM_Databaser : public QObject
{
    Q_OBJECT
public:
    // Version 2 keeps the send times of the sending limit, version 3 the
    // agent's place in the send of each schedule entry, version 4 the
    // addresses never mailed again, version 5 recipients' further fields.
    static constexpr int RequiredVersion = 5;
    // A store from before the store kept its version is at this one.
    static constexpr int UnmarkedVersion = 1;

    // A program folder that keeps its own files.
    explicit TDM_Databaser(const QString &programFolder, QObject *parent = nullptr);
    TDM_Databaser(const QString &programFolder, const QString &filesFolder, QObject *parent = nullptr);
    ~TDM_Databaser() override;

    // Version check and upgrade, connect, open the tables. A failure is shown
    // through the standard error report and skips the remaining steps.
    void DataModuleCreate();
    // Set when start-up decided the program ends (upgrade done or refused).
    bool TerminateRequested() const { return m_terminateRequested; }
    bool TablesOpen() const { return ta_General.Active(); }
    // The agent's start: connects to the store as the mailer left it and
    // opens the schedule table, without upgrading or asking anything. A
    // store that is missing, or at another version than this program uses,
    // throws an Exception that says so.
    void OpenSchedule();

    const QString &ProgramFolder() const { return m_programFolder; }
    QString DataFolder() const { return m_filesFolder + QStringLiteral("DATA"); }
    QString IniFileName() const { return m_filesFolder + QStringLiteral("CORVAN.INI"); }
    static QString ScriptName(int version);

    // Gives up the transaction under way, if any, and shows the store as the
    // rollback left it: every table's edit is given up and its rows reread,
    // the counter row too, which a first recipient may have just inserted.
    void RollbackAndReread();

    // Makes the group's Members equal to its number of recipients and shows
    // the new count in the group table.
    void RefreshMemberCount(const QString &group);
    int MemberCount(const QString &group);
    bool GroupExists(const QString &name);

    // A group send's bookkeeping. The resume position is the 1-based number
    // of the member a run starts with next time; 0 (also for a group that is
    // not there) means from the first.
    int ReadLastMail(const QString &group);
    void StoreLastMail(const QString &group, int number);
    // The agent's place in the send of a schedule entry (the entry's rowid):
    // the 1-based number of the member it sends to next, 0 from the first.
    // Deleting the entry clears it.
    int ReadEntryPlace(qint64 entry);
    void StoreEntryPlace(qint64 entry, int number);
    // Whether the group's messages carry the list headers; false for a group
    // from before they could.
    bool ListHeadersFor(const QString &group);
    void StoreListHeaders(const QString &group, bool on);
    // The store's own name, drawn once when it was made or upgraded.
    QString StoreIdentity();
    // Today, as the group's date of its last send.
    void StampLastSent(const QString &group);
    // Hands out count consecutive recipient numbers and returns the first;
    // with count 0 it tells the next number without handing it out.
    int TakeRecipientNumbers(int count);

    TDatabase Databas;
    // Each table shows what another program or a statement changed at the
    // next idle moment.
    TSelfRefreshTable ta_Group;
    TSelfRefreshTable ta_Emails;
    TSelfRefreshTable ta_Agent;
    TSelfRefreshTable ta_General;
    TQuery qu_Slask;
    TQuery qu_Uppdat;

private:
    // False when start-up is not to go on.
    bool CheckVersion();
    // The version of the store in the data folder as the store itself tells
    // it: 0 when there is no store yet. A store from before the store kept
    // its version is at UnmarkedVersion, the only one there was then.
    int VersionInStore() const;
    void Connect();
    void OpenTables();
    void ta_EmailsAfterInsert(TDataSet &dataSet);
    void ta_EmailsAfterPost(TDataSet &dataSet);
    // The first column of the first row of a query of two lines; a null
    // value when it yields no row.
    QVariant ReadValue(const QString &select, const QString &where, const QVariantMap &params);
    // An update of two lines on qu_Uppdat.
    void RunUpdate(const QString &update, const QString &where, const QVariantMap &params);

    QString m_programFolder;
    QString m_filesFolder;
    bool m_terminateRequested = false;
    // Single values are read on a query of their own, so reading one never
    // disturbs a reading of qu_Slask, such as the copy of a group's
    // recipients, whose posts recount.
    TQuery m_valueQuery;
};
