#include "addressbook/AddressBook.h"
#include "addressbook/SuppressionEditor.h"
#include "addressbook/SuppressionWatch.h"
#include "platform/TextFile.h"
#include "store/SuppressionList.h"
#include "support/MockClock.h"
#include "support/ScriptedPrompts.h"
#include "support/StoreSetup.h"
#include "support/TempProgramFolder.h"
#include "support/WaitFor.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

// The suppression list as its window changes it (typed, pasted, imported,
// removed, exported), and the list kept current for the address book.

namespace {

class SuppressionEditorTest : public ::testing::Test
{
protected:
    void SetUp() override { dm = StoreSetup::openDataModule(folder); }

    // The list and its editor, over the store as it is now.
    void open()
    {
        list = std::make_unique<TSuppressionList>(dm->Databas);
        editor = std::make_unique<TSuppressionEditor>(*list);
    }
    QStringList listed()
    {
        QStringList addresses;
        for (const TSuppressionRow &row : list->Rows())
            addresses << row.address;
        return addresses;
    }

    TempProgramFolder folder;
    ScriptedPrompts prompts;
    MockClock clock{QDateTime(QDate(2026, 12, 9), QTime(14, 30, 5))};
    std::unique_ptr<TDM_Databaser> dm;
    std::unique_ptr<TSuppressionList> list;
    std::unique_ptr<TSuppressionEditor> editor;
};

TEST(SuppressionEditor, PicksAddressesOutOfWhatMailClientsCopy)
{
    EXPECT_EQ(TSuppressionEditor::AddressesIn({"Ann Berg <ann@example.org>, bob@example.org;",
                                               "mailto:cid@example.org  \"Dee\" <dee@example.org>", "no address here",
                                               "", "ann@example.org"}),
              QStringList({"ann@example.org", "bob@example.org", "cid@example.org", "dee@example.org"}))
        << "each once, in order";
    EXPECT_EQ(TSuppressionEditor::AddressesIn({"a@x.org#comment b@x.org\tBob\tc@x.org"}),
              QStringList({"a@x.org", "b@x.org", "c@x.org"}))
        << "'#' ends a token, and so does a spreadsheet's tab";
    EXPECT_TRUE(TSuppressionEditor::AddressesIn({"<>", "mailto:", ";;"}).isEmpty());
}

TEST(SuppressionEditor, SummarySaysHowManyWereNew)
{
    EXPECT_EQ(TSuppressionEditor::Summary({0, 0}), "No address found: an address has an @ in it.");
    EXPECT_EQ(TSuppressionEditor::Summary({3, 3}), "3 of 3 addresses added.");
    EXPECT_EQ(TSuppressionEditor::Summary({4, 3}), "3 of 4 addresses added; 1 was on the list already.");
    EXPECT_EQ(TSuppressionEditor::Summary({4, 1}), "1 of 4 addresses added; 3 were on the list already.");
}

TEST_F(SuppressionEditorTest, PastedTextIsAddedByHandAndWhatIsListedAlreadyKeepsItsReason)
{
    open();
    ASSERT_TRUE(list->Add({"bob@example.org", TSuppressionReason::HardBounce, "550 5.1.1"}));
    const auto added = editor->AddText("ann@example.org\r\nBob <bob@EXAMPLE.org>\ncid@example.org");
    EXPECT_EQ(added.found, 3);
    EXPECT_EQ(added.added, 2);
    EXPECT_EQ(list->ReasonFor("ann@example.org"), "added by hand");
    EXPECT_EQ(list->ReasonFor("bob@example.org"), "hard bounce");
    EXPECT_EQ(listed(), QStringList({"bob@example.org", "ann@example.org", "cid@example.org"}));
}

TEST_F(SuppressionEditorTest, ExportReadsBackAsTheSameAddressesAndNothingFromTheDetails)
{
    open();
    ASSERT_TRUE(list->Add(
        {"bob@example.org", TSuppressionReason::HardBounce, "Final-Recipient stranger@example.net, \"quoted\" reply"}));
    ASSERT_TRUE(list->Add({"ann,x@example.org", TSuppressionReason::Unsubscribed, {}}));
    const QString path = folder.file("list.csv");
    folder.writeFile("list.csv", "an earlier file\r\n");
    QString error;
    ASSERT_TRUE(editor->Export(path, error)) << error.toStdString();
    QStringList lines;
    ASSERT_TRUE(TextFile::readLines(path, lines));
    EXPECT_EQ(lines, QStringList({"Address,Added,Reason,Detail",
                                  "bob@example.org,2026-12-09 14:30:05,hard bounce,"
                                  "\"Final-Recipient stranger@example.net, \"\"quoted\"\" reply\"",
                                  "\"ann,x@example.org\",2026-12-09 14:30:05,unsubscribed,"}));

    ASSERT_EQ(list->RemoveMany({"bob@example.org", "ann,x@example.org"}), 2);
    TSuppressionEditor::Added added;
    ASSERT_TRUE(editor->ImportFile(path, added, error));
    EXPECT_EQ(added.found, 2);
    EXPECT_EQ(listed(), QStringList({"bob@example.org", "ann,x@example.org"}))
        << "the address in a detail is no entry of the list";
}

TEST_F(SuppressionEditorTest, FileThatCannotBeReadOrWrittenChangesNothing)
{
    open();
    TSuppressionEditor::Added added{7, 7};
    QString error;
    EXPECT_FALSE(editor->ImportFile(folder.file("missing.txt"), added, error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(list->Count(), 0);
    EXPECT_FALSE(editor->Export(folder.file("no folder/list.csv"), error));
    EXPECT_FALSE(QFile::exists(folder.file("no folder/list.csv")));
}

TEST_F(SuppressionEditorTest, RemoveTakesOnlyWhatWasListed)
{
    open();
    editor->AddText("a@x.org b@x.org c@x.org");
    EXPECT_EQ(editor->Remove({"a@X.ORG", "nobody@x.org", "c@x.org"}), 2);
    EXPECT_EQ(listed(), QStringList({"b@x.org"}));
}

TEST_F(SuppressionEditorTest, WatchFollowsAChangeAnotherProgramMakes)
{
    TSuppressionWatch watch(dm->Databas);
    EXPECT_EQ(watch.RemarkFor("gone@example.org"), "");
    QSignalSpy changed(&watch, &TSuppressionWatch::changed);
    StoreSetup::otherProgram(folder,
                             "INSERT INTO Suppression (AddressKey, Address, Added, Reason) "
                             "VALUES ('gone@example.org', 'gone@example.org', '2026-12-09 10:00:00', 'hard bounce')");
    ASSERT_TRUE(waitInEventLoop([&] { return changed.count() > 0; }, 5000));
    EXPECT_EQ(watch.RemarkFor("gone@EXAMPLE.org"), "Suppressed: hard bounce");
    EXPECT_EQ(watch.RemarkFor("Gone@example.org"), "");
}

TEST_F(SuppressionEditorTest, GroupsListHeadersAreChosenWhenMadeAndWhenRenamed)
{
    TAddressBook book(*dm);
    ASSERT_TRUE(book.InsertGroup("With"));
    EXPECT_TRUE(book.CurrentListHeaders()) << "a new group has them";
    ASSERT_TRUE(book.InsertGroup("Without", std::nullopt, false));
    EXPECT_FALSE(book.CurrentListHeaders());
    EXPECT_TRUE(dm->ListHeadersFor("With"));

    ASSERT_TRUE(book.ModifyGroup("Without now", true));
    EXPECT_TRUE(dm->ListHeadersFor("Without now"));
    ASSERT_TRUE(book.ModifyGroup("Renamed"));
    EXPECT_TRUE(dm->ListHeadersFor("Renamed")) << "a rename alone keeps the choice";
    ASSERT_TRUE(book.ModifyGroup("Renamed", false));
    EXPECT_FALSE(book.CurrentListHeaders());
}

} // namespace
