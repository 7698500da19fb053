#include "support/Accessibility.h"
#include "support/ScriptedPrompts.h"
#include "mailer/TF_NewMsgA.h"
#include "support/TempProgramFolder.h"
#include "support/WaitFor.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The file list is read on a thread of the model's, which also loads the
// system's file-type data for the icons: the first listing of a test program
// can take seconds while other tests load the machine.
constexpr int FileListBound = 30000;

class AttachmentPickerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char *name : {"one/report.txt", "one/b.txt", "one/c.txt", "two/REPORT.txt", "two/x;y.txt"})
            folder.writeFile(name, "data");
        picker.show();
    }

    // Opens the folder in the picker and selects the named files in it. The
    // file list fills and sorts itself in the background, which may drop a
    // selection: the files are chosen once the list holds them all in name
    // order, and the caller acts on the choice before events run again.
    void selectFiles(const QString &subfolder, const QStringList &names)
    {
        picker.setCurrentFolder(folder.file(subfolder));
        ASSERT_EQ(picker.currentFolder(), folder.file(subfolder));
        QFileSystemModel *files = picker.fileModel();
        const QModelIndex root = picker.FileListBox1->rootIndex();
        ASSERT_EQ(files->filePath(root), folder.file(subfolder));
        QItemSelectionModel *selection = picker.FileListBox1->selectionModel();
        const bool chosen = waitFor([&] {
            int lastRow = -1;
            QStringList sorted = names;
            sorted.sort();
            for (const QString &name : sorted) {
                const QModelIndex index = files->index(folder.file(subfolder + "/" + name));
                if (!index.isValid() || index.parent() != root || index.row() <= lastRow)
                    return false;
                lastRow = index.row();
            }
            selection->clearSelection();
            for (const QString &name : names)
                selection->select(files->index(folder.file(subfolder + "/" + name)), QItemSelectionModel::Select);
            // The caller acts on the choice before events run again.
            return selection->selectedIndexes().size() == names.size();
        }, FileListBound);
        ASSERT_TRUE(chosen) << names.join(", ").toStdString();
    }

    TempProgramFolder folder;
    ScriptedPrompts prompts;
    TF_NewMsgA picker;
};

TEST_F(AttachmentPickerTest, AddsSelectedFilesInListOrderAndUnselectsThem)
{
    selectFiles("one", {"report.txt", "b.txt"});
    picker.btn_addClick();
    EXPECT_EQ(picker.shownEntries(), QStringList({"b.txt", "report.txt"}));
    EXPECT_EQ(picker.realEntries(), QStringList({folder.file("one/b.txt"), folder.file("one/report.txt")}));
    EXPECT_TRUE(picker.FileListBox1->selectionModel()->selectedIndexes().isEmpty());
    expectAccessibleNames(&picker);
}

TEST_F(AttachmentPickerTest, SameFileTwiceIsKeptOnce)
{
    selectFiles("one", {"b.txt"});
    picker.btn_addClick();
    selectFiles("one", {"b.txt"});
    picker.btn_addClick();
    EXPECT_EQ(picker.shownEntries(), QStringList{"b.txt"});
    EXPECT_EQ(picker.realEntries(), QStringList{folder.file("one/b.txt")});
}

TEST_F(AttachmentPickerTest, SameNameFromAnotherFolderIsKeptAndShownWithItsFolder)
{
    selectFiles("one", {"report.txt"});
    picker.btn_addClick();
    selectFiles("two", {"REPORT.txt"});
    picker.btn_addClick();
    EXPECT_EQ(picker.realEntries(), QStringList({folder.file("one/report.txt"), folder.file("two/REPORT.txt")}));
    EXPECT_EQ(picker.shownEntries(), QStringList({"report.txt", "REPORT.txt (" + folder.file("two") + ")"}));
}

TEST_F(AttachmentPickerTest, RemoveTakesSelectedEntriesFromBothLists)
{
    picker.setAttachments({"/a/1.txt", "/b/2.txt", "/c/3.txt", "/d/4.txt"});
    picker.lbx_attach->item(0)->setSelected(true);
    picker.lbx_attach->item(2)->setSelected(true);
    picker.btn_del->click();
    EXPECT_EQ(picker.shownEntries(), QStringList({"2.txt", "4.txt"}));
    EXPECT_EQ(picker.realEntries(), QStringList({"/b/2.txt", "/d/4.txt"}));
}

TEST_F(AttachmentPickerTest, EarlierAttachmentsAreListedAsTheyStand)
{
    picker.setAttachments({"/a/same.txt", "/a/same.txt", "/b/other.txt"});
    EXPECT_EQ(picker.realEntries(), QStringList({"/a/same.txt", "/a/same.txt", "/b/other.txt"}));
    EXPECT_EQ(picker.shownEntries(), QStringList({"same.txt", "same.txt (/a)", "other.txt"}));
    EXPECT_FALSE(picker.lbx_real->isVisible());
}

TEST_F(AttachmentPickerTest, PathThatAMessageFileCannotHoldIsRefused)
{
    selectFiles("two", {"x;y.txt", "REPORT.txt"});
    picker.btn_addClick();
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Warning);
    EXPECT_TRUE(prompts.shown()[0].text.contains("x;y.txt"));
    EXPECT_EQ(picker.realEntries(), QStringList{folder.file("two/REPORT.txt")});
}

TEST_F(AttachmentPickerTest, RowsAreEighteenPixelsHigh)
{
    picker.setAttachments({folder.file("one/b.txt")});
    EXPECT_EQ(picker.lbx_attach->visualItemRect(picker.lbx_attach->item(0)).height(), 18);
    EXPECT_EQ(picker.windowTitle(), "Attachments");
}

TEST_F(AttachmentPickerTest, DrivesAreTheRootAndTheHomeFolder)
{
    ASSERT_EQ(picker.DriveComboBox1->count(), 2);
    picker.setCurrentFolder(folder.file("one"));
    EXPECT_EQ(picker.currentFolder(), folder.file("one"));
    emit picker.DriveComboBox1->activated(0);
    EXPECT_EQ(picker.currentFolder(), QDir::rootPath()) << "choosing a drive lists its folders from the top";
}

}
