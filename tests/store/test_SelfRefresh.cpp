#include "store/Refresher.h"
#include "store/SelfRefreshQuery.h"
#include "support/ScriptedPrompts.h"
#include "support/SecondProgram.h"
#include "support/StoreSetup.h"
#include "support/TempProgramFolder.h"
#include "support/WaitFor.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <gtest/gtest.h>

// The self-refreshing tables of the data module under the program's refresh
// coordinator: when a change is seen, when a dataset must wait, and what a
// refresh keeps.
namespace {

// Counts a dataset's automatic refreshes and checks they run with the
// controls held still.
struct RefreshCount
{
    explicit RefreshCount(TSelfRefreshTable &table)
    {
        table.BeforeRefresh = [this](TDataSet &ds) {
            controlsHeld = controlsHeld && ds.ControlsDisabled();
            ++before;
        };
        table.AfterRefresh = [this](TDataSet &ds) {
            controlsHeld = controlsHeld && ds.ControlsDisabled();
            ++after;
        };
    }
    int before = 0;
    int after = 0;
    bool controlsHeld = true;
};

class SelfRefreshTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dm = StoreSetup::openDataModule(folder);
        StoreSetup::addGroup(*dm, "B", {"b@x.org"});
        StoreSetup::addGroup(*dm, "D", {"d@x.org"});
        settle();
    }

    // Refreshes whatever the setup's own changes left pending.
    void settle()
    {
        refresher().CheckChanges();
        refresher().ProcessPending();
    }

    static TRefresher &refresher() { return TRefresher::instance(); }
    void otherProgram(const char *sql) { StoreSetup::otherProgram(folder, sql); }
    QString group() { return dm->ta_Group.FieldByName("Grupp").AsString(); }

    TempProgramFolder folder;
    ScriptedPrompts prompts;
    std::unique_ptr<TDM_Databaser> dm;
};

TEST_F(SelfRefreshTest, AnotherProgramsRowsAppearOnceHoweverOftenTheyChangedAndTheCurrentRowStays)
{
    ASSERT_TRUE(dm->ta_Group.Locate("Grupp", "D"));
    RefreshCount count(dm->ta_Group);
    EXPECT_TRUE(refresher().IsRegistered(&dm->ta_Group));

    otherProgram("INSERT INTO GROUPS (Grupp) VALUES ('A')");
    refresher().CheckChanges();
    EXPECT_TRUE(refresher().IsPending(&dm->ta_Group));
    EXPECT_FALSE(refresher().IsPending(&dm->ta_Emails)) << "only datasets whose tables changed";
    EXPECT_TRUE(refresher().IsPending(&dm->ta_Agent)) << "the schedule shows group names it looks up";
    otherProgram("INSERT INTO GROUPS (Grupp) VALUES ('C')");
    refresher().CheckChanges();
    EXPECT_EQ(dm->ta_Group.RecordCount(), 2) << "nothing is reread before an idle moment";

    refresher().ProcessPending();
    EXPECT_EQ(count.after, 1) << "two changes, one refresh";
    EXPECT_EQ(count.before, 1);
    EXPECT_TRUE(count.controlsHeld);
    EXPECT_FALSE(dm->ta_Group.ControlsDisabled());
    EXPECT_EQ(dm->ta_Group.RecordCount(), 4);
    EXPECT_EQ(group(), "D");
    EXPECT_EQ(dm->ta_Group.RecNo(), 4);
    EXPECT_FALSE(refresher().IsPending(&dm->ta_Group));

    refresher().CheckChanges();
    refresher().ProcessPending();
    EXPECT_EQ(count.after, 1) << "no change, no refresh";
}

TEST_F(SelfRefreshTest, ADatasetBeingEditedIsRefreshedOnlyWhenItIsBrowsedAgain)
{
    RefreshCount count(dm->ta_Group);
    dm->ta_Group.Edit();
    dm->ta_Group.FieldByName("Members").SetAsInteger(5);
    otherProgram("INSERT INTO GROUPS (Grupp) VALUES ('A')");
    refresher().CheckChanges();
    refresher().ProcessPending();
    EXPECT_EQ(count.after, 0);
    EXPECT_TRUE(refresher().IsPending(&dm->ta_Group));
    EXPECT_EQ(dm->ta_Group.State(), TDataSetState::dsEdit);
    EXPECT_EQ(dm->ta_Group.FieldByName("Members").AsInteger(), 5) << "the edit is untouched";

    dm->ta_Group.Cancel();
    refresher().ProcessPending();
    EXPECT_EQ(count.after, 1);
    EXPECT_EQ(dm->ta_Group.RecordCount(), 3);
}

TEST_F(SelfRefreshTest, AMasterWaitsWhileItsDetailIsEdited)
{
    RefreshCount count(dm->ta_Group);
    dm->ta_Emails.Insert();
    otherProgram("UPDATE GROUPS SET Members = 9");
    refresher().CheckChanges();
    refresher().ProcessPending();
    EXPECT_EQ(count.after, 0);
    EXPECT_TRUE(refresher().IsPending(&dm->ta_Group));
    EXPECT_EQ(dm->ta_Emails.State(), TDataSetState::dsInsert) << "the new recipient keeps its group";

    dm->ta_Emails.Cancel();
    refresher().ProcessPending();
    EXPECT_EQ(count.after, 1);
    EXPECT_EQ(dm->ta_Group.FieldByName("Members").AsInteger(), 9);
}

TEST_F(SelfRefreshTest, SwitchingSelfRefreshOffDropsThePendingRefresh)
{
    RefreshCount count(dm->ta_Agent);
    otherProgram("INSERT INTO Agent (\"Group\", MsgFile, \"Date\", \"Time\") VALUES ('B', 'a.msg', '2030-01-02', '10:00:00')");
    refresher().CheckChanges();
    ASSERT_TRUE(refresher().IsPending(&dm->ta_Agent));

    dm->ta_Agent.SetSelfRefreshEnabled(false);
    EXPECT_FALSE(refresher().IsPending(&dm->ta_Agent));
    EXPECT_FALSE(refresher().IsRegistered(&dm->ta_Agent));
    refresher().ProcessPending();
    EXPECT_EQ(count.after, 0);
    EXPECT_EQ(dm->ta_Agent.RecordCount(), 0);

    dm->ta_Agent.SetSelfRefreshEnabled(true);
    EXPECT_TRUE(refresher().IsRegistered(&dm->ta_Agent)) << "open: registered again at once";
    dm->ta_Agent.Close();
    EXPECT_FALSE(refresher().IsRegistered(&dm->ta_Agent));
    dm->ta_Agent.SetSelfRefreshEnabled(false);
    dm->ta_Agent.SetSelfRefreshEnabled(true);
    EXPECT_FALSE(refresher().IsRegistered(&dm->ta_Agent)) << "closed: only the value changes";
    dm->ta_Agent.Open();
    EXPECT_TRUE(refresher().IsRegistered(&dm->ta_Agent));
    EXPECT_EQ(dm->ta_Agent.RecordCount(), 1);
}

TEST_F(SelfRefreshTest, AFailedRefreshIsSilentAndKeepsWhatWasShown)
{
    otherProgram("CREATE TABLE Extra (x INTEGER); INSERT INTO Extra VALUES (1)");
    TSelfRefreshQuery query(&dm->Databas);
    query.AddSQL("SELECT Grupp FROM GROUPS, Extra");
    query.AddSQL("ORDER BY Grupp");
    query.Open();
    query.Next();
    ASSERT_EQ(query.RecordCount(), 2);
    int refreshed = 0;
    query.AfterRefresh = [&](TDataSet &) { ++refreshed; };

    otherProgram("DROP TABLE Extra; INSERT INTO GROUPS (Grupp) VALUES ('A')");
    refresher().CheckChanges();
    ASSERT_TRUE(refresher().IsPending(&query));
    refresher().ProcessPending();
    EXPECT_TRUE(prompts.shown().isEmpty()) << "nothing is reported";
    EXPECT_FALSE(refresher().IsPending(&query)) << "a failure leaves the list";
    EXPECT_EQ(refreshed, 0);
    EXPECT_FALSE(query.ControlsDisabled());
    EXPECT_EQ(query.RecordCount(), 2);
    EXPECT_EQ(query.Fields(0).AsString(), "D") << "the rows shown stay";

    refresher().CheckChanges();
    EXPECT_FALSE(refresher().IsPending(&query)) << "only a further change queues it again";
    otherProgram("INSERT INTO GROUPS (Grupp) VALUES ('E')");
    refresher().CheckChanges();
    EXPECT_TRUE(refresher().IsPending(&query));
}

TEST_F(SelfRefreshTest, EachIdleMomentLooksAtOneDatasetInTurn)
{
    QSignalSpy seen(&refresher(), &TRefresher::changeSeen);
    otherProgram("UPDATE GROUPS SET Members = 3; INSERT INTO Agent (\"Group\", MsgFile, \"Date\", \"Time\") "
                 "VALUES ('B', 'a.msg', '2030-01-02', '10:00:00')");
    refresher().Idle();
    EXPECT_LE(seen.count(), 1);
    for (int moment = 0; moment < 10 && dm->ta_Agent.RecordCount() == 0; ++moment)
        refresher().Idle();
    EXPECT_EQ(dm->ta_Agent.RecordCount(), 1) << "seen and refreshed at idle moments alone";
    for (int moment = 0; moment < 10 && dm->ta_Group.FieldByName("Members").AsInteger() != 3; ++moment)
        refresher().Idle();
    EXPECT_EQ(dm->ta_Group.FieldByName("Members").AsInteger(), 3);
}

// Answers every box while letting the coordinator try to refresh, as idle
// moments of the box's own event loop would.
class RefreshingPrompts : public PromptService
{
public:
    PromptAnswer show(PromptKind, const QString &, PromptButtons) override
    {
        TRefresher::instance().ProcessPending();
        return PromptAnswer::Yes;
    }
};

TEST_F(SelfRefreshTest, NothingChangesUnderAQuestionOrInsideATransaction)
{
    ASSERT_TRUE(dm->ta_Group.Locate("Grupp", "D"));
    otherProgram("DELETE FROM GROUPS WHERE Grupp = 'D'");
    refresher().CheckChanges();
    {
        RefreshingPrompts answering;
        PromptService::Scope scope(answering);
        Prompt::confirm("Delete group D?");
    }
    EXPECT_EQ(dm->ta_Group.RecordCount(), 2) << "the row asked about is still the current row";
    EXPECT_EQ(group(), "D");

    dm->Databas.StartTransaction();
    refresher().ProcessPending();
    EXPECT_EQ(dm->ta_Group.RecordCount(), 2) << "a transaction's rows may still be rolled back";
    dm->Databas.Rollback();
    refresher().ProcessPending();
    EXPECT_EQ(dm->ta_Group.RecordCount(), 1);
    EXPECT_EQ(group(), "B");
}

TEST_F(SelfRefreshTest, AChangeByASecondProcessIsSeenWithinTwoSeconds)
{
    ASSERT_TRUE(runSecondProgram(folder, "INSERT INTO Agent (\"Group\", MsgFile, \"Date\", \"Time\") "
                                         "VALUES ('D', '/msg/a.MSG', '2030-01-02', '10:00:00')"));
    QElapsedTimer since;
    since.start();
    EXPECT_TRUE(waitInEventLoop([&] { return dm->ta_Agent.RecordCount() == 1; }, 2000));
    EXPECT_LT(since.elapsed(), 2000);
    EXPECT_EQ(dm->ta_Agent.FieldByName("MsgFile").AsString(), "/msg/a.MSG");
    EXPECT_EQ(dm->ta_Agent.FieldByName("Grupp").AsString(), "D") << "its lookup reads the group";

    // A statement of this program that bypasses the table's cursor shows too.
    dm->qu_Uppdat.SetStatement({"UPDATE GROUPS SET Members = 42", "WHERE Grupp = 'D'"}, {});
    dm->qu_Uppdat.ExecSQL();
    ASSERT_TRUE(dm->ta_Group.Locate("Grupp", "D"));
    EXPECT_TRUE(waitInEventLoop([&] { return dm->ta_Group.FieldByName("Members").AsInteger() == 42; }, 2000));
}

}
