#include "support/StoreSetup.h"

#include "platform/ProfileIni.h"
#include "support/TempProgramFolder.h"
#include "platform/TextFile.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace StoreSetup {

void createStore(const TempProgramFolder &folder, int version)
{
    TDatabase db;
    db.Params = {"path=" + folder.file("DATA")};
    db.Open();
    for (int step = 1; step <= version; ++step) {
        QStringList script;
        ASSERT_TRUE(TextFile::readLines(folder.file(TDM_Databaser::ScriptName(step)), script)) << step;
        db.executeScript(script.join(u'\n'));
    }
    db.SetUserVersion(version);
    ProfileIni(folder.file("CORVAN.INI")).writeInteger("DATABAS", "VERSION", version);
}

std::unique_ptr<TDM_Databaser> openDataModule(const TempProgramFolder &folder)
{
    if (!QFile::exists(folder.file("DATA/corvane.db")))
        createStore(folder);
    auto dm = std::make_unique<TDM_Databaser>(folder.path());
    dm->DataModuleCreate();
    EXPECT_TRUE(dm->TablesOpen());
    EXPECT_FALSE(dm->TerminateRequested());
    return dm;
}

void addGroup(TDM_Databaser &dm, const QString &group, const QStringList &emails)
{
    QList<std::pair<QString, QString>> members;
    for (const QString &email : emails)
        members.append({email.section(u'@', 0, 0), email});
    addNamedGroup(dm, group, members);
}

void addNamedGroup(TDM_Databaser &dm, const QString &group, const QList<std::pair<QString, QString>> &members)
{
    dm.ta_Group.Insert();
    dm.ta_Group.FieldByName("Grupp").SetAsString(group);
    dm.ta_Group.FieldByName("Members").SetAsInteger(0);
    dm.ta_Group.Post();
    // As a group from before the list headers, whose messages are the bytes
    // they always were; the tests of the headers turn them on.
    dm.StoreListHeaders(group, false);
    for (const auto &[name, email] : members) {
        dm.ta_Emails.Insert();
        dm.ta_Emails.FieldByName("Name").SetAsString(name);
        dm.ta_Emails.FieldByName("Email").SetAsString(email);
        dm.ta_Emails.Post();
    }
}

QStringList column(TDM_Databaser &dm, const QString &field, const QString &group)
{
    TQuery q(&dm.Databas);
    q.UniDirectional = true;
    q.AddSQL(QStringLiteral("SELECT %1 FROM EMAILS WHERE Grupp = :g ORDER BY rowid").arg(field));
    q.SetParam("g", group);
    QStringList values;
    for (q.Open(); !q.Eof(); q.Next())
        values.append(q.Fields(0).Value().toString());
    return values;
}

OtherProgramLock::OtherProgramLock(const TempProgramFolder &folder, int holdMs)
{
    EXPECT_EQ(sqlite3_open(folder.file("DATA/corvane.db").toUtf8().constData(), &m_db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(m_db, "BEGIN IMMEDIATE; UPDATE general SET LopNr2 = 1", nullptr, nullptr, nullptr),
              SQLITE_OK)
        << sqlite3_errmsg(m_db);
    if (holdMs >= 0) {
        m_releaser = std::thread([this, holdMs] {
            std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
            release();
        });
    }
}

OtherProgramLock::~OtherProgramLock()
{
    if (m_releaser.joinable())
        m_releaser.join();
    else
        release();
    sqlite3_close(m_db);
}

void OtherProgramLock::release()
{
    sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
}

void otherProgram(const TempProgramFolder &folder, const char *sql)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(folder.file("DATA/corvane.db").toUtf8().constData(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

}
