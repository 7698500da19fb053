#include "support/StoreSetup.h"

#include "platform/ProfileIni.h"
#include "support/TempProgramFolder.h"
#include "platform/TextFile.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace StoreSetup {

void createStore(const TempProgramFolder &folder)
{
    TDatabase db;
    db.Params = {"path=" + folder.file("DATA")};
    db.Open();
    QStringList script;
    ASSERT_TRUE(TextFile::readLines(folder.file(TDM_Databaser::ScriptName(1)), script));
    db.executeScript(script.join(u'\n'));
    ProfileIni(folder.file("CORVAN.INI")).writeInteger("DATABAS", "VERSION", TDM_Databaser::RequiredVersion);
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
    for (const auto &[name, email] : members) {
        dm.ta_Emails.Insert();
        dm.ta_Emails.FieldByName("Name").SetAsString(name);
        dm.ta_Emails.FieldByName("Email").SetAsString(email);
        dm.ta_Emails.Post();
    }
}

void otherProgram(const TempProgramFolder &folder, const char *sql)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(folder.file("DATA/corvane.db").toUtf8().constData(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

}
