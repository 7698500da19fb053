#include "addressbook/AddressBook.h"
#include "store/DatabaseError.h"
#include "support/ScriptedPrompts.h"
#include "support/StoreSetup.h"
#include "support/TempProgramFolder.h"

#include <gtest/gtest.h>

namespace {

class AddressBookTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dm = StoreSetup::openDataModule(folder);
        book = std::make_unique<TAddressBook>(*dm);
    }

    // What the store holds, read past the datasets.
    int count(const QString &sql, const QVariantMap &params = {})
    {
        TQuery q(&dm->Databas);
        q.AddSQL(sql);
        for (auto it = params.cbegin(); it != params.cend(); ++it)
            q.SetParam(it.key(), it.value());
        q.Open();
        return q.Fields(0).AsInteger();
    }
    int recipients(const QString &group)
    {
        return count("SELECT COUNT(*) FROM EMAILS WHERE Grupp = :g", {{"g", group}});
    }
    int members(const QString &group)
    {
        return count("SELECT Members FROM GROUPS WHERE Grupp = :g", {{"g", group}});
    }
    void select(const QString &group) { ASSERT_TRUE(dm->ta_Group.Locate("Grupp", group)); }
    void otherProgram(const char *sql) { StoreSetup::otherProgram(folder, sql); }

    TempProgramFolder folder;
    ScriptedPrompts prompts;
    std::unique_ptr<TDM_Databaser> dm;
    std::unique_ptr<TAddressBook> book;
};

TEST_F(AddressBookTest, GroupNamesMustDifferExactlyNotJustInCase)
{
    ASSERT_TRUE(book->InsertGroup("Friends"));
    EXPECT_EQ(book->CurrentGroup(), "Friends");
    EXPECT_FALSE(book->InsertGroup("Friends"));
    EXPECT_EQ(prompts.texts(), QStringList{"Group already exists!"});
    EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Error);
    EXPECT_TRUE(book->InsertGroup("friends"));
    EXPECT_EQ(book->GroupNames(), QStringList({"Friends", "friends"}));
    EXPECT_EQ(book->GroupNames("Friends"), QStringList{"friends"});
}

TEST_F(AddressBookTest, CopyingAGroupCopiesEveryRecipientAndCountsThem)
{
    QStringList emails;
    for (int i = 0; i < 25; ++i)
        emails.append(QStringLiteral("member%1@x.org").arg(i));
    StoreSetup::addGroup(*dm, "Source", emails);
    ASSERT_TRUE(book->InsertGroup("Copy", QString("Source")));
    EXPECT_EQ(book->CurrentGroup(), "Copy");
    EXPECT_EQ(recipients("Copy"), 25);
    EXPECT_EQ(members("Copy"), 25);
    EXPECT_EQ(dm->ta_Group.FieldByName("Members").AsInteger(), 25);
    EXPECT_EQ(dm->ta_Emails.RecordCount(), 25);
    EXPECT_EQ(recipients("Source"), 25) << "the source keeps its recipients";
    EXPECT_EQ(count("SELECT COUNT(DISTINCT Unikt) FROM EMAILS"), 50) << "copies get numbers of their own";
}

TEST_F(AddressBookTest, ExistingAddressAnsweredNoAddsNothingAnywhere)
{
    StoreSetup::addGroup(*dm, "Other", {});
    StoreSetup::addGroup(*dm, "Friends", {"ann@x.org"});
    prompts.answer(PromptAnswer::No);
    EXPECT_FALSE(book->InsertRecipient("Ann", "ann@x.org", {"Other"}));
    EXPECT_EQ(prompts.texts(), QStringList{"Email already exists, Continue?"});
    EXPECT_EQ(recipients("Friends"), 1);
    EXPECT_EQ(recipients("Other"), 0);

    prompts.answer(PromptAnswer::Yes);
    EXPECT_TRUE(book->InsertRecipient("Ann", "ann@x.org", {"Other"}));
    EXPECT_EQ(recipients("Friends"), 2);
    EXPECT_EQ(members("Friends"), 2);
    EXPECT_EQ(members("Other"), 1);
}

TEST_F(AddressBookTest, TheSameAddressElsewhereOrInAnotherCaseAsksNothing)
{
    StoreSetup::addGroup(*dm, "Work", {"ann@x.org"});
    StoreSetup::addGroup(*dm, "Friends", {"ann@x.org"});
    select("Work");
    EXPECT_TRUE(book->InsertRecipient("Ann", "ANN@x.org"));
    select("Friends");
    StoreSetup::addGroup(*dm, "Club", {});
    EXPECT_TRUE(book->InsertRecipient("Ann", "ann@x.org"));
    EXPECT_TRUE(prompts.shown().isEmpty());
}

TEST_F(AddressBookTest, ARecipientCanJoinSeveralGroupsAtOnce)
{
    StoreSetup::addGroup(*dm, "A", {});
    StoreSetup::addGroup(*dm, "B", {"x@x.org"});
    StoreSetup::addGroup(*dm, "C", {});
    select("A");
    EXPECT_TRUE(book->InsertRecipient("Bo", "bo@x.org", {"B", "C"}));
    EXPECT_EQ(members("A"), 1);
    EXPECT_EQ(members("B"), 2);
    EXPECT_EQ(members("C"), 1);
    EXPECT_EQ(book->CurrentGroup(), "A");
    EXPECT_EQ(dm->ta_Emails.RecordCount(), 1);
}

TEST_F(AddressBookTest, DeletingAGroupAsksAndTakesItsRecipientsWithIt)
{
    StoreSetup::addGroup(*dm, "Keep", {"k@x.org"});
    StoreSetup::addGroup(*dm, "Full", {"a@x.org", "b@x.org"});
    prompts.answer(PromptAnswer::No);
    EXPECT_FALSE(book->DeleteGroup());
    EXPECT_EQ(prompts.texts(), QStringList{"This Group is not empty, Do you want to delete all email?"});
    EXPECT_EQ(recipients("Full"), 2);
    EXPECT_EQ(count("SELECT COUNT(*) FROM GROUPS"), 2);

    prompts.answer(PromptAnswer::Yes);
    EXPECT_TRUE(book->DeleteGroup());
    EXPECT_EQ(recipients("Full"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM GROUPS WHERE Grupp = 'Full'"), 0);
    EXPECT_EQ(recipients("Keep"), 1);
    EXPECT_EQ(book->CurrentGroup(), "Keep");
}

TEST_F(AddressBookTest, DeletingAnEmptyGroupAsksAreYouSure)
{
    EXPECT_FALSE(book->DeleteGroup()) << "no groups: nothing happens";
    EXPECT_TRUE(prompts.shown().isEmpty());
    StoreSetup::addGroup(*dm, "Empty", {});
    prompts.answer(PromptAnswer::No);
    EXPECT_FALSE(book->DeleteGroup());
    prompts.answer(PromptAnswer::Yes);
    EXPECT_TRUE(book->DeleteGroup());
    EXPECT_EQ(prompts.texts(), QStringList({"Are you sure?", "Are you sure?"}));
    EXPECT_TRUE(dm->ta_Group.IsEmpty());
}

TEST_F(AddressBookTest, DeletingARecipientRecountsAtOnce)
{
    StoreSetup::addGroup(*dm, "Friends", {"a@x.org", "b@x.org"});
    dm->ta_Emails.First();
    EXPECT_TRUE(book->DeleteRecipient());
    EXPECT_TRUE(prompts.shown().isEmpty()) << "no question";
    EXPECT_EQ(dm->ta_Group.FieldByName("Members").AsInteger(), 1);
    EXPECT_EQ(dm->ta_Emails.FieldByName("Email").AsString(), "b@x.org");
    EXPECT_TRUE(book->DeleteRecipient());
    EXPECT_EQ(members("Friends"), 0);
    EXPECT_FALSE(book->DeleteRecipient()) << "an empty group: nothing happens";
}

TEST_F(AddressBookTest, RenamingMovesEveryRecipientButNotTheSchedule)
{
    StoreSetup::addGroup(*dm, "Old", {"a@x.org", "b@x.org", "c@x.org"});
    otherProgram("INSERT INTO Agent (\"Group\", MsgFile, \"Date\", \"Time\") VALUES ('Old', 'm.MSG', '2026-12-24', '10:00:00')");
    EXPECT_TRUE(book->ModifyGroup("New"));
    EXPECT_EQ(book->CurrentGroup(), "New");
    EXPECT_EQ(recipients("New"), 3);
    EXPECT_EQ(recipients("Old"), 0);
    EXPECT_EQ(dm->ta_Emails.RecordCount(), 3);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Agent WHERE \"Group\" = 'Old'"), 1);

    EXPECT_TRUE(book->ModifyGroup("New")) << "the same name";
    EXPECT_TRUE(book->ModifyGroup("NEW")) << "another case of the same name";
    EXPECT_EQ(recipients("NEW"), 3);
    EXPECT_TRUE(prompts.shown().isEmpty());
}

TEST_F(AddressBookTest, RenamingOntoAnotherGroupIsRefusedBeforeAnythingMoves)
{
    StoreSetup::addGroup(*dm, "Taken", {"t@x.org"});
    StoreSetup::addGroup(*dm, "Mine", {"m@x.org", "n@x.org"});
    EXPECT_FALSE(book->ModifyGroup("Taken"));
    EXPECT_EQ(prompts.texts(), QStringList{"Group already exists!"});
    EXPECT_EQ(recipients("Mine"), 2);
    EXPECT_EQ(recipients("Taken"), 1);
    EXPECT_EQ(dm->ta_Group.State(), TDataSetState::dsBrowse);
}

TEST_F(AddressBookTest, ARenameTheStoreRefusesLeavesEverythingAsItWas)
{
    StoreSetup::addGroup(*dm, "Mine", {"m@x.org", "n@x.org"});
    otherProgram("CREATE TRIGGER refuse BEFORE UPDATE ON GROUPS WHEN NEW.Grupp = 'Boom' "
                 "BEGIN SELECT RAISE(ABORT, 'disk is full'); END");
    EXPECT_THROW(book->ModifyGroup("Boom"), EDatabaseError);
    EXPECT_EQ(recipients("Mine"), 2) << "the recipients moved back with the rollback";
    EXPECT_EQ(recipients("Boom"), 0);
    EXPECT_EQ(dm->ta_Group.State(), TDataSetState::dsBrowse);
    EXPECT_EQ(book->CurrentGroup(), "Mine");
    EXPECT_EQ(dm->ta_Emails.RecordCount(), 2);
}

TEST_F(AddressBookTest, QuotesInNamesAreJustCharacters)
{
    const QString group = "O'Brien's \"club\"";
    ASSERT_TRUE(book->InsertGroup(group));
    EXPECT_TRUE(book->InsertRecipient("D'Arcy", "d'arcy@x.org"));
    EXPECT_EQ(members(group), 1);
    ASSERT_TRUE(book->InsertGroup("Copy's", group));
    EXPECT_EQ(members("Copy's"), 1);
    select(group);
    EXPECT_TRUE(book->ModifyGroup("It's renamed"));
    EXPECT_EQ(recipients("It's renamed"), 1);
    prompts.answer(PromptAnswer::Yes);
    EXPECT_TRUE(book->DeleteGroup());
    EXPECT_EQ(recipients("It's renamed"), 0);
    EXPECT_EQ(recipients("Copy's"), 1);
}

TEST_F(AddressBookTest, ModifyingARecipientKeepsItInTheGroup)
{
    StoreSetup::addGroup(*dm, "Friends", {"a@x.org"});
    EXPECT_TRUE(book->ModifyRecipient("Anna", "anna@x.org"));
    EXPECT_EQ(dm->ta_Emails.FieldByName("Name").AsString(), "Anna");
    EXPECT_EQ(members("Friends"), 1);
    EXPECT_EQ(dm->ta_Emails.FieldByName("Unikt").AsInteger(), 1) << "its number stays";
}

TEST_F(AddressBookTest, NoRecipientWithoutAGroup)
{
    EXPECT_FALSE(book->InsertRecipient("Lost", "lost@x.org"));
    EXPECT_EQ(prompts.texts(), QStringList{"You must choose a group first!"});
    EXPECT_EQ(count("SELECT COUNT(*) FROM EMAILS"), 0);
    EXPECT_FALSE(book->ModifyRecipient("x", "y"));
    EXPECT_FALSE(book->ModifyGroup("x"));
    EXPECT_TRUE(dm->ta_Group.IsEmpty()) << "modify on nothing never inserts";
}

}
