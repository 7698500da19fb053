#include "store/Refresher.h"
#include "store/SelfRefreshQuery.h"
#include "support/ScriptedPrompts.h"
#include "support/StoreSetup.h"
#include "support/TempProgramFolder.h"
#include "store/DatabaseError.h"
#include "store/DataSetModel.h"
#include "widgets/DBGrid.h"
#include "widgets/DBGridDelegate.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

// A grid keeps the user's place when its rows are read again: the current
// row stays as far down the window as it was, and a window scrolled away
// from it stays where it is.
namespace {

class GridPlaceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dm = StoreSetup::openDataModule(folder);
        otherProgram("WITH RECURSIVE n(i) AS (SELECT 10 UNION ALL SELECT i + 1 FROM n WHERE i < 69) "
                     "INSERT INTO GROUPS (Grupp) SELECT 'G' || i FROM n");
        query = std::make_unique<TSelfRefreshQuery>(&dm->Databas);
        query->AddSQL("SELECT Grupp FROM GROUPS");
        query->AddSQL("ORDER BY Grupp");
        query->Open();
        grid.setDataSet(query.get());
        grid.resize(300, 12 * grid.verticalHeader()->defaultSectionSize());
        grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    }

    void otherProgram(const char *sql) { StoreSetup::otherProgram(folder, sql); }

    void refreshAutomatically()
    {
        TRefresher::instance().CheckChanges();
        ASSERT_TRUE(TRefresher::instance().IsPending(query.get()));
        TRefresher::instance().ProcessPending();
        QCoreApplication::processEvents();
    }

    // The current row's group, and the rows the window starts and ends with.
    QString current() { return query->Fields(0).AsString(); }
    int top() const { return grid.rowAt(0); }

    void showAt(int row, int topRow)
    {
        query->MoveToRow(row);
        grid.verticalScrollBar()->setValue(topRow);
        ASSERT_EQ(top(), topRow);
        ASSERT_EQ(grid.currentIndex().row(), row);
    }

    TempProgramFolder folder;
    ScriptedPrompts prompts;
    std::unique_ptr<TDM_Databaser> dm;
    std::unique_ptr<TSelfRefreshQuery> query;
    TDBGrid grid{"gr_Test"};
};

TEST_F(GridPlaceTest, TheCurrentRowKeepsItsPlaceInTheWindow)
{
    showAt(30, 27);
    ASSERT_EQ(current(), "G40");

    otherProgram("INSERT INTO GROUPS (Grupp) VALUES ('G05'), ('G06')");
    refreshAutomatically();
    EXPECT_EQ(current(), "G40");
    EXPECT_EQ(grid.currentIndex().row(), 32);
    EXPECT_EQ(top(), 29) << "still the fourth row of the window";

    otherProgram("DELETE FROM GROUPS WHERE Grupp = 'G40'");
    refreshAutomatically();
    EXPECT_EQ(current(), "G41") << "the row that followed the deleted one";
    EXPECT_EQ(grid.currentIndex().row(), 32);
    EXPECT_EQ(top(), 29);

    otherProgram("DELETE FROM GROUPS WHERE Grupp < 'G40'");
    refreshAutomatically();
    EXPECT_EQ(current(), "G41");
    EXPECT_EQ(grid.currentIndex().row(), 0);
    EXPECT_EQ(top(), 0) << "fewer rows before it: the window starts at the top";
}

TEST_F(GridPlaceTest, AWindowScrolledAwayFromTheCurrentRowStaysWhereItIs)
{
    showAt(5, 40);
    otherProgram("INSERT INTO GROUPS (Grupp) VALUES ('G99')");
    refreshAutomatically();
    EXPECT_EQ(top(), 40);
    EXPECT_EQ(grid.currentIndex().row(), 5);
    EXPECT_EQ(grid.model()->rowCount(), 61);
}

// A cell's box takes a text whole; one too long for its field is refused
// with the field's message when the cell is written, never cut.
TEST(GridEditing, ATextTooLongForItsFieldIsRefusedNotCut)
{
    TempProgramFolder folder;
    ScriptedPrompts prompts;
    auto dm = StoreSetup::openDataModule(folder);
    StoreSetup::addGroup(*dm, "Friends", {"a@x.org"});
    TDBGrid grid("gr_Recipient");
    grid.setDataSet(&dm->ta_Emails);
    grid.setEditing(true);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    const int name = dm->ta_Emails.FieldByName("Name").Index();
    grid.setCurrentIndex(grid.model()->index(0, name));
    QTest::keyClick(&grid, Qt::Key_F2);
    auto *edit = grid.viewport()->findChild<QLineEdit *>();
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClicks(edit, QString(31, u'n'));
    EXPECT_EQ(edit->text().size(), 31) << "the box takes the text whole";
    ASSERT_EQ(dm->ta_Emails.State(), TDataSetState::dsEdit);
    try {
        dm->ta_Emails.Post(); // as the navigator's post: the open cell is written first
        ADD_FAILURE() << "posted";
    } catch (const EDatabaseError &e) {
        EXPECT_TRUE(e.message().contains("at most 30 characters")) << e.message().toStdString();
    }
    EXPECT_EQ(dm->ta_Emails.State(), TDataSetState::dsEdit) << "the edit stays, to be mended";
    EXPECT_EQ(edit->text().size(), 31);
    dm->ta_Emails.Cancel();
    EXPECT_EQ(dm->ta_Emails.FieldByName("Name").AsString(), "a");
}

// A row the model remarks on is drawn as a disabled row is, every cell of
// it; the others as always.
TEST(GridRemarks, ARemarkedRowIsDrawnGreyed)
{
    TempProgramFolder folder;
    auto dm = StoreSetup::openDataModule(folder);
    StoreSetup::addGroup(*dm, "Friends", {"a@x.org", "gone@x.org"});
    TDBGrid grid("gr_Recipient");
    grid.setDataSet(&dm->ta_Emails);
    grid.dataSetModel()->setRowRemark("Email", [](const QVariant &email) {
        return email.toString() == "gone@x.org" ? QStringLiteral("Suppressed: hard bounce") : QString();
    });
    auto *delegate = qobject_cast<TDBGridDelegate *>(grid.itemDelegate());
    ASSERT_NE(delegate, nullptr);
    auto enabled = [&](int row, int column) {
        QStyleOptionViewItem option;
        option.state = QStyle::State_Enabled;
        delegate->initStyleOption(&option, grid.model()->index(row, column));
        return bool(option.state & QStyle::State_Enabled);
    };
    for (int column = 0; column < grid.model()->columnCount(); ++column) {
        EXPECT_TRUE(enabled(0, column)) << column;
        EXPECT_FALSE(enabled(1, column)) << column;
    }
}

}
