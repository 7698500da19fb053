#include "support/Accessibility.h"
#include "widgets/DBGrid.h"
#include "store/DataSetModel.h"
#include "store/Query.h"
#include "store/RecipientFields.h"
#include "support/ModalDialogs.h"
#include "support/ScriptedPrompts.h"
#include "support/SecondProgram.h"
#include "support/StoreSetup.h"
#include "addressbook/TF_AddGrp.h"
#include "addressbook/TF_AddRec.h"
#include "addressbook/TF_Groups.h"
#include "support/TempProgramFolder.h"
#include "support/WaitFor.h"

#include <QCheckBox>
#include <QCompleter>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class GroupEditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dm = StoreSetup::openDataModule(folder);
        StoreSetup::addGroup(*dm, "Club", {"c@x.org"});
        StoreSetup::addGroup(*dm, "Friends", {"a@x.org", "b@x.org"});
        editor = std::make_unique<TF_Groups>(*dm);
        editor->show();
    }

    TempProgramFolder folder;
    ScriptedPrompts prompts;
    std::unique_ptr<TDM_Databaser> dm;
    std::unique_ptr<TF_Groups> editor;
};

TEST_F(GroupEditorTest, ShowsGroupsAndTheSelectedGroupsRecipients)
{
    EXPECT_EQ(editor->windowTitle(), "Edit groups");
    EXPECT_EQ(editor->size(), QSize(553, 399));
    TDataSetModel *groups = editor->gr_Group->dataSetModel();
    EXPECT_EQ(groups->rowCount(), 2);
    EXPECT_FALSE(editor->gr_Group->fieldBitmap(0).isNull()) << "the Picture column draws the GROUP bitmap";
    EXPECT_FALSE(editor->gr_Recipient->fieldBitmap(0).isNull()) << "the Picture column draws the MAIL bitmap";
    EXPECT_TRUE(editor->gr_Group->fieldBitmap(1).isNull());
    EXPECT_EQ(editor->gr_Group->currentIndex().row(), 1) << "the grid follows the current group";
    EXPECT_EQ(editor->gr_Recipient->dataSetModel()->rowCount(), 2);

    // Choosing a row in the group grid makes it the current group.
    editor->gr_Group->selectRow(0);
    EXPECT_EQ(dm->ta_Group.FieldByName("Grupp").AsString(), "Club");
    EXPECT_EQ(editor->gr_Recipient->dataSetModel()->rowCount(), 1);
    EXPECT_EQ(editor->bu_InsertRecipient->toolTip(), "Insert new recipient");
    EXPECT_EQ(editor->bu_Import->toolTip(), "Import Recipients");
    expectAccessibleNames(editor.get());
}

TEST_F(GroupEditorTest, VoiceControlFindsModifyByItsCaptionInBothBoxes)
{
    const QList<std::pair<QString, QString>> boxes{{"Group", "Edit selected group"},
                                                   {"Recipients", "Edit selected recipient"}};
    for (const auto &[box, hint] : boxes) {
        QAccessibleInterface *around = findSpoken(editor.get(), QAccessible::Grouping, box);
        ASSERT_NE(around, nullptr) << box.toStdString();
        for (const char *caption : {"Insert", "Modify", "Delete"})
            EXPECT_NE(findSpoken(around, QAccessible::PushButton, caption), nullptr) << box.toStdString() << caption;
        QAccessibleInterface *modify = findSpoken(around, QAccessible::PushButton, "Modify");
        ASSERT_NE(modify, nullptr) << box.toStdString();
        EXPECT_EQ(modify->text(QAccessible::Description), hint);
    }

    // "Click Modify" in the recipients box opens the recipient, not the group.
    editor->gr_Recipient->selectRow(1);
    QString opened;
    whenModal<TF_AddRec>([&](TF_AddRec &dialog) { opened = dialog.ed_Email->text(); });
    QAccessibleInterface *recipients = findSpoken(editor.get(), QAccessible::Grouping, "Recipients");
    QAccessibleInterface *modify = findSpoken(recipients, QAccessible::PushButton, "Modify");
    ASSERT_NE(modify->actionInterface(), nullptr);
    modify->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_TRUE(waitFor([&] { return !opened.isEmpty(); }));
    EXPECT_EQ(opened, "b@x.org");
}

TEST_F(GroupEditorTest, InsertGroupDialogCopiesTheChosenGroup)
{
    whenModal<TF_AddGrp>([](TF_AddGrp &dialog) {
        TF_AddGrp *d = &dialog;
        EXPECT_EQ(d->windowTitle(), "Add new group");
        EXPECT_EQ(d->co_Group->count(), 2);
        EXPECT_EQ(d->co_Group->currentText(), "") << "nothing chosen yet";
        d->ed_GrpName->setText("Copy of friends");
        d->ch_CopyEmail->setChecked(true);
        d->co_Group->setCurrentText("Friends");
        d->bu_Ok->click();
    });
    editor->bu_InsertGroup->click();
    EXPECT_FALSE(editor->EditMode());
    EXPECT_EQ(dm->ta_Group.FieldByName("Grupp").AsString(), "Copy of friends");
    EXPECT_EQ(dm->ta_Group.FieldByName("Members").AsInteger(), 2);
    EXPECT_EQ(editor->gr_Recipient->dataSetModel()->rowCount(), 2);
}

TEST_F(GroupEditorTest, GroupDialogWantsAGroupToCopyAndEnterNeverClosesIt)
{
    bool stayedOpen = false;
    whenModal<TF_AddGrp>([&](TF_AddGrp &dialog) {
        TF_AddGrp *d = &dialog;
        d->ed_GrpName->setFocus();
        QTest::keyClick(d->ed_GrpName, Qt::Key_Return);
        EXPECT_TRUE(d->isVisible()) << "Enter moves on, it does not close";
        d->ch_CopyEmail->setChecked(true);
        d->bu_Ok->click();
        stayedOpen = d->isVisible();
        d->bu_Cancel->click();
    });
    editor->bu_InsertGroup->click();
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(prompts.texts(), QStringList{"You must choose a Group to copy first!"});
    EXPECT_EQ(dm->ta_Group.RecordCount(), 2) << "Cancel adds nothing";
}

TEST_F(GroupEditorTest, ModifyGroupOffersTheNameAndNoCopy)
{
    whenModal<TF_AddGrp>([](TF_AddGrp &dialog) {
        TF_AddGrp *d = &dialog;
        EXPECT_EQ(d->ed_GrpName->text(), "Friends");
        EXPECT_FALSE(d->ch_CopyEmail->isEnabled());
        EXPECT_FALSE(d->co_Group->isEnabled());
        EXPECT_EQ(d->co_Group->count(), 0);
        d->ed_GrpName->setText("Pals");
        d->bu_Ok->click();
    });
    editor->bu_ModifyGroup->click();
    EXPECT_TRUE(editor->EditMode());
    EXPECT_EQ(dm->ta_Group.FieldByName("Grupp").AsString(), "Pals");
    EXPECT_EQ(editor->gr_Recipient->dataSetModel()->rowCount(), 2);
}

TEST_F(GroupEditorTest, InsertRecipientIntoFurtherGroups)
{
    whenModal<TF_AddRec>([](TF_AddRec &dialog) {
        TF_AddRec *d = &dialog;
        EXPECT_EQ(d->windowTitle(), "Add new recipient");
        ASSERT_EQ(d->lb_AddToGrp->count(), 1) << "every other group";
        EXPECT_EQ(d->lb_AddToGrp->item(0)->text(), "Club");
        d->ed_Name->setText("Dora");
        d->ed_Email->setText("dora@x.org");
        d->ch_Add->setChecked(true);
        d->bu_Ok->click();
        EXPECT_TRUE(d->isVisible()) << "no further group chosen yet";
        d->lb_AddToGrp->item(0)->setSelected(true);
        d->bu_Ok->click();
    });
    editor->bu_InsertRecipient->click();
    EXPECT_EQ(prompts.texts(), QStringList{"You must choose a Group first!"});
    EXPECT_EQ(dm->ta_Group.FieldByName("Members").AsInteger(), 3);
    EXPECT_EQ(editor->gr_Recipient->dataSetModel()->rowCount(), 3);
    ASSERT_TRUE(dm->ta_Group.Locate("Grupp", "Club"));
    EXPECT_EQ(dm->ta_Group.FieldByName("Members").AsInteger(), 2);
}

TEST_F(GroupEditorTest, ModifyRecipientFillsTheDialogAndDeleteRemovesAtOnce)
{
    editor->gr_Recipient->selectRow(1);
    whenModal<TF_AddRec>([](TF_AddRec &dialog) {
        TF_AddRec *d = &dialog;
        EXPECT_EQ(d->ed_Email->text(), "b@x.org");
        EXPECT_FALSE(d->ch_Add->isEnabled());
        EXPECT_EQ(d->lb_AddToGrp->count(), 0);
        d->ed_Name->setText("Bea");
        d->bu_Ok->click();
    });
    editor->bu_ModifyRecipient->click();
    EXPECT_EQ(dm->ta_Emails.FieldByName("Name").AsString(), "Bea");

    editor->bu_DeleteRecipient->click();
    EXPECT_TRUE(prompts.shown().isEmpty());
    EXPECT_EQ(editor->gr_Recipient->dataSetModel()->rowCount(), 1);
    EXPECT_EQ(dm->ta_Group.FieldByName("Members").AsInteger(), 1);
}

// The fields a recipient has beyond name and address are shown and edited in
// the dialog and kept with the recipient.
TEST_F(GroupEditorTest, TheRecipientDialogShowsAndKeepsTheRecipientsFields)
{
    auto cell = [](TF_AddRec &d, int row, int column) {
        const QTableWidgetItem *item = d.gr_Fields->item(row, column);
        return item ? item->text() : QString();
    };
    auto type = [](TF_AddRec &d, int row, int column, const QString &text) {
        d.gr_Fields->setItem(row, column, new QTableWidgetItem(text));
    };
    whenModal<TF_AddRec>([&](TF_AddRec &d) {
        EXPECT_EQ(d.gr_Fields->rowCount(), 1) << "a blank row for the first field";
        d.ed_Name->setText("Dora");
        d.ed_Email->setText("dora@x.org");
        type(d, 0, 0, "Town");
        EXPECT_EQ(d.gr_Fields->rowCount(), 2) << "typing into the blank row opens the next";
        type(d, 0, 1, "Lund");
        EXPECT_EQ(d.gr_Fields->rowCount(), 2);
        type(d, 1, 0, "Number");
        type(d, 1, 1, "");
        type(d, 2, 0, "town");
        type(d, 2, 1, "Malmö");
        d.bu_Ok->click();
    });
    editor->bu_InsertRecipient->click();
    ASSERT_TRUE(dm->ta_Emails.Locate("Email", "dora@x.org"));
    const int dora = dm->ta_Emails.FieldByName("Unikt").AsInteger();
    EXPECT_EQ(TRecipientFields(dm->Databas).Read(dora), (TRecipientFields::Values{{"Town", "Lund"}}))
        << "an empty value and a second spelling of a name are not kept";

    whenModal<TF_AddRec>([&](TF_AddRec &d) {
        // A field name is typed with the store's names offered.
        d.gr_Fields->edit(d.gr_Fields->model()->index(1, 0));
        auto *editor = d.gr_Fields->viewport()->findChild<QLineEdit *>();
        ASSERT_NE(editor, nullptr);
        ASSERT_NE(editor->completer(), nullptr);
        editor->completer()->setCompletionPrefix("to");
        EXPECT_EQ(editor->completer()->currentCompletion(), "Town");
        QTest::keyClick(editor, Qt::Key_Escape);
        ASSERT_EQ(d.gr_Fields->rowCount(), 2);
        EXPECT_EQ(cell(d, 0, 0), "Town");
        EXPECT_EQ(cell(d, 0, 1), "Lund");
        EXPECT_EQ(cell(d, 1, 0), "");
        type(d, 0, 1, "");
        type(d, 1, 0, "Club role");
        type(d, 1, 1, "Treasurer");
        d.bu_Ok->click();
    });
    editor->bu_ModifyRecipient->click();
    EXPECT_EQ(TRecipientFields(dm->Databas).Read(dora), (TRecipientFields::Values{{"Club role", "Treasurer"}}));

    // Cancel changes nothing.
    whenModal<TF_AddRec>([&](TF_AddRec &d) {
        type(d, 0, 1, "Chair");
        d.bu_Cancel->click();
    });
    editor->bu_ModifyRecipient->click();
    EXPECT_EQ(TRecipientFields(dm->Databas).Read(dora), (TRecipientFields::Values{{"Club role", "Treasurer"}}));
}

TEST_F(GroupEditorTest, DeleteGroupAsksAboutItsRecipients)
{
    prompts.answer(PromptAnswer::Yes);
    editor->bu_DeleteGroup->click();
    EXPECT_EQ(prompts.texts(), QStringList{"This Group is not empty, Do you want to delete all email?"});
    EXPECT_EQ(editor->gr_Group->dataSetModel()->rowCount(), 1);
    EXPECT_EQ(dm->ta_Group.FieldByName("Grupp").AsString(), "Club");
    EXPECT_EQ(editor->gr_Recipient->dataSetModel()->rowCount(), 1);
}

TEST_F(GroupEditorTest, GridAsksBeforeCtrlDeleteRemovesARow)
{
    editor->gr_Recipient->setFocus();
    prompts.answer(PromptAnswer::Cancel);
    QTest::keyClick(editor->gr_Recipient, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(prompts.texts(), QStringList{"Delete record?"});
    EXPECT_EQ(dm->ta_Emails.RecordCount(), 2);
    prompts.answer(PromptAnswer::Ok);
    QTest::keyClick(editor->gr_Recipient, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(dm->ta_Emails.RecordCount(), 1);
    EXPECT_EQ(dm->ta_Group.FieldByName("Members").AsInteger(), 1) << "the group is recounted, as after \"Delete\"";
    EXPECT_EQ(editor->gr_Recipient->dataSetModel()->rowCount(), 1);
}

// Ctrl+Delete on a group is the group box's "Delete": its own question, and
// the recipients go with the group.
TEST_F(GroupEditorTest, CtrlDeleteOnAGroupTakesItsRecipientsWithIt)
{
    editor->gr_Group->setFocus();
    prompts.answer(PromptAnswer::No);
    QTest::keyClick(editor->gr_Group, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(prompts.texts(), QStringList{"This Group is not empty, Do you want to delete all email?"});
    EXPECT_EQ(dm->ta_Group.RecordCount(), 2);

    prompts.answer(PromptAnswer::Yes);
    QTest::keyClick(editor->gr_Group, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(prompts.texts().size(), 2) << "no second question from the grid";
    TQuery orphans(&dm->Databas);
    orphans.AddSQL("SELECT COUNT(*) FROM EMAILS WHERE Grupp = 'Friends'");
    orphans.Open();
    EXPECT_EQ(orphans.Fields(0).AsInteger(), 0) << "no orphan rows";
    EXPECT_EQ(editor->gr_Group->dataSetModel()->rowCount(), 1);
    EXPECT_EQ(dm->ta_Group.FieldByName("Grupp").AsString(), "Club");

    dm->ta_Emails.First();
    prompts.answer(PromptAnswer::Ok);
    editor->gr_Recipient->setFocus();
    QTest::keyClick(editor->gr_Recipient, Qt::Key_Delete, Qt::ControlModifier);
    prompts.answer(PromptAnswer::Yes);
    QTest::keyClick(editor->gr_Group, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(prompts.texts().mid(2), QStringList({"Delete record?", "Are you sure?"})) << "an empty group";
    EXPECT_TRUE(dm->ta_Group.IsEmpty());
}

// The boxes take a pasted text whole; OK refuses what the store cannot keep,
// with the dialog open and the text as it was.
TEST_F(GroupEditorTest, DialogsKeepLongTextsWholeAndRefuseWhatDoesNotFit)
{
    const QString longest = QString(245, u'l') + "@x.org.se";
    bool refused = false;
    whenModal<TF_AddRec>([&](TF_AddRec &dialog) {
        dialog.ed_Name->setText("Max");
        dialog.ed_Email->setText("x" + longest);
        dialog.bu_Ok->click();
        refused = dialog.isVisible() && dialog.ed_Email->text() == "x" + longest;
        dialog.ed_Email->setText(longest);
        dialog.bu_Ok->click();
    });
    editor->bu_InsertRecipient->click();
    EXPECT_TRUE(refused);
    ASSERT_TRUE(dm->ta_Emails.Locate("Email", longest)) << "stored whole";

    whenModal<TF_AddGrp>([&](TF_AddGrp &dialog) {
        dialog.ed_GrpName->setText("  ");
        dialog.bu_Ok->click();
        refused = dialog.isVisible();
        dialog.ed_GrpName->setText(QString(51, u'g'));
        dialog.bu_Ok->click();
        refused = refused && dialog.isVisible() && dialog.ed_GrpName->text().size() == 51;
        dialog.bu_Cancel->click();
    });
    editor->bu_InsertGroup->click();
    EXPECT_TRUE(refused);
    EXPECT_EQ(prompts.texts(), QStringList({"An email address can be at most 254 characters long; this one has 255!",
                                            "You must enter a name for the group!",
                                            "A group name can be at most 50 characters long; this one has 51!"}));
    EXPECT_EQ(dm->ta_Group.RecordCount(), 2);
}

QStringList itemsOf(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items.append(box->itemText(i));
    return items;
}

TEST_F(GroupEditorTest, AGroupAnotherProgramAddsAppearsAndTheCurrentGroupStays)
{
    ASSERT_TRUE(runSecondProgram(folder, "INSERT INTO GROUPS (Grupp, Members) VALUES ('Aardvarks', 0)"));
    EXPECT_TRUE(waitInEventLoop([&] { return editor->gr_Group->dataSetModel()->rowCount() == 3; }, 2000));
    EXPECT_EQ(dm->ta_Group.FieldByName("Grupp").AsString(), "Friends");
    EXPECT_EQ(editor->gr_Group->currentIndex().row(), 2);
    EXPECT_EQ(editor->gr_Recipient->dataSetModel()->rowCount(), 2);
}

TEST_F(GroupEditorTest, TheGroupDialogsListsFollowTheGroupsAndKeepTheChoice)
{
    whenModal<TF_AddGrp>([&](TF_AddGrp &dialog) {
        dialog.co_Group->setCurrentIndex(0);
        ASSERT_EQ(dialog.co_Group->currentText(), "Club");
        ASSERT_TRUE(runSecondProgram(folder, "INSERT INTO GROUPS (Grupp) VALUES ('Zoo')"));
        EXPECT_TRUE(waitInEventLoop([&] { return dialog.co_Group->count() == 3; }, 2000));
        EXPECT_EQ(itemsOf(dialog.co_Group), QStringList({"Club", "Friends", "Zoo"}));
        EXPECT_EQ(dialog.co_Group->currentText(), "Club") << "the choice stays";
        ASSERT_TRUE(runSecondProgram(folder, "DELETE FROM GROUPS WHERE Grupp = 'Club'"));
        EXPECT_TRUE(waitInEventLoop([&] { return dialog.co_Group->count() == 2; }, 2000));
        EXPECT_EQ(dialog.co_Group->currentIndex(), -1) << "a group that is gone is no choice";
        dialog.bu_Cancel->click();
    });
    editor->bu_InsertGroup->click();

    whenModal<TF_AddRec>([&](TF_AddRec &dialog) {
        ASSERT_EQ(dialog.lb_AddToGrp->count(), 1);
        dialog.lb_AddToGrp->item(0)->setSelected(true);
        ASSERT_TRUE(runSecondProgram(folder, "INSERT INTO GROUPS (Grupp) VALUES ('Aaa')"));
        EXPECT_TRUE(waitInEventLoop([&] { return dialog.lb_AddToGrp->count() == 2; }, 2000));
        EXPECT_EQ(dialog.ChosenGroups(), QStringList{"Zoo"}) << "every other group, the chosen one still chosen";
        dialog.bu_Cancel->click();
    });
    editor->bu_InsertRecipient->click();
}


}
