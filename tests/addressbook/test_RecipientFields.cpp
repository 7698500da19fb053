#include "store/RecipientFields.h"
#include "support/StoreSetup.h"
#include "support/TempProgramFolder.h"

#include <gtest/gtest.h>

namespace {

using Values = TRecipientFields::Values;

class RecipientFieldsTest : public ::testing::Test
{
protected:
    void SetUp() override { dm = StoreSetup::openDataModule(folder); }

    TempProgramFolder folder;
    std::unique_ptr<TDM_Databaser> dm;
};

TEST_F(RecipientFieldsTest, WriteReplacesAndCleansReadSortsNamesAreOnceEach)
{
    TRecipientFields fields(dm->Databas);
    fields.Write(7, {{"Town", "Lund"}, {"first name", "Åsa"}, {"town", "Malmö"}, {" ", "x"}, {"Empty", ""}});
    EXPECT_EQ(fields.Read(7), Values({{"first name", "Åsa"}, {"Town", "Lund"}}))
        << "a name twice in another case keeps the first; blank names and empty values are not stored";
    fields.Write(7, {{"Town", "Ystad"}});
    EXPECT_EQ(fields.Read(7), Values({{"Town", "Ystad"}})) << "a write replaces all the recipient had";
    fields.Write(8, {{"TOWN", "Kiruna"}, {"Customer", "42"}});
    EXPECT_EQ(fields.Names(), QStringList({"Customer", "Town"})) << "one spelling per field, sorted";
    EXPECT_TRUE(fields.Read(9).isEmpty());
}

TEST_F(RecipientFieldsTest, CopyAndInsertManyBeyondOneStatement)
{
    TRecipientFields fields(dm->Databas);
    fields.Write(1, {{"Town", "Lund"}, {"Code", "A"}});
    fields.Write(2, {{"Town", "Old"}});
    fields.Copy(1, 2);
    EXPECT_EQ(fields.Read(2), Values({{"Code", "A"}, {"Town", "Lund"}}));
    EXPECT_EQ(fields.Read(1), fields.Read(2));

    QList<TRecipientFields::Row> rows;
    for (int r = 100; r < 1100; ++r)
        rows.append({r, "N", QString::number(r)});
    fields.Insert(rows);
    EXPECT_EQ(fields.Read(1099), Values({{"N", "1099"}}));
    EXPECT_EQ(fields.Read(100), Values({{"N", "100"}}));
}

TEST_F(RecipientFieldsTest, ARecipientThatGoesTakesItsFields)
{
    StoreSetup::addGroup(*dm, "Friends", {"ann@x.org"});
    const int ann = dm->ta_Emails.FieldByName("Unikt").AsInteger();
    TRecipientFields fields(dm->Databas);
    fields.Write(ann, {{"Town", "Lund"}});
    dm->ta_Emails.Delete();
    EXPECT_TRUE(fields.Read(ann).isEmpty());
}

}
