#include "mailer/ScheduleEditor.h"
#include "store/DataSetModel.h"
#include "support/Accessibility.h"
#include "support/ModalDialogs.h"
#include "support/ScriptedPrompts.h"
#include "support/SecondProgram.h"
#include "support/StoreSetup.h"
#include "support/TempProgramFolder.h"
#include "support/WaitFor.h"
#include "widgets/DBGrid.h"
#include "widgets/RecordNavigator.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

// The mailer's schedule editor over a store of its own, with the record
// navigator the main window would give it.
namespace {

enum Column { GroupColumn, DateColumn, TimeColumn, MsgFileColumn };

class ScheduleEditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dm = StoreSetup::openDataModule(folder);
        StoreSetup::addGroup(*dm, "Club", {});
        StoreSetup::addGroup(*dm, "Friends", {});
        navigator.setDataSet(&dm->ta_Agent);
        editor = std::make_unique<mailer::TF_Agent>(*dm, navigator, folder.file("MSG"));
        editor->chooseMessageFile = [this](const QString &start) {
            pickerFolders.append(start);
            return pickedFile;
        };
        editor->show();
        editor->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(editor.get()));
        grid()->setFocus();
    }

    TDBGrid *grid() const { return editor->gr_Agent; }
    TSelfRefreshTable &agent() { return dm->ta_Agent; }

    void addEntry(const QString &group, const QString &date)
    {
        agent().Insert();
        agent().FieldByName("Group").SetAsString(group);
        agent().FieldByName("MsgFile").SetAsString("/m/" + group + ".MSG");
        agent().FieldByName("Date").SetAsString(date);
        agent().FieldByName("Time").SetAsString("10:00");
        agent().Post();
    }

    QPoint cellCentre(int row, int column) const { return grid()->visualRect(grid()->model()->index(row, column)).center(); }

    void doubleClick(int row, int column)
    {
        QTest::mouseDClick(grid()->viewport(), Qt::LeftButton, {}, cellCentre(row, column));
        QCoreApplication::processEvents(); // the picker is asked for once the click is done
    }

    void press(Qt::Key key)
    {
        QWidget *focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : grid(), key, Qt::ControlModifier);
    }

    TempProgramFolder folder;
    ScriptedPrompts prompts;
    std::unique_ptr<TDM_Databaser> dm;
    TDBNavigator navigator{"AgentNavigator"};
    std::unique_ptr<mailer::TF_Agent> editor;
    QStringList pickerFolders;
    QString pickedFile;
};

TEST_F(ScheduleEditorTest, ShowsTheScheduleInFourNamedColumns)
{
    EXPECT_EQ(editor->windowTitle(), "Schedule");
    TDataSetModel *model = grid()->dataSetModel();
    ASSERT_EQ(model->columnCount(), 4);
    QStringList titles;
    for (int column = 0; column < 4; ++column)
        titles.append(model->headerData(column, Qt::Horizontal).toString());
    EXPECT_EQ(titles, QStringList({"Group", "Date", "Time", "Messagefile"}));
    EXPECT_EQ(grid()->columnWidth(GroupColumn), 200);
    EXPECT_EQ(grid()->columnWidth(MsgFileColumn), 233);
    EXPECT_GE(grid()->columnWidth(DateColumn), 70);
    EXPECT_GE(grid()->columnWidth(TimeColumn), 46);
    EXPECT_GE(editor->sizeHint().width(), grid()->horizontalHeader()->length()) << "every column in view";

    addEntry("Friends", "2030-01-02");
    EXPECT_EQ(model->index(0, GroupColumn).data().toString(), "Friends") << "the group by its name";
    EXPECT_EQ(model->index(0, DateColumn).data().toString(), "2030-01-02");
    EXPECT_EQ(model->index(0, TimeColumn).data().toString(), "10:00:00");
    EXPECT_EQ(grid()->accessibleName(), "gr_Agent");
    expectAccessibleNames(editor.get());
}

TEST_F(ScheduleEditorTest, TheMessageFilePickerOpensOnlyInTheMessagefileColumnWhileEditing)
{
    addEntry("Club", "2030-01-02");
    doubleClick(0, MsgFileColumn);
    EXPECT_TRUE(pickerFolders.isEmpty()) << "only browsed";

    press(Qt::Key_Insert);
    ASSERT_EQ(agent().State(), TDataSetState::dsInsert);
    doubleClick(1, DateColumn);
    EXPECT_TRUE(pickerFolders.isEmpty()) << "another column";

    doubleClick(1, MsgFileColumn);
    ASSERT_EQ(pickerFolders.size(), 1);
    EXPECT_EQ(QDir(pickerFolders[0]), QDir(folder.file("MSG")));
    EXPECT_TRUE(QDir(folder.file("MSG")).exists()) << "the folder is made for the dialog";
    EXPECT_TRUE(agent().FieldByName("MsgFile").IsNull()) << "cancelled: unchanged";

    pickedFile = folder.file("MSG/Hello.MSG");
    grid()->setCurrentIndex(grid()->model()->index(1, DateColumn));
    grid()->setCurrentIndex(grid()->model()->index(1, MsgFileColumn));
    EXPECT_TRUE(waitFor([&] { return pickerFolders.size() == 2; })) << "entering the column asks too";
    EXPECT_EQ(agent().FieldByName("MsgFile").AsString(), pickedFile);
}

TEST_F(ScheduleEditorTest, ThePickerIsTheMessageFileDialogInTheMessageFolder)
{
    editor->chooseMessageFile = messageFileDialog(editor.get(), QFileDialog::AcceptOpen, "Open", "od");
    folder.writeFile("MSG/Hello.MSG", "Hi\r\n<END OF MESSAGE>\r\n");
    agent().Insert();
    QString shownFolder;
    QStringList filters;
    QString dialogName;
    whenModal<QFileDialog>([&](QFileDialog &dialog) {
        shownFolder = dialog.directory().absolutePath();
        filters = dialog.nameFilters();
        dialogName = dialog.objectName();
        dialog.selectFile(folder.file("MSG/Hello.MSG"));
        static_cast<QDialog &>(dialog).accept();
    });
    doubleClick(0, MsgFileColumn);
    EXPECT_EQ(QDir(shownFolder), QDir(folder.file("MSG")));
    EXPECT_EQ(filters, QStringList{"Mailfiles (*.MSG)"});
    EXPECT_EQ(dialogName, "od");
    EXPECT_EQ(agent().FieldByName("MsgFile").AsString(), folder.file("MSG/Hello.MSG"));
}

TEST_F(ScheduleEditorTest, CtrlKeysMoveInsertPostCancelAndDeleteOnlyInTheirState)
{
    addEntry("Club", "2030-01-02");
    addEntry("Friends", "2030-01-03");
    press(Qt::Key_Home);
    EXPECT_EQ(agent().RecNo(), 1);
    press(Qt::Key_PageDown);
    EXPECT_EQ(agent().RecNo(), 2);
    press(Qt::Key_PageUp);
    EXPECT_EQ(agent().RecNo(), 1);
    press(Qt::Key_End);
    EXPECT_EQ(agent().RecNo(), 2);

    press(Qt::Key_S);
    press(Qt::Key_A);
    EXPECT_EQ(agent().State(), TDataSetState::dsBrowse) << "post and cancel wait for an edit";

    agent().Edit();
    agent().FieldByName("MsgFile").SetAsString("/m/changed.MSG");
    press(Qt::Key_Delete);
    EXPECT_TRUE(prompts.shown().isEmpty()) << "Ctrl+Delete while editing does nothing, not even the grid's own";
    EXPECT_EQ(agent().State(), TDataSetState::dsEdit);
    EXPECT_EQ(agent().RecordCount(), 2);
    press(Qt::Key_Insert);
    EXPECT_EQ(agent().State(), TDataSetState::dsEdit) << "no insert while editing";
    press(Qt::Key_S);
    EXPECT_EQ(agent().State(), TDataSetState::dsBrowse);
    EXPECT_EQ(agent().FieldByName("MsgFile").AsString(), "/m/changed.MSG");

    press(Qt::Key_Insert);
    EXPECT_EQ(agent().State(), TDataSetState::dsInsert);
    press(Qt::Key_A);
    EXPECT_EQ(agent().State(), TDataSetState::dsBrowse);
    EXPECT_EQ(agent().RecordCount(), 2);

    prompts.answer(PromptAnswer::Ok);
    press(Qt::Key_Delete);
    EXPECT_EQ(prompts.texts(), QStringList{"Delete record?"});
    EXPECT_EQ(agent().RecordCount(), 1);
}

TEST_F(ScheduleEditorTest, OnlyButtonsShownOnTheNavigatorActExceptCancel)
{
    addEntry("Club", "2030-01-02");
    addEntry("Friends", "2030-01-03");
    navigator.button(TDBNavigator::nbFirst)->hide();
    navigator.button(TDBNavigator::nbCancel)->hide();
    press(Qt::Key_Home);
    EXPECT_EQ(agent().RecNo(), 2) << "First is not on the navigator";
    agent().Edit();
    press(Qt::Key_A);
    EXPECT_EQ(agent().State(), TDataSetState::dsBrowse) << "cancel acts all the same";
}

TEST_F(ScheduleEditorTest, ARowTypedIntoTheGridIsPostedWithWhatItsEditorHolds)
{
    press(Qt::Key_Insert);
    const QAbstractItemModel *model = grid()->model();
    grid()->setCurrentIndex(model->index(0, GroupColumn));
    QTest::keyClick(grid(), Qt::Key_F2);
    auto *groups = grid()->viewport()->findChild<QComboBox *>();
    ASSERT_NE(groups, nullptr) << "the group is chosen from a list";
    QStringList names;
    for (int i = 0; i < groups->count(); ++i)
        names.append(groups->itemText(i));
    EXPECT_EQ(names, QStringList({"Club", "Friends"}));
    QTest::keyClick(groups, Qt::Key_Down);
    EXPECT_EQ(agent().FieldByName("Group").AsString(), "Club") << "a choice is written at once";

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    auto *date = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    ASSERT_NE(date, nullptr);
    EXPECT_EQ(date->inputMask(), "9999/99/99;_");
    QTest::keyClicks(date, "20300102");
    QTest::keyClick(date, Qt::Key_Tab);
    auto *time = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    ASSERT_NE(time, nullptr);
    EXPECT_EQ(time->inputMask(), "09:99;_");
    QTest::keyClicks(time, "0930");
    agent().FieldByName("MsgFile").SetAsString("/m/a.MSG");

    press(Qt::Key_S); // the time is still in its editor
    EXPECT_TRUE(prompts.shown().isEmpty()) << prompts.texts().join('\n').toStdString();
    ASSERT_EQ(agent().State(), TDataSetState::dsBrowse);
    EXPECT_EQ(agent().FieldByName("Date").AsString(), "2030-01-02");
    EXPECT_EQ(agent().FieldByName("Time").AsString(), "09:30:00");
    EXPECT_EQ(agent().FieldByName("Grupp").AsString(), "Club");
}

TEST_F(ScheduleEditorTest, TheRowIsEditedFromTheFirstChangeTypedIntoACell)
{
    addEntry("Club", "2030-01-02");
    grid()->setCurrentIndex(grid()->model()->index(0, TimeColumn));
    QTest::keyClick(grid(), Qt::Key_F2);
    auto *time = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    ASSERT_NE(time, nullptr);
    EXPECT_EQ(time->text(), "10:00") << "the stored time, in the mask";
    EXPECT_EQ(agent().State(), TDataSetState::dsBrowse) << "an open editor changes nothing yet";
    QTest::keyClick(time, Qt::Key_Home);
    QTest::keyClicks(time, "1145");
    EXPECT_EQ(agent().State(), TDataSetState::dsEdit);
    press(Qt::Key_S);
    EXPECT_EQ(agent().FieldByName("Time").AsString(), "11:45:00");
    EXPECT_TRUE(prompts.shown().isEmpty());
}

TEST_F(ScheduleEditorTest, AnEmptyRequiredFieldIsRefusedWithTheStoresMessage)
{
    press(Qt::Key_Insert);
    agent().FieldByName("Group").SetAsString("Club");
    agent().FieldByName("MsgFile").SetAsString("/m/a.MSG");
    agent().FieldByName("Date").SetAsString("2030-01-02");
    grid()->setCurrentIndex(grid()->model()->index(0, TimeColumn));
    QTest::keyClick(grid(), Qt::Key_F2);
    ASSERT_NE(qobject_cast<QLineEdit *>(QApplication::focusWidget()), nullptr);
    press(Qt::Key_S); // with the time's editor open and blank
    EXPECT_EQ(prompts.texts(), QStringList{"Field 'Time' must have a value"});
    EXPECT_EQ(agent().State(), TDataSetState::dsInsert) << "the row is kept for the user to finish";
    EXPECT_EQ(agent().RecordCount(), 0);
}

TEST_F(ScheduleEditorTest, AnEntryTheAgentAddsAppearsWithinTwoSecondsAndTheCurrentRowStays)
{
    addEntry("Club", "2030-01-02");
    addEntry("Friends", "2030-01-03");
    agent().First();
    ASSERT_TRUE(runSecondProgram(folder, "INSERT INTO Agent (\"Group\", MsgFile, \"Date\", \"Time\") "
                                         "VALUES ('Friends', '/m/late.MSG', '2030-02-01', '08:00:00')"));
    EXPECT_TRUE(waitInEventLoop([&] { return grid()->model()->rowCount() == 3; }, 2000));
    EXPECT_EQ(agent().FieldByName("Group").AsString(), "Club");
    EXPECT_EQ(grid()->currentIndex().row(), 0);
    EXPECT_EQ(grid()->model()->index(2, MsgFileColumn).data().toString(), "/m/late.MSG");
}

}
