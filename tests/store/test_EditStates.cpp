#include "store/DatabaseError.h"
#include "support/ScriptedPrompts.h"
#include "support/StoreSetup.h"
#include "support/TempProgramFolder.h"

#include <gtest/gtest.h>

// The edit states as the dataset base runs them over the rows a table or a
// query writes and reads: what a failed write leaves, what Cancel gives back,
// which events fire, and what a refresh keeps.
namespace {

class EditStatesTest : public ::testing::Test
{
protected:
    void SetUp() override { dm = StoreSetup::openDataModule(folder); }

    // Records every edit event of the dataset, with the state it was fired in.
    void recordEvents(TDataSet &ds)
    {
        auto note = [this](const char *name) {
            return [this, name](TDataSet &sender) {
                events.append(QString::fromLatin1(name) + (sender.State() == TDataSetState::dsBrowse ? "" : "!"));
            };
        };
        ds.AfterInsert = note("insert");
        ds.AfterEdit = note("edit");
        ds.AfterPost = note("post");
        ds.AfterCancel = note("cancel");
        ds.AfterDelete = note("delete");
        ds.AfterOpen = note("open");
        ds.BeforeClose = note("close");
    }

    QString groupName() { return dm->ta_Group.FieldByName("Grupp").AsString(); }

    void otherProgram(const char *sql) { StoreSetup::otherProgram(folder, sql); }

    TempProgramFolder folder;
    ScriptedPrompts prompts;
    // Before the data module: closing its tables at the end still records.
    QStringList events;
    std::unique_ptr<TDM_Databaser> dm;
};

TEST_F(EditStatesTest, UpdateRefusedByTheStoreKeepsTheEditAndCancelGivesBackTheStartingValues)
{
    StoreSetup::addGroup(*dm, "Friends", {});
    otherProgram("UPDATE GROUPS SET Members = 7");
    recordEvents(dm->ta_Group);
    dm->ta_Group.Edit();
    EXPECT_EQ(dm->ta_Group.FieldByName("Members").AsInteger(), 7) << "the edit starts from what is stored now";
    dm->ta_Group.FieldByName("Grupp").SetAsString("Renamed");

    otherProgram("DELETE FROM GROUPS");
    try {
        dm->ta_Group.Post();
        FAIL() << "posted a row another program removed";
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.message(), "Couldn't perform the edit because another user changed the record.");
    }
    EXPECT_EQ(dm->ta_Group.State(), TDataSetState::dsEdit);
    EXPECT_TRUE(dm->ta_Group.Modified());
    EXPECT_EQ(groupName(), "Renamed") << "the user's value survives the failed post";

    dm->ta_Group.Cancel();
    EXPECT_EQ(dm->ta_Group.State(), TDataSetState::dsBrowse);
    EXPECT_FALSE(dm->ta_Group.Modified());
    EXPECT_EQ(groupName(), "Friends");
    EXPECT_EQ(dm->ta_Group.FieldByName("Members").AsInteger(), 7);
    EXPECT_EQ(events, QStringList({"edit!", "cancel"})) << "no AfterPost for a post that failed";
}

TEST_F(EditStatesTest, InsertRefusedByTheStoreKeepsTheNewRecordUntilItCanBeWritten)
{
    StoreSetup::addGroup(*dm, "Friends", {});
    otherProgram("CREATE TRIGGER Locked BEFORE INSERT ON GROUPS BEGIN SELECT RAISE(ABORT, 'table is locked'); END");
    recordEvents(dm->ta_Group);
    dm->ta_Group.Insert();
    dm->ta_Group.FieldByName("Grupp").SetAsString("Club");
    try {
        dm->ta_Group.Post();
        FAIL() << "the store refused the row";
    } catch (const EDatabaseError &e) {
        EXPECT_TRUE(e.message().contains("table is locked")) << e.message().toStdString();
    }
    EXPECT_EQ(dm->ta_Group.State(), TDataSetState::dsInsert);
    EXPECT_EQ(groupName(), "Club");
    EXPECT_EQ(dm->ta_Group.RecordCount(), 1);

    otherProgram("DROP TRIGGER Locked");
    dm->ta_Group.Post();
    EXPECT_EQ(dm->ta_Group.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(groupName(), "Club");
    EXPECT_EQ(dm->ta_Group.RecNo(), 1) << "in index order before Friends";
    EXPECT_EQ(dm->ta_Group.RecordCount(), 2);
    EXPECT_EQ(events, QStringList({"insert!", "post"}));
}

TEST_F(EditStatesTest, EachStateChangeFiresItsEventOnceAfterTheChange)
{
    StoreSetup::addGroup(*dm, "A", {});
    StoreSetup::addGroup(*dm, "C", {});
    recordEvents(dm->ta_Group);
    dm->ta_Group.Insert();
    dm->ta_Group.Cancel();
    EXPECT_EQ(groupName(), "C") << "a dropped new record gives the cursor back to the row it left";
    dm->ta_Group.Edit();
    dm->ta_Group.FieldByName("Grupp").SetAsString("B");
    dm->ta_Group.First();
    EXPECT_EQ(groupName(), "A") << "moving posts the edit first";
    dm->ta_Group.Last();
    EXPECT_EQ(groupName(), "B");
    dm->ta_Group.Delete();
    EXPECT_EQ(groupName(), "A") << "the last row deleted: the new last row is current";
    dm->ta_Group.Insert();
    dm->ta_Group.Delete();
    EXPECT_EQ(dm->ta_Group.RecordCount(), 1) << "Delete of a new record only drops it";
    EXPECT_EQ(events, QStringList({"insert!", "cancel", "edit!", "post", "delete", "insert!", "cancel"}));
}

TEST_F(EditStatesTest, NewRowOutsideTheRangeIsWrittenButNotShown)
{
    StoreSetup::addGroup(*dm, "Work", {"c@y.org"});
    StoreSetup::addGroup(*dm, "Friends", {"a@x.org", "b@x.org"});
    dm->ta_Emails.Last();
    dm->ta_Emails.Insert();
    dm->ta_Emails.FieldByName("Email").SetAsString("w@y.org");
    dm->ta_Emails.FieldByName("Grupp").SetAsString("Work");
    dm->ta_Emails.Post();
    EXPECT_EQ(dm->ta_Emails.RecordCount(), 2);
    EXPECT_EQ(dm->ta_Emails.FieldByName("Email").AsString(), "b@x.org") << "back on the row it stood on";
    ASSERT_TRUE(dm->ta_Group.Locate("Grupp", "Work"));
    EXPECT_EQ(dm->ta_Emails.RecordCount(), 2);
}

TEST_F(EditStatesTest, QueryIsReadOnlyAndItsRefreshRunsTheStatementAgainInPlace)
{
    StoreSetup::addGroup(*dm, "Friends", {"a@x.org", "b@x.org", "c@x.org"});
    TQuery q(&dm->Databas);
    recordEvents(q);
    q.AddSQL("SELECT Email FROM EMAILS ORDER BY Email");
    q.Open();
    q.Next();
    for (auto edit : {&TDataSet::Insert, &TDataSet::Edit, &TDataSet::Delete}) {
        try {
            (q.*edit)();
            ADD_FAILURE() << "a query took an edit";
        } catch (const EDatabaseError &e) {
            EXPECT_EQ(e.message(), "Cannot modify a read-only dataset");
        }
        EXPECT_EQ(q.State(), TDataSetState::dsBrowse);
    }

    otherProgram("INSERT INTO EMAILS (Email, Grupp) VALUES ('0@x.org', 'Friends')");
    q.Refresh();
    EXPECT_EQ(q.RecordCount(), 4);
    EXPECT_EQ(q.RecNo(), 2);
    EXPECT_EQ(q.Fields(0).AsString(), "a@x.org") << "the row now at the old place";
    q.Close();
    EXPECT_EQ(events, QStringList({"open", "close"})) << "a refresh neither closes nor opens the dataset";
}

TEST_F(EditStatesTest, ReadingAOneDirectionalQueryAgainIsNoReopening)
{
    TQuery q(&dm->Databas);
    q.UniDirectional = true;
    recordEvents(q);
    q.AddSQL("SELECT 1 UNION ALL SELECT 2");
    q.Open();
    q.Next();
    q.First();
    EXPECT_EQ(q.Fields(0).AsInteger(), 1);
    q.Close();
    EXPECT_EQ(events, QStringList({"open", "close"}));
}

}
