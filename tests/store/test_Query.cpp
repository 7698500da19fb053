#include "store/DatabaseError.h"
#include "support/ScriptedPrompts.h"
#include "support/StoreSetup.h"
#include "support/TempProgramFolder.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

class QueryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dm = StoreSetup::openDataModule(folder);
        StoreSetup::addGroup(*dm, "O'Brien's", {"a@x.org", "b@x.org", "c@x.org"});
        StoreSetup::addGroup(*dm, "Other", {"d@x.org"});
    }

    void selectMembers(TQuery &query, const QString &group)
    {
        query.ClearSQL();
        query.AddSQL("SELECT Name, Email From EMAILS");
        query.AddSQL("WHERE Grupp = :grupp ");
        query.SetParam("grupp", group);
        query.Open();
    }

    TempProgramFolder folder;
    ScriptedPrompts prompts;
    std::unique_ptr<TDM_Databaser> dm;
};

TEST_F(QueryTest, BoundValuesKeepQuotesAsCharacters)
{
    TQuery &q = dm->qu_Slask;
    q.ClearSQL();
    q.AddSQL("SELECT COUNT(*) FROM EMAILS");
    q.AddSQL("WHERE GRUPP = :grupp ");
    q.SetParam("grupp", "O'Brien's");
    q.Open();
    EXPECT_EQ(q.Fields(0).AsInteger(), 3);

    dm->qu_Uppdat.ClearSQL();
    dm->qu_Uppdat.AddSQL("UPDATE GROUPS Set LastMail = :n ");
    dm->qu_Uppdat.AddSQL("WHERE Grupp = :grupp");
    dm->qu_Uppdat.SetParam("n", 5);
    dm->qu_Uppdat.SetParam("grupp", "O'Brien's' OR '1'='1");
    dm->qu_Uppdat.ExecSQL();
    EXPECT_EQ(dm->qu_Uppdat.RowsAffected(), 0) << "a quote cannot change the statement";
}

TEST_F(QueryTest, BufferedQueryNavigatesBothWays)
{
    TQuery &q = dm->qu_Slask;
    selectMembers(q, "O'Brien's");
    EXPECT_EQ(q.RecordCount(), 3);
    EXPECT_EQ(q.FieldByName("Email").AsString(), "a@x.org");
    q.Last();
    EXPECT_EQ(q.FieldByName("Email").AsString(), "c@x.org");
    q.Prior();
    EXPECT_EQ(q.FieldByName("email").AsString(), "b@x.org") << "field names match without regard to case";
    EXPECT_TRUE(q.Locate("Email", "c@x.org"));
    EXPECT_EQ(q.RecNo(), 3);
    EXPECT_FALSE(q.Locate("Email", "C@x.org"));
    EXPECT_THROW(q.Edit(), EDatabaseError);
}

TEST_F(QueryTest, OneDirectionalQueryStreamsToTheEndOnce)
{
    TQuery q(&dm->Databas);
    q.UniDirectional = true;
    selectMembers(q, "O'Brien's");
    EXPECT_EQ(q.RecordCount(), -1);
    QStringList seen;
    while (!q.Eof()) {
        seen.append(q.FieldByName("Email").AsString());
        q.Next();
    }
    EXPECT_EQ(seen, QStringList({"a@x.org", "b@x.org", "c@x.org"}));
    q.Next();
    EXPECT_TRUE(q.Eof()) << "a finished reading does not start over";
    EXPECT_EQ(q.FieldByName("Email").AsString(), "c@x.org");
    EXPECT_THROW(q.Prior(), EDatabaseError);
    q.First();
    EXPECT_EQ(q.FieldByName("Email").AsString(), "a@x.org") << "First reads again from the start";
}

TEST_F(QueryTest, EngineErrorsCarryTheEngineText)
{
    TQuery &q = dm->qu_Slask;
    q.ClearSQL();
    q.AddSQL("SELECT Name FROM NOWHERE");
    try {
        q.Open();
        FAIL() << "opened a statement on a missing table";
    } catch (const EDatabaseError &e) {
        EXPECT_TRUE(e.message().contains("no such table: NOWHERE")) << e.message().toStdString();
    }
    EXPECT_FALSE(q.Active());
    q.ClearSQL();
    q.AddSQL("SELECT 1");
    q.Open();
    EXPECT_EQ(q.Fields(0).AsInteger(), 1);
}

TEST_F(QueryTest, AStatementRunAgainTakesItsNewValuesAlsoAfterAFailure)
{
    // The same text run again and again reuses its prepared statement.
    TQuery &q = dm->qu_Uppdat;
    const auto insert = [&](const QVariantMap &params) {
        q.SetStatement({"INSERT INTO GROUPS (Grupp, LastMail) ", "VALUES (:g, abs(:n))"}, params);
        q.ExecSQL();
        return q.RowsAffected();
    };
    EXPECT_EQ(insert({{"g", "A"}, {"n", -3}}), 1);
    EXPECT_THROW(insert({{"g", "B"}, {"n", std::numeric_limits<qint64>::min()}}), EDatabaseError)
        << "abs() of the least integer overflows";
    EXPECT_EQ(insert({{"g", "C"}, {"n", 5}}), 1);
    EXPECT_EQ(insert({{"g", "D"}}), 1) << "a value not given this time is none, not the last one";
    q.SetStatement({"UPDATE GROUPS SET LastMail = 7 ", "WHERE Grupp IN ('A', 'C')"}, {});
    q.ExecSQL();
    EXPECT_EQ(q.RowsAffected(), 2);

    TQuery &check = dm->qu_Slask;
    check.ClearSQL();
    check.AddSQL("SELECT Grupp, LastMail FROM GROUPS");
    check.AddSQL("WHERE Grupp IN ('A', 'B', 'C', 'D') ORDER BY Grupp");
    check.Open();
    QStringList rows;
    for (; !check.Eof(); check.Next())
        rows.append(check.Fields(0).AsString() + "=" + (check.Fields(1).IsNull() ? "none" : check.Fields(1).AsString()));
    EXPECT_EQ(rows, QStringList({"A=7", "C=7", "D=none"}));
}

}
