#include "addressbook/AddressBook.h"
#include "store/DatabaseError.h"
#include "store/RecipientFields.h"
#include "support/ScriptedPrompts.h"
#include "support/StoreSetup.h"
#include "support/TempProgramFolder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <utility>

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

// Mail servers take the domain without regard to case, and may tell the
// local part's cases apart.
TEST_F(AddressBookTest, AnAddressWhoseDomainDiffersOnlyInCaseIsAlreadyThere)
{
    StoreSetup::addGroup(*dm, "Friends", {"Bob@Example.com"});
    prompts.answer(PromptAnswer::No);
    EXPECT_FALSE(book->InsertRecipient("Bob", "Bob@EXAMPLE.COM"));
    EXPECT_EQ(prompts.texts(), QStringList{"Email already exists, Continue?"});
    EXPECT_TRUE(book->InsertRecipient("Bob", "bob@example.com"));
    EXPECT_TRUE(book->InsertRecipient("Bob", "Bob@Example.co"));
    EXPECT_TRUE(book->InsertRecipient("Bob", "Bob@"));
    EXPECT_EQ(prompts.texts().size(), 1) << "another local part or domain is another address";
    EXPECT_EQ(recipients("Friends"), 4);
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

// A schedule entry left on the old name would send to nobody.
TEST_F(AddressBookTest, RenamingMovesEveryRecipientAndTheSchedulesEntries)
{
    StoreSetup::addGroup(*dm, "Old", {"a@x.org", "b@x.org", "c@x.org"});
    otherProgram("INSERT INTO Agent (\"Group\", MsgFile, \"Date\", \"Time\") VALUES ('Old', 'm.MSG', '2026-12-24', '10:00:00'),"
                 " ('Other', 'o.MSG', '2026-12-24', '11:00:00')");
    EXPECT_TRUE(book->ModifyGroup("New"));
    EXPECT_EQ(book->CurrentGroup(), "New");
    EXPECT_EQ(recipients("New"), 3);
    EXPECT_EQ(recipients("Old"), 0);
    EXPECT_EQ(dm->ta_Emails.RecordCount(), 3);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Agent WHERE \"Group\" = 'Old'"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Agent WHERE \"Group\" = 'New'"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM Agent WHERE \"Group\" = 'Other'"), 1);
    dm->ta_Agent.First();
    EXPECT_EQ(dm->ta_Agent.FieldByName("Group").AsString(), "New") << "the schedule's table shows it";

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
    otherProgram("INSERT INTO Agent (\"Group\", MsgFile, \"Date\", \"Time\") VALUES ('Mine', 'm.MSG', '2026-12-24', '10:00:00')");
    otherProgram("CREATE TRIGGER refuse BEFORE UPDATE ON GROUPS WHEN NEW.Grupp = 'Boom' "
                 "BEGIN SELECT RAISE(ABORT, 'disk is full'); END");
    EXPECT_THROW(book->ModifyGroup("Boom"), EDatabaseError);
    EXPECT_EQ(recipients("Mine"), 2) << "the recipients moved back with the rollback";
    EXPECT_EQ(count("SELECT COUNT(*) FROM Agent WHERE \"Group\" = 'Mine'"), 1) << "and the schedule's entry";
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

TEST_F(AddressBookTest, BlankGroupNamesAreRefused)
{
    for (const QString &blank : {QString(), QString("   ")}) {
        EXPECT_FALSE(book->InsertGroup(blank));
        EXPECT_FALSE(book->InsertGroup(blank, QString("Nowhere")));
    }
    EXPECT_EQ(count("SELECT COUNT(*) FROM GROUPS"), 0);
    StoreSetup::addGroup(*dm, "Named", {"a@x.org"});
    EXPECT_FALSE(book->ModifyGroup(" "));
    EXPECT_EQ(book->CurrentGroup(), "Named");
    EXPECT_EQ(recipients("Named"), 1);
    EXPECT_EQ(prompts.texts(), QStringList(5, "You must enter a name for the group!"));
}

// Nothing is cut to fit: a cut address may be another valid one.
TEST_F(AddressBookTest, TextsAreStoredWholeOrRefusedWithAMessage)
{
    const QString group50(50, u'g');
    ASSERT_TRUE(book->InsertGroup(group50));
    const QString longest = QString(245, u'l') + "@x.org.se";
    ASSERT_EQ(longest.size(), 254);
    EXPECT_TRUE(book->InsertRecipient(QString(30, u'n'), longest));
    EXPECT_EQ(count("SELECT COUNT(*) FROM EMAILS WHERE Email = :e AND Grupp = :g", {{"e", longest}, {"g", group50}}), 1);
    EXPECT_TRUE(prompts.shown().isEmpty());

    EXPECT_FALSE(book->InsertRecipient("Too long", "x" + longest));
    EXPECT_FALSE(book->InsertRecipient(QString(31, u'n'), "short@x.org"));
    EXPECT_FALSE(book->ModifyRecipient("Max", "y" + longest));
    EXPECT_FALSE(book->InsertGroup(QString(51, u'g')));
    EXPECT_EQ(prompts.texts(), QStringList({"An email address can be at most 254 characters long; this one has 255!",
                                            "A recipient name can be at most 30 characters long; this one has 31!",
                                            "An email address can be at most 254 characters long; this one has 255!",
                                            "A group name can be at most 50 characters long; this one has 51!"}));
    EXPECT_EQ(recipients(group50), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM EMAILS WHERE Email = :e", {{"e", longest}}), 1) << "the modify changed nothing";
    EXPECT_EQ(count("SELECT COUNT(*) FROM GROUPS"), 1);
}

// The first recipient ever inserts the counter row in the transaction; a
// rollback takes the row away again, and the next insert must not edit it.
TEST_F(AddressBookTest, AFailedFirstRecipientLeavesTheCounterUsable)
{
    ASSERT_EQ(count("SELECT COUNT(*) FROM general"), 0);
    ASSERT_TRUE(book->InsertGroup("Friends"));
    otherProgram("CREATE TRIGGER refuse BEFORE INSERT ON EMAILS WHEN NEW.Email = 'bad@x.org' "
                 "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    EXPECT_THROW(book->InsertRecipient("Bad", "bad@x.org"), EDatabaseError);
    EXPECT_EQ(count("SELECT COUNT(*) FROM general"), 0);
    EXPECT_TRUE(book->InsertRecipient("Good", "good@x.org"));
    EXPECT_EQ(count("SELECT Unikt FROM EMAILS WHERE Email = 'good@x.org'"), 1);
    EXPECT_EQ(count("SELECT LopNr FROM general"), 1);
    EXPECT_EQ(members("Friends"), 1);
}

// What each transaction of a copy did: the rows it inserted into EMAILS and
// the GROUPS rows it updated.
struct CopyTransactions
{
    struct Work
    {
        int inserted = 0;
        int recounts = 0;
    };
    QList<Work> committed;
    Work current;
};

TEST_F(AddressBookTest, CopyingAGroupCopiesEachRecipientsFieldsToItsCopy)
{
    StoreSetup::addGroup(*dm, "Club", {"a@x.org", "b@x.org", "c@x.org"});
    TRecipientFields fields(dm->Databas);
    const QStringList source = StoreSetup::column(*dm, "Unikt", "Club");
    fields.Write(source[0].toInt(), {{"Town", "Lund"}, {"Code", "1"}});
    fields.Write(source[2].toInt(), {{"Town", "Umeå"}});
    ASSERT_TRUE(book->InsertGroup("Copy", "Club"));
    const QStringList copies = StoreSetup::column(*dm, "Unikt", "Copy");
    ASSERT_EQ(copies.size(), 3);
    EXPECT_EQ(fields.Read(copies[0].toInt()), fields.Read(source[0].toInt()));
    EXPECT_TRUE(fields.Read(copies[1].toInt()).isEmpty());
    EXPECT_EQ(fields.Read(copies[2].toInt()), TRecipientFields::Values({{"Town", "Umeå"}}));
    EXPECT_EQ(count("SELECT COUNT(*) FROM RecipientField"), 6);
}

TEST_F(AddressBookTest, AGreatCopyGoesInBatchesEachRecountedOnce)
{
    constexpr int Size = 20000;
    StoreSetup::addGroup(*dm, "Source", {"first@x.org"});
    otherProgram("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 19999) "
                 "INSERT INTO EMAILS (Name, Email, Unikt, Grupp) SELECT 'N' || i, 'm' || i || '@x.org', 0, 'Source' FROM n");
    StoreSetup::addGroup(*dm, "Between", {"b@x.org"}); // rows of another group between the source's
    otherProgram("INSERT INTO EMAILS (Name, Email, Unikt, Grupp) VALUES ('Last', 'last@x.org', 0, 'Source')");
    const int firstNumber = dm->TakeRecipientNumbers(0);

    CopyTransactions tally;
    sqlite3 *db = dm->Databas.handle();
    sqlite3_update_hook(
        db,
        [](void *t, int op, const char *, const char *table, sqlite3_int64) {
            auto *tally = static_cast<CopyTransactions *>(t);
            if (op == SQLITE_INSERT && QLatin1String(table) == QLatin1String("EMAILS"))
                ++tally->current.inserted;
            if (op == SQLITE_UPDATE && QLatin1String(table) == QLatin1String("GROUPS"))
                ++tally->current.recounts;
        },
        &tally);
    sqlite3_commit_hook(
        db,
        [](void *t) {
            auto *tally = static_cast<CopyTransactions *>(t);
            tally->committed.append(std::exchange(tally->current, {}));
            return 0;
        },
        &tally);
    ASSERT_TRUE(book->InsertGroup("Copy", QString("Source")));
    sqlite3_update_hook(db, nullptr, nullptr);
    sqlite3_commit_hook(db, nullptr, nullptr);

    EXPECT_EQ(recipients("Copy"), Size + 1);
    EXPECT_EQ(members("Copy"), Size + 1);
    EXPECT_EQ(dm->ta_Emails.RecordCount(), Size + 1) << "the grid shows the copy";
    ASSERT_GE(tally.committed.size(), 3) << "the group, then batches";
    int copied = 0;
    for (qsizetype i = 1; i < tally.committed.size(); ++i) {
        copied += tally.committed[i].inserted;
        EXPECT_GT(tally.committed[i].inserted, 0);
        EXPECT_EQ(tally.committed[i].recounts, 1) << "one recount per batch, batch " << i;
    }
    EXPECT_EQ(copied, Size + 1);
    // In the source's order, each with a fresh number of its own.
    const QStringList source = StoreSetup::column(*dm, "Email", "Source");
    EXPECT_EQ(StoreSetup::column(*dm, "Email", "Copy"), source);
    QStringList numbers;
    for (int i = 0; i < Size + 1; ++i)
        numbers.append(QString::number(firstNumber + i));
    EXPECT_EQ(StoreSetup::column(*dm, "Unikt", "Copy"), numbers);
    EXPECT_EQ(dm->TakeRecipientNumbers(0), firstNumber + Size + 1);
    EXPECT_EQ(recipients("Source"), Size + 1);
}

TEST_F(AddressBookTest, ACopyThatFailsLeavesNoPartOfAGroup)
{
    StoreSetup::addGroup(*dm, "Source", {});
    otherProgram("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 5000) "
                 "INSERT INTO EMAILS (Name, Email, Unikt, Grupp) SELECT 'N', 'm' || i || '@x.org', 0, 'Source' FROM n");
    otherProgram("CREATE TRIGGER refuse BEFORE INSERT ON EMAILS WHEN NEW.Email = 'm4000@x.org' AND NEW.Grupp = 'Copy' "
                 "BEGIN SELECT RAISE(ABORT, 'disk is full'); END");
    EXPECT_THROW(book->InsertGroup("Copy", QString("Source")), EDatabaseError);
    EXPECT_EQ(count("SELECT COUNT(*) FROM GROUPS WHERE Grupp = 'Copy'"), 0);
    EXPECT_EQ(recipients("Copy"), 0) << "no orphan rows";
    EXPECT_EQ(recipients("Source"), 5000);
    EXPECT_EQ(book->CurrentGroup(), "Source");
    EXPECT_EQ(dm->ta_Group.State(), TDataSetState::dsBrowse);
}

}
