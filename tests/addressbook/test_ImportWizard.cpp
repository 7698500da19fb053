#include "addressbook/AddressBook.h"
#include "addressbook/TF_Groups.h"
#include "addressbook/TF_Import.h"
#include "store/DataSetModel.h"
#include "store/RecipientFields.h"
#include "support/Accessibility.h"
#include "support/ModalDialogs.h"
#include "support/ScriptedPrompts.h"
#include "support/SecondProgram.h"
#include "support/StoreSetup.h"
#include "support/TempProgramFolder.h"
#include "support/WaitFor.h"
#include "widgets/DBGrid.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QStringList entries(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

class ImportWizardTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dm = StoreSetup::openDataModule(folder);
        StoreSetup::addGroup(*dm, "Club", {"c@x.org"});
        StoreSetup::addGroup(*dm, "Friends", {"a@x.org"});
        book = std::make_unique<TAddressBook>(*dm);
        wizard = std::make_unique<TF_Import>(nullptr, *dm, *book);
        wizard->show();
        w = wizard.get();
        // Focus moves only within the active window.
        w->activateWindow();
        ASSERT_TRUE(waitFor([&] { return w->isActiveWindow(); }));
    }

    // Takes the wizard from the format step to the group step.
    void toGroupStep(int format, const QString &file)
    {
        w->lb_Format->setCurrentRow(format);
        w->bu_Next->click();
        if (format == TF_Import::FormatDelimited) {
            w->bu_To->click();
            w->bu_Next->click();
        }
        w->ed_File->setText(file);
        w->bu_Next->click();
        ASSERT_EQ(w->CurrentStep(), w->pa_StepGrp);
    }
    int members(const QString &group)
    {
        EXPECT_TRUE(dm->ta_Group.Locate("Grupp", group));
        return dm->ta_Group.FieldByName("Members").AsInteger();
    }

    TempProgramFolder folder;
    ScriptedPrompts prompts;
    std::unique_ptr<TDM_Databaser> dm;
    std::unique_ptr<TAddressBook> book;
    std::unique_ptr<TF_Import> wizard;
    TF_Import *w = nullptr;
};

TEST_F(ImportWizardTest, OpensOnTheFormatStepWithNothingChosen)
{
    EXPECT_EQ(w->windowTitle(), "Email Address import Wizard");
    EXPECT_EQ(w->size(), QSize(320, 311));
    EXPECT_EQ(w->CurrentStep(), w->pa_Step1);
    EXPECT_EQ(w->pa_Step1->title(), "Select import format");
    EXPECT_EQ(w->pa_Step1->pos(), QPoint(16, 16));
    for (QGroupBox *other : {w->pa_StepComma, w->pa_StepFile, w->pa_StepGrp, w->pa_StepWork})
        EXPECT_FALSE(other->isVisible()) << other->objectName().toStdString();
    EXPECT_EQ(entries(w->lb_Format), QStringList({"Unknown format", "Comma delimited List"}));
    EXPECT_EQ(entries(w->lb_From), QStringList({"Name", "Email Address"}));
    EXPECT_EQ(w->ed_Delimiter->text(), ",");
    EXPECT_EQ(w->ed_Delimiter->maxLength(), 1);
    EXPECT_FALSE(w->bu_Prev->isEnabled());
    EXPECT_EQ(w->bu_Browse->toolTip(), "Browse for file");
    expectAccessibleNames(w);

    // A list takes a current entry with the focus; that is no choice.
    w->lb_Format->selectionModel()->setCurrentIndex(w->lb_Format->model()->index(0, 0), QItemSelectionModel::NoUpdate);
    w->bu_Next->click();
    EXPECT_EQ(w->CurrentStep(), w->pa_Step1) << "Next with no format does nothing";
    EXPECT_TRUE(prompts.shown().isEmpty());

    w->bu_Cancel->click();
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(dm->ta_Emails.RecordCount(), 1);
}

TEST_F(ImportWizardTest, StepsForwardAndBackForEachFormat)
{
    w->lb_Format->setCurrentRow(TF_Import::FormatUnknown);
    w->bu_Next->click();
    EXPECT_EQ(w->CurrentStep(), w->pa_StepFile);
    EXPECT_TRUE(w->bu_Prev->isEnabled());
    w->bu_Prev->click();
    EXPECT_EQ(w->CurrentStep(), w->pa_Step1) << "free text has no order step";
    EXPECT_FALSE(w->bu_Prev->isEnabled());

    w->lb_Format->setCurrentRow(TF_Import::FormatDelimited);
    w->bu_Next->click();
    EXPECT_EQ(w->CurrentStep(), w->pa_StepComma);
    EXPECT_EQ(w->lb_From->currentItem()->text(), "Name") << "the first field is chosen";
    w->bu_Next->click();
    EXPECT_EQ(prompts.texts(), QStringList{"You must choose order first!"});
    EXPECT_EQ(w->CurrentStep(), w->pa_StepComma);
    w->bu_To->click();
    w->bu_Next->click();
    EXPECT_EQ(w->CurrentStep(), w->pa_StepFile);
    w->bu_Prev->click();
    EXPECT_EQ(w->CurrentStep(), w->pa_StepComma) << "back from the file to the order";
    EXPECT_TRUE(w->bu_Prev->isEnabled());
    w->bu_Prev->click();
    EXPECT_EQ(w->CurrentStep(), w->pa_Step1);
    EXPECT_FALSE(w->bu_Prev->isEnabled());
}

TEST_F(ImportWizardTest, OrderButtonsMoveTheChosenFieldAndChooseTheFirstLeft)
{
    w->lb_Format->setCurrentRow(TF_Import::FormatDelimited);
    w->bu_Next->click();
    w->lb_From->setCurrentRow(1);
    w->bu_To->click();
    EXPECT_EQ(entries(w->lb_To), QStringList{"Email Address"});
    EXPECT_EQ(w->lb_From->currentItem()->text(), "Name");
    w->bu_To->click();
    EXPECT_EQ(entries(w->lb_To), QStringList({"Email Address", "Name"}));
    EXPECT_EQ(w->lb_From->count(), 0);
    w->bu_To->click(); // nothing left to move
    EXPECT_EQ(w->lb_To->count(), 2);

    w->lb_To->clearSelection();
    w->bu_Back->click();
    EXPECT_EQ(w->lb_To->count(), 2) << "nothing chosen, nothing moves";
    w->lb_To->setCurrentRow(1);
    w->bu_Back->click();
    EXPECT_EQ(entries(w->lb_From), QStringList{"Name"});
    EXPECT_EQ(w->lb_To->currentItem()->text(), "Email Address") << "the first entry left is chosen";
}

TEST_F(ImportWizardTest, FileStepWantsAFileAndFillsTheGroupsOncePerVisit)
{
    w->lb_Format->setCurrentRow(TF_Import::FormatUnknown);
    w->bu_Next->click();
    w->ed_File->setText(folder.file("absent.txt"));
    w->bu_Next->click();
    w->ed_File->setText(folder.path());
    w->bu_Next->click();
    EXPECT_EQ(prompts.texts(), QStringList({"Can't find importfile!", "Can't find importfile!"}));
    EXPECT_EQ(w->CurrentStep(), w->pa_StepFile);
    EXPECT_EQ(QApplication::focusWidget(), w->ed_File);

    folder.writeFile("list.txt", "x@y.org");
    whenModal<QFileDialog>([&](QFileDialog &dialog) {
        dialog.selectFile(folder.file("list.txt"));
        static_cast<QDialog &>(dialog).accept();
    });
    w->bu_Browse->click();
    EXPECT_EQ(w->ed_File->text(), folder.file("list.txt"));

    for (int visit = 0; visit < 3; ++visit) {
        w->bu_Next->click();
        ASSERT_EQ(w->CurrentStep(), w->pa_StepGrp);
        QStringList groups;
        for (int i = 0; i < w->co_Group->count(); ++i)
            groups.append(w->co_Group->itemText(i));
        EXPECT_EQ(groups, QStringList({"Club", "Friends"}));
        w->bu_Prev->click();
        EXPECT_EQ(w->CurrentStep(), w->pa_StepFile);
    }
}

TEST_F(ImportWizardTest, GroupsAddedMeanwhileJoinTheListAndTypedTextStays)
{
    folder.writeFile("list.txt", "new@y.org");
    toGroupStep(TF_Import::FormatUnknown, folder.file("list.txt"));
    w->co_Group->setEditText("Neighb");
    ASSERT_TRUE(runSecondProgram(folder, "INSERT INTO GROUPS (Grupp) VALUES ('Neighbours')"));
    EXPECT_TRUE(waitInEventLoop([&] { return w->co_Group->count() == 3; }, 2000));
    EXPECT_EQ(w->co_Group->currentText(), "Neighb");
    w->co_Group->setEditText("Neighbours");
    w->bu_Next->click();
    EXPECT_TRUE(waitFor([&] { return w->la_Finish->isVisible(); }));
    EXPECT_EQ(members("Neighbours"), 1) << "the new group takes the import";
}

TEST_F(ImportWizardTest, GroupMustBeOneThatExists)
{
    folder.writeFile("list.txt", "new@y.org");
    toGroupStep(TF_Import::FormatUnknown, folder.file("list.txt"));
    ASSERT_TRUE(dm->ta_Group.Locate("Grupp", "Club"));
    w->co_Group->setCurrentText("");
    w->bu_Next->click();
    w->co_Group->setCurrentText("friends");
    w->bu_Next->click();
    EXPECT_EQ(prompts.texts(), QStringList({"You must choose a group first!", "You must choose a group first!"}));
    EXPECT_EQ(w->CurrentStep(), w->pa_StepGrp);
    EXPECT_EQ(QApplication::focusWidget(), w->co_Group);
    EXPECT_EQ(dm->ta_Group.FieldByName("Grupp").AsString(), "Club") << "nothing goes to the current group";
    EXPECT_EQ(members("Club"), 1);
    EXPECT_EQ(members("Friends"), 1);
}

TEST_F(ImportWizardTest, ImportsFreeTextAndFinishes)
{
    folder.writeFile("list.txt", "Ask a@x.org, or new@y.org please\r\nand <z@q.org>\r\n");
    toGroupStep(TF_Import::FormatUnknown, folder.file("list.txt"));
    w->co_Group->setCurrentText("Friends");
    w->ch_Skip->setChecked(true);
    // The run lets paints through, and a close then must not end it.
    bool stayedOpen = false;
    QTimer::singleShot(0, w, [&] {
        w->bu_Cancel->click();
        stayedOpen = w->isVisible();
    });
    w->bu_Next->click();

    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(w->CurrentStep(), w->pa_StepWork);
    EXPECT_FALSE(w->bu_Prev->isEnabled());
    EXPECT_FALSE(w->bu_Next->isEnabled());
    EXPECT_TRUE(w->la_Finish->isVisible());
    EXPECT_EQ(w->la_Finish->text(), "Finished. Press OK.");
    EXPECT_EQ(w->bu_Cancel->text(), "OK");
    EXPECT_EQ(spokenName(w->bu_Cancel), "OK") << "the button is read as it now shows";
    EXPECT_EQ(w->pg_Amazon->maximum(), 2);
    EXPECT_EQ(w->pg_Amazon->value(), 2);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(prompts.shown().isEmpty());
    EXPECT_EQ(dm->ta_Group.FieldByName("Grupp").AsString(), "Friends");
    EXPECT_EQ(dm->ta_Group.FieldByName("Members").AsInteger(), 3) << "a@x.org was there already";
    w->bu_Cancel->click();
    EXPECT_FALSE(w->isVisible());
}

TEST_F(ImportWizardTest, ASpreadsheetListWithColumnNamesImportsItsFields)
{
    folder.writeFile("list.csv", "\xEF\xBB\xBF" "e-mail;NAME;Town\r\n"
                                 "\"bo@y.org\";\"Björk; Bo\";Malmö\r\nzoe@y.org;Zoë;\r\n");
    w->lb_Format->setCurrentRow(TF_Import::FormatDelimited);
    w->bu_Next->click();
    w->ch_Header->setChecked(true);
    w->ed_Delimiter->setText(";");
    w->bu_Next->click();
    EXPECT_TRUE(prompts.shown().isEmpty()) << "the first line gives the order";
    w->ed_File->setText(folder.file("list.csv"));
    w->bu_Next->click();
    w->co_Group->setCurrentText("Club");
    w->bu_Next->click();

    ASSERT_TRUE(w->la_Finish->isVisible());
    EXPECT_EQ(StoreSetup::column(*dm, "Name", "Club"), QStringList({"c", "Björk; Bo", "Zoë"}));
    const QStringList numbers = StoreSetup::column(*dm, "Unikt", "Club");
    TRecipientFields fields(dm->Databas);
    EXPECT_EQ(fields.Read(numbers[1].toInt()), TRecipientFields::Values({{"Town", "Malmö"}}));
    EXPECT_TRUE(fields.Read(numbers[2].toInt()).isEmpty());
    EXPECT_EQ(members("Club"), 3);
}

TEST_F(ImportWizardTest, TheFieldListOffersKnownFieldsAndANewOne)
{
    TRecipientFields(dm->Databas).Write(1, {{"Town", "Lund"}});
    TF_Import fresh(nullptr, *dm, *book);
    EXPECT_EQ(entries(fresh.lb_From), QStringList({"Name", "Email Address", "Town"}));
    expectAccessibleNames(&fresh);
    fresh.ed_NewField->setText(" town ");
    fresh.bu_NewField->click();
    EXPECT_EQ(entries(fresh.lb_To), QStringList{"Town"}) << "a known field in another case is that field";
    EXPECT_EQ(entries(fresh.lb_From), QStringList({"Name", "Email Address"}));
    fresh.ed_NewField->setText("Customer");
    fresh.bu_NewField->click();
    fresh.ed_NewField->setText("CUSTOMER");
    fresh.bu_NewField->click();
    EXPECT_EQ(entries(fresh.lb_To), QStringList({"Town", "Customer"}));
    EXPECT_TRUE(fresh.ed_NewField->text().isEmpty());
}

TEST_F(ImportWizardTest, ImportsADelimitedListInTheStatedOrder)
{
    folder.writeFile("list.txt", "new@y.org;Nina\nNoName\nmore@y.org two@y.org;Max\n");
    w->lb_Format->setCurrentRow(TF_Import::FormatDelimited);
    w->bu_Next->click();
    w->lb_From->setCurrentRow(1);
    w->bu_To->click();
    w->bu_To->click();
    w->ed_Delimiter->setText(";");
    w->bu_Next->click();
    w->ed_File->setText(folder.file("list.txt"));
    w->bu_Next->click();
    w->co_Group->setCurrentText("Club");
    w->bu_Next->click();

    ASSERT_TRUE(w->la_Finish->isVisible());
    QStringList rows;
    for (dm->ta_Emails.First(); !dm->ta_Emails.Eof(); dm->ta_Emails.Next())
        rows.append(dm->ta_Emails.FieldByName("Name").AsString() + " " + dm->ta_Emails.FieldByName("Email").AsString());
    EXPECT_EQ(rows, QStringList({"c c@x.org", "Nina new@y.org", "Max more@y.org", "Max two@y.org"}));
    EXPECT_EQ(members("Club"), 4);
}

TEST_F(ImportWizardTest, FileRemovedBeforeTheRunIsReportedAndTheWizardFinishes)
{
    folder.writeFile("list.txt", "new@y.org");
    toGroupStep(TF_Import::FormatUnknown, folder.file("list.txt"));
    ASSERT_TRUE(QFile::remove(folder.file("list.txt")));
    w->co_Group->setCurrentText("Friends");
    w->bu_Next->click();
    EXPECT_EQ(prompts.texts(), QStringList{"Couldn't open importfile!"});
    EXPECT_TRUE(w->la_Finish->isVisible());
    EXPECT_EQ(w->bu_Cancel->text(), "OK");
    EXPECT_EQ(members("Friends"), 1);
}

TEST_F(ImportWizardTest, EmptyFileFinishesWithAStillBar)
{
    folder.writeFile("empty.txt", "");
    toGroupStep(TF_Import::FormatUnknown, folder.file("empty.txt"));
    w->co_Group->setCurrentText("Friends");
    w->bu_Next->click();
    EXPECT_TRUE(w->la_Finish->isVisible());
    EXPECT_GT(w->pg_Amazon->maximum(), 0) << "a maximum of 0 would keep the bar busy";
    EXPECT_EQ(w->pg_Amazon->value(), 0);
    EXPECT_TRUE(prompts.shown().isEmpty());
}

TEST_F(ImportWizardTest, GroupEditorImportShowsTheNewRecipientsAndCount)
{
    wizard.reset();
    TF_Groups editor(*dm);
    editor.show();
    ASSERT_TRUE(dm->ta_Group.Locate("Grupp", "Club"));
    EXPECT_TRUE(editor.bu_Import->isEnabled());
    folder.writeFile("list.txt", "one@y.org two@y.org");
    whenModal<TF_Import>([&](TF_Import &opened) {
        w = &opened;
        toGroupStep(TF_Import::FormatUnknown, folder.file("list.txt"));
        w->co_Group->setCurrentText("Friends");
        w->bu_Next->click();
        w->bu_Cancel->click();
    });
    editor.bu_Import->click();
    EXPECT_EQ(dm->ta_Group.FieldByName("Grupp").AsString(), "Friends");
    EXPECT_EQ(editor.gr_Recipient->dataSetModel()->rowCount(), 3);
    const int membersColumn = editor.gr_Group->dataSetModel()->columnOfField("Members");
    const QModelIndex friendsMembers = editor.gr_Group->dataSetModel()->index(1, membersColumn);
    EXPECT_EQ(friendsMembers.data().toInt(), 3);
}

}
