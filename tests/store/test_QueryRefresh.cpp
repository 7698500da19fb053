#include "store/Refresher.h"
#include "store/SelfRefreshQuery.h"
#include "support/ScriptedPrompts.h"
#include "support/StoreSetup.h"
#include "support/TempProgramFolder.h"

#include <gtest/gtest.h>

// A self-refreshing query runs its statement again and finds its current row
// by its values; where another program removed it, the rows beside it tell
// where to go.
namespace {

class QueryRefreshTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dm = StoreSetup::openDataModule(folder);
        otherProgram("INSERT INTO GROUPS (Grupp) VALUES ('A'), ('B'), ('C'), ('D'), ('E')");
        query = std::make_unique<TSelfRefreshQuery>(&dm->Databas);
        query->AddSQL("SELECT Grupp FROM GROUPS");
        query->AddSQL("ORDER BY Grupp");
    }

    void openOn(const QString &group)
    {
        query->Open();
        while (!query->Eof() && current() != group)
            query->Next();
        ASSERT_EQ(current(), group);
    }

    // Through the coordinator, as an idle moment after the change does.
    void refreshAutomatically()
    {
        TRefresher::instance().CheckChanges();
        ASSERT_TRUE(TRefresher::instance().IsPending(query.get()));
        TRefresher::instance().ProcessPending();
    }

    QString current() const { return query->Fields(0).AsString(); }
    void otherProgram(const char *sql) { StoreSetup::otherProgram(folder, sql); }

    TempProgramFolder folder;
    ScriptedPrompts prompts;
    std::unique_ptr<TDM_Databaser> dm;
    std::unique_ptr<TSelfRefreshQuery> query;
};

TEST_F(QueryRefreshTest, TheCurrentRowIsFoundAgainWhereverItNowStands)
{
    openOn("C");
    otherProgram("INSERT INTO GROUPS (Grupp) VALUES ('AA'), ('AB')");
    refreshAutomatically();
    EXPECT_EQ(current(), "C");
    EXPECT_EQ(query->RecNo(), 5);
    EXPECT_EQ(query->RecordCount(), 7);
}

TEST_F(QueryRefreshTest, ADeletedCurrentRowGivesWayToTheRowThatFollowedIt)
{
    openOn("C");
    otherProgram("DELETE FROM GROUPS WHERE Grupp = 'C'");
    refreshAutomatically();
    EXPECT_EQ(current(), "D");
    EXPECT_EQ(query->RecNo(), 3);
}

TEST_F(QueryRefreshTest, WithTheRowBeforeGoneTooItComesBackBeforeTheOldSuccessor)
{
    openOn("C");
    otherProgram("DELETE FROM GROUPS WHERE Grupp IN ('B', 'C')");
    refreshAutomatically();
    EXPECT_EQ(current(), "A");
}

TEST_F(QueryRefreshTest, TheLastRowDeletedLeavesTheOneBeforeIt)
{
    openOn("E");
    otherProgram("DELETE FROM GROUPS WHERE Grupp = 'E'");
    refreshAutomatically();
    EXPECT_EQ(current(), "D");
    EXPECT_TRUE(query->Eof() || query->RecNo() == query->RecordCount());
}

TEST_F(QueryRefreshTest, WithNoRowLeftToGoByItStaysOnTheFirstRow)
{
    openOn("C");
    otherProgram("DELETE FROM GROUPS WHERE Grupp IN ('B', 'C', 'D'); INSERT INTO GROUPS (Grupp) VALUES ('0')");
    refreshAutomatically();
    EXPECT_EQ(current(), "0");
    EXPECT_EQ(query->RecNo(), 1);
}

TEST_F(QueryRefreshTest, AOneDirectionalQueryGoesOnToTheFollowingRow)
{
    query->UniDirectional = true;
    openOn("C");
    otherProgram("DELETE FROM GROUPS WHERE Grupp = 'C'");
    // Its reading is open, which holds the connection's view of the store
    // still: it is refreshed here by hand.
    query->Refresh();
    EXPECT_EQ(current(), "D");
    query->Next();
    EXPECT_EQ(current(), "E") << "reading goes on from there";
}

TEST_F(QueryRefreshTest, OnlyTheTablesOfItsStatementConcernIt)
{
    openOn("B");
    otherProgram("INSERT INTO Agent (\"Group\", MsgFile, \"Date\", \"Time\") VALUES ('B', 'a.msg', '2030-01-02', '10:00:00')");
    TRefresher::instance().CheckChanges();
    EXPECT_FALSE(TRefresher::instance().IsPending(query.get()));
    query->Close();
    EXPECT_FALSE(TRefresher::instance().IsRegistered(query.get()));
}

}
