#include "store/SuppressionList.h"

#include "store/Database.h"
#include "store/DatabaseError.h"
#include "support/MockClock.h"
#include "support/StoreSetup.h"
#include "support/TempProgramFolder.h"

#include <gtest/gtest.h>
#include <memory>

// The suppression list on the real store: addresses counted the same as the
// address book counts them, the first entry kept, every change whole.

namespace {

const QDateTime Start(QDate(2026, 12, 9), QTime(14, 30, 5));

class SuppressionListTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        StoreSetup::createStore(folder);
        db.Params = {"path=" + folder.file("DATA")};
        db.Open();
    }

    TempProgramFolder folder;
    TDatabase db;
    MockClock clock{Start};
};

TEST_F(SuppressionListTest, AnAddressIsFoundWithItsDomainInAnyCaseButItsLocalPartAsTyped)
{
    TSuppressionList list(db);
    EXPECT_FALSE(list.Contains("ann@example.org"));
    EXPECT_TRUE(list.Add({"  Ann@Example.ORG ", TSuppressionReason::Unsubscribed, {}}));
    EXPECT_TRUE(list.Contains("Ann@example.org"));
    EXPECT_TRUE(list.Contains("Ann@EXAMPLE.org "));
    EXPECT_FALSE(list.Contains("ann@example.org")) << "a server may tell Ann from ann";
    EXPECT_EQ(list.ReasonFor("Ann@example.org"), "unsubscribed");
    EXPECT_EQ(list.ReasonFor("bob@example.org"), "");
    EXPECT_FALSE(list.Add({"   ", TSuppressionReason::AddedByHand, {}}));
    EXPECT_EQ(list.Count(), 1);

    const TSuppressionList reread(db);
    EXPECT_TRUE(reread.Contains("Ann@example.org")) << "kept in the store, not only in memory";
    const QList<TSuppressionRow> rows = reread.Rows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].address, "Ann@Example.ORG") << "shown as it was given, without the blanks";
    EXPECT_EQ(rows[0].added, Start);
    EXPECT_EQ(rows[0].detail, "");
}

TEST_F(SuppressionListTest, AnAddressListedAlreadyKeepsItsFirstReasonDateAndDetail)
{
    TSuppressionList list(db);
    ASSERT_TRUE(list.Add({"c@x.org", TSuppressionReason::HardBounce, "550 5.1.1 <c@x.org>: no such user"}));
    clock.advanceSeconds(3600);
    EXPECT_FALSE(list.Add({"c@X.org", TSuppressionReason::Unsubscribed, "later"}));
    EXPECT_EQ(list.AddMany({{"c@x.org", TSuppressionReason::Complaint, {}},
                            {"d@x.org", TSuppressionReason::Complaint, "first"},
                            {"d@X.ORG", TSuppressionReason::AddedByHand, "second"}}),
              1)
        << "twice in one batch counts once";
    const QList<TSuppressionRow> rows = list.Rows();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].address, "c@x.org");
    EXPECT_EQ(rows[0].reason, "hard bounce");
    EXPECT_EQ(rows[0].detail, "550 5.1.1 <c@x.org>: no such user");
    EXPECT_EQ(rows[0].added, Start);
    EXPECT_EQ(rows[1].address, "d@x.org");
    EXPECT_EQ(rows[1].reason, "complaint");
    EXPECT_EQ(rows[1].detail, "first");
    EXPECT_EQ(rows[1].added, Start.addSecs(3600));
}

TEST_F(SuppressionListTest, EveryReasonIsStoredByItsText)
{
    TSuppressionList list(db);
    ASSERT_EQ(list.AddMany({{"a@x.org", TSuppressionReason::Unsubscribed, {}},
                            {"b@x.org", TSuppressionReason::HardBounce, {}},
                            {"c@x.org", TSuppressionReason::Complaint, {}},
                            {"d@x.org", TSuppressionReason::AddedByHand, {}}}),
              4);
    QStringList reasons;
    for (const TSuppressionRow &row : list.Rows())
        reasons.append(row.reason);
    EXPECT_EQ(reasons, QStringList({"unsubscribed", "hard bounce", "complaint", "added by hand"}));
}

TEST_F(SuppressionListTest, ABatchTheStoreRefusesPartOfLeavesTheStoreAndTheKeysAsTheyWere)
{
    StoreSetup::otherProgram(folder, "CREATE TRIGGER refuse BEFORE INSERT ON Suppression WHEN NEW.Address = "
                                     "'bad@x.org' BEGIN SELECT RAISE(ABORT, 'refused'); END");
    TSuppressionList list(db);
    EXPECT_THROW(list.AddMany({{"a@x.org", TSuppressionReason::HardBounce, {}},
                               {"bad@x.org", TSuppressionReason::HardBounce, {}},
                               {"c@x.org", TSuppressionReason::HardBounce, {}}}),
                 EDatabaseError);
    EXPECT_FALSE(db.InTransaction());
    EXPECT_FALSE(list.Contains("a@x.org"));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(TSuppressionList(db).Rows().isEmpty()) << "nothing of the batch is kept";
    EXPECT_TRUE(list.Add({"a@x.org", TSuppressionReason::HardBounce, {}})) << "and the store takes the next one";
}

TEST_F(SuppressionListTest, WhatAnotherProgramListedIsSeenOnReloadAndItsEntryStays)
{
    TSuppressionList list(db);
    StoreSetup::otherProgram(folder, "INSERT INTO Suppression (AddressKey, Address, Added, Reason) VALUES "
                                     "('e@x.org', 'e@X.org', '2026-12-01 08:00:00', 'unsubscribed')");
    EXPECT_FALSE(list.Contains("e@x.org")) << "the keys are read once, not at every question";
    EXPECT_FALSE(list.Add({"e@x.org", TSuppressionReason::HardBounce, "550 5.1.1"}))
        << "the other program's entry came first";
    list.Reload();
    EXPECT_TRUE(list.Contains("e@x.org"));
    EXPECT_EQ(list.ReasonFor("e@x.org"), "unsubscribed");
    ASSERT_EQ(list.Rows().size(), 1);
    EXPECT_EQ(list.Rows()[0].added, QDateTime(QDate(2026, 12, 1), QTime(8, 0)));
}

TEST_F(SuppressionListTest, RemovingCountsOnlyWhatWasListedAndTheAddressCanBeMailedAgain)
{
    TSuppressionList list(db);
    list.AddMany({{"a@x.org", TSuppressionReason::Unsubscribed, {}}, {"b@x.org", TSuppressionReason::HardBounce, {}}});
    EXPECT_EQ(list.RemoveMany({"a@X.ORG", "nobody@x.org", "a@x.org"}), 1);
    EXPECT_FALSE(list.Contains("a@x.org"));
    EXPECT_TRUE(list.Contains("b@x.org"));
    EXPECT_FALSE(TSuppressionList(db).Contains("a@x.org"));
    EXPECT_TRUE(list.Add({"a@x.org", TSuppressionReason::AddedByHand, {}})) << "listed anew with the new reason";
    EXPECT_EQ(list.ReasonFor("a@x.org"), "added by hand");
}

}
