#include "Accessibility.h"
#include "ScriptedPrompts.h"
#include "TF_NewMsgA.h"
#include "TempProgramFolder.h"
#include "WaitFor.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class AttachmentPickerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char *name : {"one/report.txt", "one/b.txt", "one/c.txt", "two/REPORT.txt", "two/x;y.txt"})
            folder.writeFile(name, "data");
        picker.show();
    }

    // Opens the folder in the picker and selects the named files in it.
    void selectFiles(const QString &subfolder, const QStringList &names)
    {
        picker.setCurrentFolder(folder.file(subfolder));
        ASSERT_EQ(picker.currentFolder(), folder.file(subfolder));
        QFileSystemModel *files = picker.fileModel();
        const QModelIndex root = picker.FileListBox1->rootIndex();
        ASSERT_EQ(files->filePath(root), folder.file(subfolder));
        for (const QString &name : names) {
            const QString path = folder.file(subfolder + "/" + name);
            ASSERT_TRUE(waitFor([&] { return files->index(path).isValid() && files->index(path).parent() == root; }))
                << path.toStdString();
            picker.FileListBox1->selectionModel()->select(files->index(path), QItemSelectionModel::Select);
        }
    }

    TempProgramFolder folder;
    ScriptedPrompts prompts;
    TF_NewMsgA picker;
};

TEST_F(AttachmentPickerTest, AddsSelectedFilesInListOrderAndUnselectsThem)
{
    selectFiles("one", {"report.txt", "b.txt"});
    QFileSystemModel *files = picker.fileModel();
    ASSERT_TRUE(waitFor([&] {
        return files->index(folder.file("one/b.txt")).row() < files->index(folder.file("one/report.txt")).row();
    })) << "the file list shows its files sorted by name";
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
