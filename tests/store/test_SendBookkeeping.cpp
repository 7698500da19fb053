#include "store/DM_Databaser.h"
#include "store/Query.h"
#include "support/MockClock.h"
#include "support/ScriptedPrompts.h"
#include "support/SecondProgram.h"
#include "support/StoreSetup.h"
#include "support/TempProgramFolder.h"

#include <gtest/gtest.h>

namespace {

// The data module's operations for a group send's bookkeeping: member count,
// resume position and the date of the last send.
class SendBookkeepingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dm = StoreSetup::openDataModule(folder);
        StoreSetup::addGroup(*dm, "Friends", {"a@x.org", "b@x.org", "c@x.org"});
        StoreSetup::addGroup(*dm, "Work", {"d@y.org"});
    }

    TempProgramFolder folder;
    ScriptedPrompts prompts;
    std::unique_ptr<TDM_Databaser> dm;
};

TEST_F(SendBookkeepingTest, ResumePositionIsStoredPerGroupAndReadsZeroForAnUnknownGroup)
{
    EXPECT_EQ(dm->ReadLastMail("Friends"), 0);
    dm->StoreLastMail("Friends", 3);
    EXPECT_EQ(dm->ReadLastMail("Friends"), 3);
    EXPECT_EQ(dm->ReadLastMail("Work"), 0) << "only the named group moves";
    EXPECT_EQ(dm->ReadLastMail("Nobody"), 0);
    dm->StoreLastMail("Friends", 0);
    EXPECT_EQ(dm->ReadLastMail("Friends"), 0);
}

TEST_F(SendBookkeepingTest, AProgramKilledWhileStoringResumePositionsLeavesEveryCommitAndAWholeStore)
{
    // A run commits its resume position for every member; the program may be
    // killed at any moment of that.
    const long reported = killSecondProgramAfter(
        folder, "UPDATE GROUPS SET LastMail = coalesce(LastMail, 0) + 1 WHERE Grupp = 'Friends'", 300);
    ASSERT_GT(reported, 0);
    TQuery check(&dm->Databas);
    check.AddSQL("PRAGMA integrity_check");
    check.Open();
    EXPECT_EQ(check.Fields(0).AsString(), "ok");
    check.Close();
    const int stored = dm->ReadLastMail("Friends");
    EXPECT_GE(stored, reported) << "every commit the killed program made is kept";
    EXPECT_LE(stored, reported + 1) << "and no half of one";
    EXPECT_EQ(dm->ReadLastMail("Work"), 0);
    dm->StoreLastMail("Friends", 0);
    EXPECT_EQ(dm->ReadLastMail("Friends"), 0) << "the store takes the next write";
}

TEST_F(SendBookkeepingTest, MembersAreCountedAndGroupsFoundByExactName)
{
    EXPECT_EQ(dm->MemberCount("Friends"), 3);
    EXPECT_EQ(dm->MemberCount("Work"), 1);
    EXPECT_EQ(dm->MemberCount("Nobody"), 0);
    EXPECT_TRUE(dm->GroupExists("Work"));
    EXPECT_FALSE(dm->GroupExists("work"));
    EXPECT_FALSE(dm->GroupExists("Work' OR '1'='1"));
}

TEST_F(SendBookkeepingTest, TheSendDateIsTheClocksDate)
{
    MockClock clock(QDateTime(QDate(2027, 1, 31), QTime(23, 59, 59)));
    dm->StampLastSent("Work");
    ASSERT_TRUE(dm->ta_Group.Locate("Grupp", "Work"));
    dm->ta_Group.Refresh();
    EXPECT_EQ(dm->ta_Group.FieldByName("LastSent").AsDate(), QDate(2027, 1, 31));
    ASSERT_TRUE(dm->ta_Group.Locate("Grupp", "Friends"));
    EXPECT_TRUE(dm->ta_Group.FieldByName("LastSent").Value().isNull());
}

TEST_F(SendBookkeepingTest, ReadingACountLeavesAReadingOfTheScratchQueryWhereItWas)
{
    TQuery &scratch = dm->qu_Slask;
    scratch.ClearSQL();
    scratch.AddSQL("SELECT Email FROM EMAILS");
    scratch.AddSQL("WHERE Grupp = :g ORDER BY rowid");
    scratch.SetParam("g", "Friends");
    scratch.Open();
    scratch.Next();
    EXPECT_EQ(dm->MemberCount("Work"), 1);
    EXPECT_EQ(dm->ReadLastMail("Work"), 0);
    ASSERT_TRUE(scratch.Active());
    EXPECT_EQ(scratch.Fields(0).AsString(), "b@x.org");
    scratch.Next();
    EXPECT_EQ(scratch.Fields(0).AsString(), "c@x.org");
    scratch.Close();
}

}
