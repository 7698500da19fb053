#include "send/MemberPages.h"
#include "store/RecipientFields.h"
#include "support/StoreSetup.h"
#include "support/TempProgramFolder.h"

#include <gtest/gtest.h>

namespace {

class MemberPagesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        StoreSetup::createStore(folder);
        dm = StoreSetup::openDataModule(folder);
    }
    QStringList readAll(TMemberPages &pages)
    {
        QStringList emails;
        for (; !pages.Eof(); pages.Next())
            emails.append(pages.Email());
        return emails;
    }
    static QStringList addresses(const QString &prefix, int from, int to)
    {
        QStringList list;
        for (int n = from; n <= to; ++n)
            list.append(prefix + QString::number(n) + "@x.org");
        return list;
    }

    TempProgramFolder folder;
    std::unique_ptr<TDM_Databaser> dm;
};

TEST_F(MemberPagesTest, AGroupIsReadWholeInItsOrderAcrossPagesAndBesideOtherGroups)
{
    StoreSetup::addGroup(*dm, "A", addresses("a", 1, 4));
    StoreSetup::addGroup(*dm, "B", addresses("b", 1, 5));
    // A's later members come after B's in the table.
    StoreSetup::otherProgram(folder, "INSERT INTO EMAILS (Name, Email, Grupp) VALUES"
                                     " ('a5','a5@x.org','A'),('a6','a6@x.org','A');");
    for (int pageSize : {1, 3, 6, 7, 1000}) {
        TMemberPages pages(&dm->Databas, pageSize);
        pages.Open("A");
        EXPECT_EQ(readAll(pages), addresses("a", 1, 6)) << "page size " << pageSize;
        pages.Open("B");
        const QString firstName = pages.Name();
        EXPECT_EQ(firstName, "b1");
        EXPECT_EQ(readAll(pages), addresses("b", 1, 5)) << "page size " << pageSize;
        pages.Close();
    }
}

TEST_F(MemberPagesTest, AnEmptyOrUnknownGroupIsAtItsEndAtOnce)
{
    StoreSetup::addGroup(*dm, "Empty", {});
    TMemberPages pages(&dm->Databas, 3);
    pages.Open("Empty");
    EXPECT_TRUE(pages.Eof());
    pages.Next();
    EXPECT_TRUE(pages.Eof());
    pages.Open("Nobody");
    EXPECT_TRUE(pages.Eof());
}

TEST_F(MemberPagesTest, ChangesWhileReadingNeitherRepeatNorSkipAnyoneStillThere)
{
    StoreSetup::addGroup(*dm, "A", addresses("a", 1, 9));
    TMemberPages pages(&dm->Databas, 3);
    pages.Open("A");
    QStringList read;
    for (int n = 0; n < 2; ++n, pages.Next())
        read.append(pages.Email());
    // Another program removes a member already read and one ahead, and adds
    // one: the run was counted at its start, so the new one waits for the
    // next run; the one removed ahead is not sent to.
    StoreSetup::otherProgram(folder, "DELETE FROM EMAILS WHERE Email IN ('a1@x.org','a7@x.org');"
                                     "INSERT INTO EMAILS (Name, Email, Grupp) VALUES ('a10','a10@x.org','A');");
    read.append(readAll(pages));
    QStringList expected = addresses("a", 1, 9);
    expected.removeAll("a7@x.org");
    EXPECT_EQ(read, expected);
}

TEST_F(MemberPagesTest, TheFieldsNamedAtOpenComeWithEachMemberOnEveryPage)
{
    StoreSetup::addGroup(*dm, "A", addresses("a", 1, 5));
    StoreSetup::addGroup(*dm, "B", addresses("b", 1, 2));
    const QStringList a = StoreSetup::column(*dm, "Unikt", "A");
    const QStringList b = StoreSetup::column(*dm, "Unikt", "B");
    TRecipientFields fields(dm->Databas);
    fields.Write(a[0].toInt(), {{"Town", "Lund"}, {"Number", "1"}});
    fields.Write(a[3].toInt(), {{"TOWN", "Umeå"}});
    fields.Write(a[4].toInt(), {{"Number", "5"}});
    fields.Write(b[1].toInt(), {{"Town", "Kiruna"}});
    for (int pageSize : {1, 2, 1000}) {
        TMemberPages pages(&dm->Databas, pageSize);
        // Named as the message spells them, found whatever the store's case.
        pages.Open("A", {"town", "Number", "Nowhere"});
        QList<QStringList> read;
        for (; !pages.Eof(); pages.Next())
            read.append(pages.Fields());
        EXPECT_EQ(read,
                  (QList<QStringList>{{"Lund", "1", ""}, {"", "", ""}, {"", "", ""}, {"Umeå", "", ""}, {"", "5", ""}}))
            << "page size " << pageSize;
        pages.Open("B");
        EXPECT_TRUE(pages.Fields().isEmpty()) << "no fields asked for";
        EXPECT_EQ(readAll(pages), addresses("b", 1, 2));
    }
}
}
