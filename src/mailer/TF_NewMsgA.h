#pragma once

#include <QDialog>

class QComboBox;
class QFileSystemModel;
class QListView;
class QListWidget;
class QPushButton;
class QTreeView;

// The attachment picker: folders and files of the local file system on the
// left, the attached files on the right. lbx_attach shows the names and the
// hidden lbx_real holds the full paths, entry for entry.
class TF_NewMsgA : public QDialog
{
    Q_OBJECT
public:
    explicit TF_NewMsgA(QWidget *parent = nullptr);

    // The places the folder tree starts from: the root and the user's home.
    QComboBox *DriveComboBox1;
    QTreeView *DirectoryListBox1;
    QListView *FileListBox1;
    QListWidget *lbx_attach;
    QListWidget *lbx_real;
    QPushButton *btn_add;
    QPushButton *btn_del;
    QPushButton *btn_ok;
    QPushButton *Button1;

    // Puts the attached files into the two lists, as they stand.
    void setAttachments(const QStringList &paths);
    QStringList realEntries() const;
    QStringList shownEntries() const;

    QString currentFolder() const;
    void setCurrentFolder(const QString &folder);
    // The file list's model, which reads the folder in the background.
    QFileSystemModel *fileModel() const { return m_files; }

    void btn_addClick();
    void btn_delClick();

private:
    void driveChosen(int index);
    void folderChosen();
    void keepFileListOnFolder();
    void addEntry(const QString &path);
    QString shownNameFor(const QString &path) const;

    QFileSystemModel *m_folders;
    QFileSystemModel *m_files;
};
