#include "store/DataSetModel.h"
#include "store/DatabaseError.h"
#include "support/ScriptedPrompts.h"
#include "support/StoreSetup.h"
#include "support/TempProgramFolder.h"

#include <QDate>
#include <gtest/gtest.h>

namespace {

class TableTest : public ::testing::Test
{
protected:
    void SetUp() override { dm = StoreSetup::openDataModule(folder); }

    QStringList emailsShown()
    {
        QStringList result;
        for (dm->ta_Emails.First(); !dm->ta_Emails.Eof(); dm->ta_Emails.Next())
            result.append(dm->ta_Emails.FieldByName("Email").AsString());
        return result;
    }

    void otherProgram(const char *sql) { StoreSetup::otherProgram(folder, sql); }

    TempProgramFolder folder;
    ScriptedPrompts prompts;
    std::unique_ptr<TDM_Databaser> dm;
};

TEST_F(TableTest, RecipientNumbersStartAtOneAndACancelledInsertLeavesAGap)
{
    EXPECT_EQ(dm->ta_General.RecordCount(), 0);
    StoreSetup::addGroup(*dm, "Friends", {"a@x.org"});
    EXPECT_EQ(dm->ta_Emails.FieldByName("Unikt").AsInteger(), 1);
    dm->ta_General.Refresh();
    EXPECT_EQ(dm->ta_General.RecordCount(), 1);
    EXPECT_EQ(dm->ta_General.FieldByName("LopNr").AsInteger(), 1);

    dm->ta_Emails.Insert();
    EXPECT_EQ(dm->ta_Emails.FieldByName("Unikt").AsInteger(), 2);
    dm->ta_Emails.Cancel();
    dm->ta_Emails.Insert();
    dm->ta_Emails.FieldByName("Email").SetAsString("b@x.org");
    dm->ta_Emails.Post();
    EXPECT_EQ(dm->ta_Emails.FieldByName("Unikt").AsInteger(), 3);
    EXPECT_EQ(dm->ta_Emails.RecordCount(), 2);
}

TEST_F(TableTest, NewRecipientTakesTheCurrentGroupAndRecountsIt)
{
    StoreSetup::addGroup(*dm, "Friends", {"a@x.org", "b@x.org"});
    StoreSetup::addGroup(*dm, "Work", {"c@y.org"});
    ASSERT_TRUE(dm->ta_Group.Locate("Grupp", "Friends"));
    EXPECT_EQ(emailsShown(), QStringList({"a@x.org", "b@x.org"}));
    EXPECT_EQ(dm->ta_Group.FieldByName("Members").AsInteger(), 2);

    dm->ta_Emails.Insert();
    dm->ta_Emails.FieldByName("Email").SetAsString("new@x.org");
    dm->ta_Emails.Post();
    EXPECT_EQ(dm->ta_Emails.FieldByName("Grupp").AsString(), "Friends");
    EXPECT_EQ(dm->ta_Group.FieldByName("Grupp").AsString(), "Friends");
    EXPECT_EQ(dm->ta_Group.FieldByName("Members").AsInteger(), 3);

    ASSERT_TRUE(dm->ta_Group.Locate("Grupp", "Work"));
    EXPECT_EQ(emailsShown(), QStringList{"c@y.org"});
    EXPECT_EQ(dm->ta_Group.FieldByName("Members").AsInteger(), 1);
}

TEST_F(TableTest, LocateIsExactCaseSensitiveAndStaysInTheRange)
{
    StoreSetup::addGroup(*dm, "Friends", {"Anna@x.org", "bo@x.org"});
    StoreSetup::addGroup(*dm, "Work", {"anna@x.org", "cy@x.org"});
    EXPECT_FALSE(dm->ta_Group.Locate("Grupp", "friends"));
    EXPECT_FALSE(dm->ta_Group.Locate("Grupp", "Friend"));
    ASSERT_TRUE(dm->ta_Group.Locate("Grupp", "Work"));
    EXPECT_FALSE(dm->ta_Emails.Locate("Email", "Anna@x.org")) << "that row belongs to another group";
    EXPECT_FALSE(dm->ta_Emails.Locate("Email", "ANNA@x.org"));
    ASSERT_TRUE(dm->ta_Emails.Locate("Email", "cy@x.org"));
    EXPECT_EQ(dm->ta_Emails.RecNo(), 2);
    ASSERT_TRUE(dm->ta_Emails.Locate("Email", "anna@x.org"));
    EXPECT_EQ(dm->ta_Emails.RecNo(), 1);
}

TEST_F(TableTest, RefreshKeepsTheCurrentRowWhereItStillExists)
{
    StoreSetup::addGroup(*dm, "B", {});
    StoreSetup::addGroup(*dm, "D", {});
    StoreSetup::addGroup(*dm, "F", {});
    ASSERT_TRUE(dm->ta_Group.Locate("Grupp", "D"));
    EXPECT_EQ(dm->ta_Group.RecNo(), 2);
    otherProgram("INSERT INTO GROUPS (Grupp, Members) VALUES ('A', 0), ('C', 0)");
    dm->ta_Group.Refresh();
    EXPECT_EQ(dm->ta_Group.FieldByName("Grupp").AsString(), "D");
    EXPECT_EQ(dm->ta_Group.RecNo(), 4);
    EXPECT_EQ(dm->ta_Group.RecordCount(), 5);

    otherProgram("DELETE FROM GROUPS WHERE Grupp = 'D'");
    dm->ta_Group.Refresh();
    EXPECT_EQ(dm->ta_Group.RecordCount(), 4);
    EXPECT_EQ(dm->ta_Group.FieldByName("Grupp").AsString(), "F") << "the row that took the old place";
}

TEST_F(TableTest, LocateFindsARowAnotherProgramAddedAtTheCurrentPlace)
{
    StoreSetup::addGroup(*dm, "B", {});
    StoreSetup::addGroup(*dm, "D", {});
    dm->ta_Group.First();
    otherProgram("INSERT INTO GROUPS (Grupp, Members) VALUES ('A', 0)");
    ASSERT_TRUE(dm->ta_Group.Locate("Grupp", "A"));
    EXPECT_EQ(dm->ta_Group.RecNo(), 1);
    EXPECT_EQ(dm->ta_Group.FieldByName("Grupp").AsString(), "A") << "the row found, not the one that stood there";
    EXPECT_EQ(dm->ta_Group.RecordCount(), 3);
}

TEST_F(TableTest, NavigationMarksBeginAndEndOfData)
{
    EXPECT_TRUE(dm->ta_Group.Eof());
    EXPECT_TRUE(dm->ta_Group.Bof());
    EXPECT_TRUE(dm->ta_Group.IsEmpty());
    StoreSetup::addGroup(*dm, "A", {});
    StoreSetup::addGroup(*dm, "B", {});
    dm->ta_Group.First();
    EXPECT_TRUE(dm->ta_Group.Bof());
    EXPECT_FALSE(dm->ta_Group.Eof());
    dm->ta_Group.Next();
    EXPECT_EQ(dm->ta_Group.FieldByName("Grupp").AsString(), "B");
    dm->ta_Group.Next();
    EXPECT_TRUE(dm->ta_Group.Eof());
    EXPECT_EQ(dm->ta_Group.FieldByName("Grupp").AsString(), "B") << "Next past the end stays on the last row";
    dm->ta_Group.Prior();
    dm->ta_Group.Prior();
    EXPECT_TRUE(dm->ta_Group.Bof());
    EXPECT_EQ(dm->ta_Group.FieldByName("Grupp").AsString(), "A");
}

TEST_F(TableTest, EditPostAndDeleteWriteTheStore)
{
    StoreSetup::addGroup(*dm, "Friends", {"a@x.org", "b@x.org", "c@x.org"});
    dm->ta_Emails.First();
    dm->ta_Emails.Next();
    dm->ta_Emails.Edit();
    EXPECT_THROW(dm->ta_Emails.FieldByName("Name").SetAsString(QString(31, u'n')), EDatabaseError)
        << "never cut to the field's size";
    EXPECT_EQ(dm->ta_Emails.FieldByName("Name").AsString(), "b");
    dm->ta_Emails.FieldByName("Name").SetAsString(QString(30, u'n'));
    dm->ta_Emails.Post();
    EXPECT_EQ(dm->ta_Emails.FieldByName("Name").AsString(), QString(30, u'n'));
    EXPECT_EQ(dm->ta_Emails.FieldByName("Email").AsString(), "b@x.org");

    dm->ta_Emails.Delete();
    EXPECT_EQ(dm->ta_Emails.FieldByName("Email").AsString(), "c@x.org") << "the next row takes the place";
    dm->ta_Emails.Delete();
    EXPECT_EQ(dm->ta_Emails.FieldByName("Email").AsString(), "a@x.org");
    EXPECT_EQ(emailsShown(), QStringList{"a@x.org"});
    dm->ta_Emails.Delete();
    EXPECT_TRUE(dm->ta_Emails.IsEmpty());
    EXPECT_THROW(dm->ta_Emails.Delete(), EDatabaseError);
}

TEST_F(TableTest, EditOfARowAnotherProgramRemovedFails)
{
    StoreSetup::addGroup(*dm, "Friends", {});
    otherProgram("DELETE FROM GROUPS");
    EXPECT_THROW(dm->ta_Group.Edit(), EDatabaseError);
    EXPECT_EQ(dm->ta_Group.State(), TDataSetState::dsBrowse);
}

TEST_F(TableTest, ScheduleEntriesNeedTheirFieldsAndLookUpTheGroup)
{
    StoreSetup::addGroup(*dm, "Friends", {});
    TTable &agent = dm->ta_Agent;
    agent.Insert();
    agent.FieldByName("Group").SetAsString("Friends");
    agent.FieldByName("MsgFile").SetAsString("/tmp/a.MSG");
    agent.FieldByName("Date").SetAsString("2026/12/24");
    try {
        agent.Post();
        FAIL() << "posted without a time";
    } catch (const EDatabaseError &e) {
        EXPECT_EQ(e.message(), "Field 'Time' must have a value");
    }
    EXPECT_EQ(agent.State(), TDataSetState::dsInsert);
    agent.FieldByName("Time").SetAsString("9:30");
    agent.Post();
    EXPECT_EQ(agent.FieldByName("Date").AsDate(), QDate(2026, 12, 24));
    EXPECT_EQ(agent.FieldByName("Time").AsString(), "09:30:00");
    EXPECT_EQ(agent.FieldByName("Grupp").AsString(), "Friends");
    EXPECT_FALSE(agent.FieldByName("DeleteAfter").AsBoolean());

    agent.Insert();
    agent.FieldByName("Group").SetAsString("Gone");
    EXPECT_TRUE(agent.FieldByName("Grupp").IsNull()) << "no such group to look up";
    agent.Cancel();
    EXPECT_EQ(agent.RecordCount(), 1);
    EXPECT_THROW(agent.FieldByName("Date").SetAsString("31/31/2026"), EDatabaseError) << "not in edit mode";
}

TEST_F(TableTest, ModelShowsVisibleFieldsAndTheRowBeingInserted)
{
    StoreSetup::addGroup(*dm, "Friends", {"a@x.org", "b@x.org"});
    TDataSetModel groups(&dm->ta_Group);
    ASSERT_EQ(groups.columnCount(), 4);
    EXPECT_EQ(groups.headerData(0, Qt::Horizontal).toString(), " ");
    EXPECT_EQ(groups.headerData(1, Qt::Horizontal).toString(), "Group");
    EXPECT_EQ(groups.headerData(2, Qt::Horizontal).toString(), "Members");
    EXPECT_EQ(groups.data(groups.index(0, 2)).toString(), "2");

    TDataSetModel emails(&dm->ta_Emails);
    EXPECT_EQ(emails.rowCount(), 2);
    EXPECT_EQ(emails.columnOfField("Email"), 2);
    EXPECT_EQ(emails.data(emails.index(1, 2)).toString(), "b@x.org");
    dm->ta_Emails.Insert();
    EXPECT_EQ(emails.rowCount(), 3);
    dm->ta_Emails.FieldByName("Email").SetAsString("typing@x.org");
    EXPECT_EQ(emails.data(emails.index(2, 2)).toString(), "typing@x.org");
    dm->ta_Emails.Cancel();
    EXPECT_EQ(emails.rowCount(), 2);

    StoreSetup::addGroup(*dm, "Empty", {});
    EXPECT_EQ(emails.rowCount(), 0) << "the detail follows the new current group";
}

}
