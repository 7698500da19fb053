#include "store/Refresher.h"
#include "store/SelfRefreshQuery.h"
#include "support/ScriptedPrompts.h"
#include "support/StoreSetup.h"
#include "support/TempProgramFolder.h"
#include "widgets/DBGrid.h"

#include <QHeaderView>
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

}
