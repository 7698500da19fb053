#include "addressbook/TF_AddGrp.h"
#include "addressbook/TF_Groups.h"
#include "addressbook/TF_Suppression.h"
#include "store/DataSetModel.h"
#include "store/SuppressionList.h"
#include "support/Accessibility.h"
#include "support/ModalDialogs.h"
#include "support/ScriptedPrompts.h"
#include "support/StoreSetup.h"
#include "support/TempProgramFolder.h"
#include "support/WaitFor.h"
#include "widgets/DBGrid.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <gtest/gtest.h>

// The suppression list's window, and the address book and group dialog that
// show what the list and the list headers mean for a group.

namespace {

class SuppressionWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dm = StoreSetup::openDataModule(folder);
        StoreSetup::addGroup(*dm, "Club", {"ann@example.org", "bob@example.org", "cid@example.org"});
    }

    TF_Suppression &window()
    {
        if (!m_window) {
            m_window = std::make_unique<TF_Suppression>(dm->Databas);
            m_window->show();
        }
        return *m_window;
    }
    QStringList shownAddresses()
    {
        QStringList addresses;
        for (int r = 0; r < window().gr_Suppression->rowCount(); ++r)
            addresses << window().gr_Suppression->item(r, 0)->text();
        return addresses;
    }
    void otherProgramSuppresses(const char *address, const char *reason)
    {
        const QByteArray sql = QByteArray("INSERT INTO Suppression (AddressKey, Address, Added, Reason) VALUES ('")
                               + address + "', '" + address + "', '2026-12-09 10:00:00', '" + reason + "')";
        StoreSetup::otherProgram(folder, sql.constData());
    }

    TempProgramFolder folder;
    ScriptedPrompts prompts;
    std::unique_ptr<TDM_Databaser> dm;
    std::unique_ptr<TF_Suppression> m_window;
};

TEST_F(SuppressionWindowTest, PastedAddressesAreListedWithDateAndReasonAndTheCount)
{
    TF_Suppression &w = window();
    EXPECT_EQ(w.windowTitle(), "Suppression list");
    EXPECT_EQ(w.la_Count->text(), "0 addresses");
    EXPECT_FALSE(w.bu_Remove->isEnabled());
    w.mo_Add->setPlainText("Ann <ann@example.org>\nzed@example.net, ann@example.org");
    w.bu_Add->click();
    EXPECT_EQ(shownAddresses(), QStringList({"ann@example.org", "zed@example.net"}));
    EXPECT_EQ(w.gr_Suppression->item(0, 2)->text(), "added by hand");
    EXPECT_FALSE(w.gr_Suppression->item(0, 1)->text().isEmpty());
    EXPECT_EQ(w.la_Count->text(), "2 addresses");
    EXPECT_EQ(w.la_Status->text(), "2 of 2 addresses added.");
    EXPECT_TRUE(w.mo_Add->toPlainText().isEmpty()) << "what was added is not added twice";

    w.mo_Add->setPlainText("no address");
    w.bu_Add->click();
    EXPECT_EQ(w.la_Status->text(), "No address found: an address has an @ in it.");
    EXPECT_EQ(w.mo_Add->toPlainText(), "no address") << "left to be corrected";
    EXPECT_TRUE(prompts.shown().isEmpty());
    expectAccessibleNames(&w);
}

TEST_F(SuppressionWindowTest, RemoveAsksFirstAndTakesOnlyTheSelectedRows)
{
    TF_Suppression &w = window();
    w.mo_Add->setPlainText("a@x.org b@x.org c@x.org");
    w.bu_Add->click();
    w.gr_Suppression->clearSelection();
    w.bu_Remove->click();
    EXPECT_EQ(prompts.texts(), QStringList({"Choose the addresses to remove first!"}));

    w.gr_Suppression->selectRow(0);
    w.gr_Suppression->selectionModel()->select(w.gr_Suppression->model()->index(2, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
    prompts.answer(PromptAnswer::No);
    w.bu_Remove->click();
    EXPECT_EQ(shownAddresses().size(), 3);
    prompts.answer(PromptAnswer::Yes);
    w.bu_Remove->click();
    EXPECT_EQ(prompts.texts().last(), "Remove these 2 addresses from the suppression list? They can be mailed again.");
    EXPECT_EQ(shownAddresses(), QStringList({"b@x.org"}));
    EXPECT_EQ(w.la_Status->text(), "2 addresses removed.");
    EXPECT_FALSE(TSuppressionList(dm->Databas).Contains("a@x.org"));
}

TEST_F(SuppressionWindowTest, ImportAndExportGoThroughTheChosenFiles)
{
    TF_Suppression &w = window();
    folder.writeFile("list.txt", "Name,Email\r\nAnn,ann@example.org\r\nBob,bob@example.org\r\n");
    w.chooseImportFile = [&] { return folder.file("list.txt"); };
    w.bu_Import->click();
    EXPECT_EQ(shownAddresses(), QStringList({"ann@example.org", "bob@example.org"}));

    w.chooseExportFile = [&] { return folder.file("out.csv"); };
    w.bu_Export->click();
    EXPECT_TRUE(folder.readFile("out.csv").startsWith("Address,Added,Reason,Detail\r\nann@example.org,"));
    EXPECT_EQ(w.la_Status->text(), "The list is written to " + folder.file("out.csv") + ".");

    w.chooseImportFile = [&] { return folder.file("gone.txt"); };
    w.bu_Import->click();
    ASSERT_EQ(prompts.texts().size(), 1);
    EXPECT_TRUE(prompts.texts().first().startsWith("Cannot read " + folder.file("gone.txt")));
    w.chooseImportFile = [] { return QString(); };
    w.bu_Import->click();
    EXPECT_EQ(prompts.texts().size(), 1) << "a cancelled choice does nothing";
}

TEST_F(SuppressionWindowTest, WindowFollowsWhatAnotherProgramSuppresses)
{
    TF_Suppression &w = window();
    otherProgramSuppresses("late@example.org", "hard bounce");
    ASSERT_TRUE(waitInEventLoop([&] { return w.gr_Suppression->rowCount() == 1; }));
    EXPECT_EQ(w.gr_Suppression->item(0, 2)->text(), "hard bounce");
    EXPECT_EQ(w.la_Count->text(), "1 address");
}

TEST_F(SuppressionWindowTest, AddressBookShowsSuppressedMembersGreyedWithTheReason)
{
    TSuppressionList(dm->Databas).Add({"bob@EXAMPLE.org", TSuppressionReason::Unsubscribed, {}});
    TF_Groups editor(*dm);
    editor.show();
    TDataSetModel *model = editor.gr_Recipient->dataSetModel();
    const int email = model->columnOfField("Email");
    auto remark = [&](int row, int role) { return model->index(row, email).data(role).toString(); };
    ASSERT_EQ(model->index(1, email).data().toString(), "bob@example.org");
    EXPECT_EQ(remark(1, TDataSetModel::RemarkRole), "Suppressed: unsubscribed");
    EXPECT_EQ(remark(1, Qt::ToolTipRole), "Suppressed: unsubscribed");
    EXPECT_EQ(remark(1, Qt::AccessibleDescriptionRole), "Suppressed: unsubscribed")
        << "a screen reader hears what the grey shows";
    EXPECT_EQ(model->index(1, 0).data(TDataSetModel::RemarkRole).toString(), "Suppressed: unsubscribed")
        << "the whole row";
    EXPECT_EQ(remark(0, TDataSetModel::RemarkRole), "");
    EXPECT_EQ(remark(1, Qt::DisplayRole), "bob@example.org") << "the grid still shows the address itself";

    otherProgramSuppresses("cid@example.org", "hard bounce");
    EXPECT_TRUE(waitInEventLoop([&] { return remark(2, Qt::ToolTipRole) == "Suppressed: hard bounce"; }));
}

TEST_F(SuppressionWindowTest, GroupDialogOffersTheListHeadersOnForNewGroupsAndAsStoredWhenModifying)
{
    TF_Groups editor(*dm);
    editor.show();
    bool offered = false;
    whenModal<TF_AddGrp>([&](TF_AddGrp &dialog) {
        offered = dialog.ch_ListHeaders->isChecked() && dialog.ch_ListHeaders->isEnabled();
        dialog.ed_GrpName->setText("Quiet");
        dialog.ch_ListHeaders->setChecked(false);
        dialog.bu_Ok->click();
    });
    editor.bu_InsertGroup->click();
    EXPECT_TRUE(offered);
    EXPECT_FALSE(dm->ListHeadersFor("Quiet"));

    bool shownOff = false;
    whenModal<TF_AddGrp>([&](TF_AddGrp &dialog) {
        shownOff = !dialog.ch_ListHeaders->isChecked();
        dialog.ch_ListHeaders->setChecked(true);
        dialog.ed_GrpName->setText("Loud");
        dialog.bu_Ok->click();
    });
    editor.bu_ModifyGroup->click();
    EXPECT_TRUE(shownOff);
    EXPECT_TRUE(dm->ListHeadersFor("Loud"));
    EXPECT_FALSE(dm->GroupExists("Quiet"));
}

} // namespace
