#pragma once

#include "store/Database.h"
#include "store/Query.h"
#include "store/Table.h"

#include <QObject>
#include <QString>

// The data module: owns the connection to the store, its four tables and the
// shared queries for the whole life of the mailer. Start-up checks the
// store's version and upgrades it by the scripts shipped beside the program.
class TDM_Databaser : public QObject
{
    Q_OBJECT
public:
    static constexpr int RequiredVersion = 1;

    explicit TDM_Databaser(const QString &programFolder, QObject *parent = nullptr);
    ~TDM_Databaser() override;

    // Version check and upgrade, connect, open the tables. A failure is shown
    // through the standard error report and skips the remaining steps.
    void DataModuleCreate();
    // Set when start-up decided the program ends (upgrade done or refused).
    bool TerminateRequested() const { return m_terminateRequested; }
    bool TablesOpen() const { return ta_General.Active(); }

    const QString &ProgramFolder() const { return m_programFolder; }
    QString DataFolder() const { return m_programFolder + QStringLiteral("DATA"); }
    QString IniFileName() const { return m_programFolder + QStringLiteral("CORVAN.INI"); }
    static QString ScriptName(int version);

    // Makes the group's Members equal to its number of recipients and shows
    // the new count in the group table.
    void RefreshMemberCount(const QString &group);
    // Hands out count consecutive recipient numbers and returns the first;
    // with count 0 it tells the next number without handing it out.
    int TakeRecipientNumbers(int count);

    TDatabase Databas;
    TTable ta_Group;
    TTable ta_Emails;
    TTable ta_Agent;
    TTable ta_General;
    TQuery qu_Slask;
    TQuery qu_Uppdat;

private:
    // False when start-up is not to go on.
    bool CheckVersion();
    void Connect();
    void OpenTables();
    void ta_EmailsAfterInsert(TDataSet &dataSet);
    void ta_EmailsAfterPost(TDataSet &dataSet);

    QString m_programFolder;
    bool m_terminateRequested = false;
    // Counting on a query of its own never disturbs a reading of qu_Slask,
    // such as the copy of a group's recipients, whose posts recount.
    TQuery m_countQuery;
};
