#include "store/DM_Databaser.h"
#include "platform/ProfileIni.h"
#include "support/ScriptedPrompts.h"
#include "support/StoreSetup.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

const QString UpdatePrompt = "The Database will be updated to a new version!";
const QString UpdateDone = "Update successfull - Restart the program!";
constexpr int Current = TDM_Databaser::RequiredVersion;

int storedVersion(const TempProgramFolder &folder)
{
    return ProfileIni(folder.file("CORVAN.INI")).readInteger("DATABAS", "VERSION", -1);
}

// The version the store keeps of itself.
int versionInStore(const TempProgramFolder &folder)
{
    TDatabase store;
    store.Params = {"path=" + folder.file("DATA")};
    store.Open();
    return store.UserVersion();
}

TEST(StoreStartup, FirstStartUpgradesWritesVersionAndEnds)
{
    TempProgramFolder folder;
    {
        ScriptedPrompts prompts;
        prompts.answer(PromptAnswer::Ok);
        TDM_Databaser dm(folder.path());
        dm.DataModuleCreate();
        EXPECT_EQ(prompts.texts(), QStringList({UpdatePrompt, UpdateDone}));
        EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Confirmation);
        EXPECT_EQ(prompts.shown()[0].buttons, PromptButtons::OkCancel);
        EXPECT_EQ(prompts.shown()[1].kind, PromptKind::Information);
        EXPECT_TRUE(dm.TerminateRequested());
        EXPECT_EQ(storedVersion(folder), Current);
        EXPECT_EQ(versionInStore(folder), Current) << "the store keeps its version too";
        // The rest of start-up ran on the new store.
        EXPECT_TRUE(dm.TablesOpen());
    }
    // The next start passes the check without a question.
    ScriptedPrompts prompts;
    TDM_Databaser dm(folder.path());
    dm.DataModuleCreate();
    EXPECT_TRUE(prompts.shown().isEmpty());
    EXPECT_FALSE(dm.TerminateRequested());
    EXPECT_TRUE(dm.TablesOpen());
    EXPECT_EQ(dm.ta_Group.RecordCount(), 0);
}

// An installed copy: the upgrade script shipped in the program folder, the
// store and the settings in the user's files folder, the program folder
// untouched.
TEST(StoreStartup, ScriptFromTheProgramFolderStoreInTheFilesFolder)
{
    TempProgramFolder program;
    TempProgramFolder files;
    for (int version = 1; version <= Current; ++version)
        ASSERT_TRUE(QFile::remove(files.file(TDM_Databaser::ScriptName(version))));
    const QStringList shipped = QDir(program.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    {
        ScriptedPrompts prompts;
        prompts.answer(PromptAnswer::Ok);
        TDM_Databaser dm(program.path(), files.path());
        dm.DataModuleCreate();
        EXPECT_EQ(prompts.texts(), QStringList({UpdatePrompt, UpdateDone}));
        EXPECT_TRUE(dm.TablesOpen());
    }
    EXPECT_EQ(storedVersion(files), Current);
    EXPECT_TRUE(QFileInfo(files.file("DATA/corvane.db")).isFile());
    EXPECT_EQ(QDir(program.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), shipped);

    ScriptedPrompts prompts;
    TDM_Databaser dm(program.path(), files.path());
    dm.DataModuleCreate();
    EXPECT_TRUE(prompts.shown().isEmpty());
    EXPECT_TRUE(dm.TablesOpen());
}

TEST(StoreStartup, CancelTouchesNothing)
{
    TempProgramFolder folder;
    folder.writeFile("CORVAN.INI", "[SMTP]\r\nSERVER=x\r\n");
    ScriptedPrompts prompts;
    prompts.answer(PromptAnswer::Cancel);
    TDM_Databaser dm(folder.path());
    dm.DataModuleCreate();
    EXPECT_TRUE(dm.TerminateRequested());
    EXPECT_FALSE(dm.TablesOpen());
    EXPECT_EQ(prompts.texts(), QStringList{UpdatePrompt});
    EXPECT_EQ(folder.readFile("CORVAN.INI"), "[SMTP]\r\nSERVER=x\r\n");
    EXPECT_FALSE(QDir(folder.file("DATA")).exists());
}

TEST(StoreStartup, NewerStoreIsRefusedWithoutClaimingAnUpdate)
{
    TempProgramFolder folder;
    const QByteArray newer = "[DATABAS]\r\nVERSION=" + QByteArray::number(Current + 1) + "\r\n";
    StoreSetup::createStore(folder);
    StoreSetup::otherProgram(folder, ("PRAGMA user_version = " + QByteArray::number(Current + 1)).constData());
    folder.writeFile("CORVAN.INI", newer);
    ScriptedPrompts prompts;
    TDM_Databaser dm(folder.path());
    dm.DataModuleCreate();
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Error);
    EXPECT_TRUE(prompts.shown()[0].text.contains(QStringLiteral("version %1").arg(Current + 1)));
    EXPECT_TRUE(dm.TerminateRequested());
    EXPECT_FALSE(dm.TablesOpen());
    EXPECT_EQ(folder.readFile("CORVAN.INI"), newer);
}

// The settings remember a store that is gone (its DATA folder lost or never
// copied along): the user is offered a new one, not locked out at every start.
TEST(StoreStartup, ALostStoreIsMadeAnewWhateverTheSettingsRemember)
{
    for (const char *remembered : {"2", "3"}) {
        SCOPED_TRACE(remembered);
        TempProgramFolder folder;
        StoreSetup::createStore(folder);
        ASSERT_TRUE(QDir(folder.file("DATA")).removeRecursively());
        folder.writeFile("CORVAN.INI", QByteArray("[DATABAS]\r\nVERSION=") + remembered + "\r\n");
        {
            ScriptedPrompts prompts;
            prompts.answer(PromptAnswer::Ok);
            TDM_Databaser dm(folder.path());
            dm.DataModuleCreate();
            EXPECT_EQ(prompts.texts(), QStringList({UpdatePrompt, UpdateDone}));
            EXPECT_TRUE(dm.TablesOpen());
        }
        EXPECT_EQ(storedVersion(folder), Current);
        ScriptedPrompts prompts;
        TDM_Databaser dm(folder.path());
        dm.DataModuleCreate();
        EXPECT_TRUE(prompts.shown().isEmpty());
        EXPECT_TRUE(dm.TablesOpen());
    }
}

TEST(StoreStartup, FailingScriptWithOkGoesOnAndWritesTheVersion)
{
    TempProgramFolder folder;
    // A script in the middle fails; the one after it builds only on the first.
    folder.writeFile("DBV_0002.SQL", "CREATE TABLE oops (;\n");
    ScriptedPrompts prompts;
    prompts.answer(PromptAnswer::Ok); // update
    prompts.answer(PromptAnswer::Ok); // continue after the error
    TDM_Databaser dm(folder.path());
    dm.DataModuleCreate();
    ASSERT_GE(prompts.shown().size(), 3);
    const auto &error = prompts.shown()[1];
    EXPECT_EQ(error.kind, PromptKind::Error);
    EXPECT_EQ(error.buttons, PromptButtons::OkCancel);
    EXPECT_TRUE(error.text.startsWith("ERROR!\n"));
    EXPECT_TRUE(error.text.endsWith("\n Continue?"));
    EXPECT_TRUE(error.text.contains("syntax error"));
    EXPECT_EQ(prompts.shown()[2].text, UpdateDone);
    EXPECT_EQ(storedVersion(folder), Current);
    EXPECT_TRUE(dm.TerminateRequested());
}

TEST(StoreStartup, FailingScriptWithCancelIsReportedAndLeavesNoVersion)
{
    TempProgramFolder folder;
    folder.writeFile("DBV_0001.SQL", "CREATE TABLE GROUPS (Grupp VARCHAR(50));\nCREATE TABLE oops (;\n");
    ScriptedPrompts prompts;
    prompts.answer(PromptAnswer::Ok);
    prompts.answer(PromptAnswer::Cancel);
    TDM_Databaser dm(folder.path());
    dm.DataModuleCreate();
    ASSERT_EQ(prompts.shown().size(), 3);
    EXPECT_EQ(prompts.shown()[2].kind, PromptKind::Error) << "the standard error report";
    EXPECT_TRUE(prompts.shown()[2].text.contains("syntax error"));
    EXPECT_EQ(storedVersion(folder), -1);
    EXPECT_FALSE(dm.TablesOpen());
    EXPECT_FALSE(dm.TerminateRequested());

    // Nothing of the failed script stayed behind: the next start upgrades cleanly.
    QFile::remove(folder.file("DBV_0001.SQL"));
    QFile::copy(CORVANE_RESOURCES_DIR "/DBV_0001.SQL", folder.file("DBV_0001.SQL"));
    ScriptedPrompts again;
    again.answer(PromptAnswer::Ok);
    TDM_Databaser second(folder.path());
    second.DataModuleCreate();
    EXPECT_EQ(again.texts(), QStringList({UpdatePrompt, UpdateDone}));
    EXPECT_TRUE(second.TablesOpen());
}

TEST(StoreStartup, MissingScriptIsReportedAndNoVersionWritten)
{
    TempProgramFolder folder;
    QFile::remove(folder.file("DBV_0001.SQL"));
    ScriptedPrompts prompts;
    prompts.answer(PromptAnswer::Ok);
    TDM_Databaser dm(folder.path());
    dm.DataModuleCreate();
    ASSERT_EQ(prompts.shown().size(), 2);
    EXPECT_EQ(prompts.shown()[1].kind, PromptKind::Error);
    EXPECT_TRUE(prompts.shown()[1].text.startsWith("Cannot open file \"" + folder.file("DBV_0001.SQL") + "\""));
    EXPECT_EQ(storedVersion(folder), -1);
    EXPECT_FALSE(dm.TablesOpen());
}

TEST(StoreStartup, DataFileThatIsNoStoreIsReportedAndLeftAlone)
{
    TempProgramFolder folder;
    folder.writeFile("CORVAN.INI", "[DATABAS]\r\nVERSION=2\r\n");
    const QByteArray garbage(4096, 'x');
    folder.writeFile("DATA/corvane.db", garbage);
    ScriptedPrompts prompts;
    TDM_Databaser dm(folder.path());
    dm.DataModuleCreate();
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_TRUE(prompts.shown()[0].text.contains("is not a Corvane store")) << prompts.shown()[0].text.toStdString();
    EXPECT_FALSE(dm.TablesOpen());
    EXPECT_EQ(folder.readFile("DATA/corvane.db"), garbage);
}

TEST(StoreStartup, StoreLockedByAnotherProgramIsReported)
{
    TempProgramFolder folder;
    StoreSetup::createStore(folder);
    sqlite3 *other = nullptr;
    ASSERT_EQ(sqlite3_open(folder.file("DATA/corvane.db").toUtf8().constData(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; "
                                  "INSERT INTO general (LopNr) VALUES (99);",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    {
        ScriptedPrompts prompts;
        TDM_Databaser dm(folder.path());
        dm.DataModuleCreate();
        ASSERT_EQ(prompts.shown().size(), 1);
        EXPECT_TRUE(prompts.shown()[0].text.contains("locked by another program")) << prompts.shown()[0].text.toStdString();
        EXPECT_FALSE(dm.TablesOpen());
    }
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
}

// A store at version 1 takes only the later scripts (the first is gone
// here, so running it would fail) and keeps what it holds; also one from
// before the store kept its version, and one whose settings file already
// claims the current version.
TEST(StoreStartup, AVersionOneStoreIsUpgradedKeepingItsRows)
{
    const struct
    {
        const char *name;
        const char *storeVersion;
        const char *settings;
    } cases[] = {
        {"kept its version", "PRAGMA user_version = 1", "[DATABAS]\r\nVERSION=1\r\n"},
        {"from before it kept its version", "PRAGMA user_version = 0", "[DATABAS]\r\nVERSION=1\r\n"},
        {"settings claiming the current version", "PRAGMA user_version = 1", "[DATABAS]\r\nVERSION=2\r\n"},
    };
    for (const auto &c : cases) {
        TempProgramFolder folder;
        StoreSetup::createStore(folder, 1);
        StoreSetup::otherProgram(folder, c.storeVersion);
        StoreSetup::otherProgram(folder, "INSERT INTO GROUPS (Grupp, Members) VALUES ('Kept', 0)");
        folder.writeFile("CORVAN.INI", c.settings);
        ASSERT_TRUE(QFile::remove(folder.file("DBV_0001.SQL")));
        {
            ScriptedPrompts prompts;
            prompts.answer(PromptAnswer::Ok);
            TDM_Databaser dm(folder.path());
            dm.DataModuleCreate();
            EXPECT_EQ(prompts.texts(), QStringList({UpdatePrompt, UpdateDone})) << c.name;
            EXPECT_EQ(storedVersion(folder), Current) << c.name;
            EXPECT_EQ(versionInStore(folder), Current) << c.name;
        }
        ScriptedPrompts prompts;
        TDM_Databaser dm(folder.path());
        dm.DataModuleCreate();
        EXPECT_TRUE(prompts.shown().isEmpty()) << c.name;
        ASSERT_TRUE(dm.TablesOpen()) << c.name;
        EXPECT_EQ(dm.ta_Group.RecordCount(), 1) << c.name;
        EXPECT_TRUE(dm.Databas.HasTable("SendTimes")) << c.name;
    }
}

// Damaged or lost settings: the store at the current version is recognised,
// the settings file repaired, and the upgrade scripts (gone here, so running
// them would fail) not run.
TEST(StoreStartup, DamagedSettingsOverACurrentStoreAreRepairedWithoutTheScripts)
{
    TempProgramFolder folder;
    StoreSetup::createStore(folder);
    StoreSetup::otherProgram(folder, "INSERT INTO GROUPS (Grupp, Members) VALUES ('Kept', 0)");
    folder.writeFile("CORVAN.INI", "[SMTP]\r\nSERVER=mail\r\n[DATABAS]\r\nVERSION=#?!\r\n");
    for (int version = 1; version <= Current; ++version)
        ASSERT_TRUE(QFile::remove(folder.file(TDM_Databaser::ScriptName(version))));
    ScriptedPrompts prompts;
    TDM_Databaser dm(folder.path());
    dm.DataModuleCreate();
    EXPECT_TRUE(prompts.shown().isEmpty());
    EXPECT_FALSE(dm.TerminateRequested());
    ASSERT_TRUE(dm.TablesOpen());
    EXPECT_EQ(dm.ta_Group.RecordCount(), 1) << "the store is untouched";
    EXPECT_EQ(storedVersion(folder), Current);
    EXPECT_EQ(ProfileIni(folder.file("CORVAN.INI")).readString("SMTP", "SERVER", ""), "mail");
}

TEST(StoreStartup, LostSettingsOverANewerStoreAreNotTakenForAnUpgrade)
{
    TempProgramFolder folder;
    StoreSetup::createStore(folder);
    const QByteArray newer = QByteArray::number(Current + 1);
    StoreSetup::otherProgram(folder, ("PRAGMA user_version = " + newer).constData());
    QFile::remove(folder.file("CORVAN.INI"));
    ScriptedPrompts prompts;
    TDM_Databaser dm(folder.path());
    dm.DataModuleCreate();
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_TRUE(prompts.shown()[0].text.contains("version " + newer));
    EXPECT_FALSE(dm.TablesOpen());
    EXPECT_EQ(versionInStore(folder), Current + 1);
}

}
