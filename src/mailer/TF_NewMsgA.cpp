#include "mailer/TF_NewMsgA.h"

#include "mailer/AttachmentRowDelegate.h"
#include "send/MessageFile.h"
#include "platform/Prompts.h"
#include "widgets/Labelling.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

namespace {

QPushButton *makeButton(const QString &objectName, const QString &caption, QWidget *parent)
{
    auto *button = new QPushButton(caption, parent);
    // Assistive technology reads the caption, without "&", as its name.
    button->setObjectName(objectName);
    return button;
}

QListWidget *makeAttachmentList(const QString &objectName, QWidget *parent)
{
    auto *list = new QListWidget(parent);
    list->setObjectName(objectName);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setItemDelegate(new TAttachmentRowDelegate(list));
    list->setUniformItemSizes(true);
    return list;
}

}

TF_NewMsgA::TF_NewMsgA(QWidget *parent)
    : QDialog(parent),
      DriveComboBox1(new QComboBox(this)),
      DirectoryListBox1(new QTreeView(this)),
      FileListBox1(new QListView(this)),
      lbx_attach(makeAttachmentList("lbx_attach", this)),
      lbx_real(makeAttachmentList("lbx_real", this)),
      btn_add(makeButton("btn_add", "&Add to list", this)),
      btn_del(makeButton("btn_del", "&Remove from list", this)),
      btn_ok(makeButton("btn_ok", "OK", this)),
      Button1(makeButton("Button1", "Cancel", this)),
      m_folders(new QFileSystemModel(this)),
      m_files(new QFileSystemModel(this))
{
    setObjectName("F_NewMsgA");
    setWindowTitle("Attachments");
    resize(330, 304);

    DriveComboBox1->setObjectName("DriveComboBox1");
    DriveComboBox1->setAccessibleName("Drive");
    DriveComboBox1->setAccessibleDescription("Where to look for files");
    DriveComboBox1->addItem(QDir::rootPath(), QDir::rootPath());
    DriveComboBox1->addItem(QDir::homePath(), QDir::homePath());
    m_folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    m_folders->setRootPath(QDir::rootPath());
    DirectoryListBox1->setObjectName("DirectoryListBox1");
    DirectoryListBox1->setAccessibleName("Folders");
    DirectoryListBox1->setAccessibleDescription("The folders of the chosen place");
    DirectoryListBox1->setModel(m_folders);
    DirectoryListBox1->setHeaderHidden(true);
    DirectoryListBox1->header()->setAccessibleName(DirectoryListBox1->accessibleName());
    for (int column = 1; column < m_folders->columnCount(); ++column)
        DirectoryListBox1->hideColumn(column);
    m_files->setFilter(QDir::Files);
    FileListBox1->setObjectName("FileListBox1");
    FileListBox1->setAccessibleName("Files");
    FileListBox1->setAccessibleDescription("The files of the chosen folder, to add to the list");
    FileListBox1->setModel(m_files);
    FileListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto *attachedLabel = new QLabel("Attached files", this);
    labelControl(attachedLabel, lbx_attach);
    lbx_real->setAccessibleName("lbx_real");
    lbx_real->setAccessibleDescription("Full paths of the attached files, never shown");
    lbx_real->setVisible(false);

    connect(DriveComboBox1, &QComboBox::activated, this, &TF_NewMsgA::driveChosen);
    connect(DirectoryListBox1->selectionModel(), &QItemSelectionModel::currentChanged, this, &TF_NewMsgA::folderChosen);
    // The file model reads folders on a thread of its own and may replace a
    // folder's entry while it does; the list must stay on the chosen folder.
    for (auto signal : {&QFileSystemModel::rowsRemoved, &QFileSystemModel::rowsInserted})
        connect(m_files, signal, this, &TF_NewMsgA::keepFileListOnFolder);
    connect(m_files, &QFileSystemModel::layoutChanged, this, &TF_NewMsgA::keepFileListOnFolder);
    // Files are listed by name once their folder has been read.
    connect(m_files, &QFileSystemModel::directoryLoaded, this, [this] {
        m_files->sort(0, Qt::AscendingOrder);
        keepFileListOnFolder();
    });
    connect(btn_add, &QPushButton::clicked, this, &TF_NewMsgA::btn_addClick);
    connect(btn_del, &QPushButton::clicked, this, &TF_NewMsgA::btn_delClick);
    connect(btn_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button1, &QPushButton::clicked, this, &QDialog::reject);

    auto *left = new QVBoxLayout;
    left->addWidget(DriveComboBox1);
    left->addWidget(DirectoryListBox1, 1);
    left->addWidget(FileListBox1, 1);
    auto *right = new QVBoxLayout;
    right->addWidget(attachedLabel);
    right->addWidget(lbx_attach, 1);
    right->addWidget(lbx_real);
    right->addWidget(btn_add);
    right->addWidget(btn_del);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btn_ok);
    buttons->addWidget(Button1);
    right->addLayout(buttons);
    auto *columns = new QHBoxLayout(this);
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);

    driveChosen(DriveComboBox1->currentIndex());
}

void TF_NewMsgA::driveChosen(int index)
{
    DriveComboBox1->setCurrentIndex(index);
    DirectoryListBox1->setRootIndex(m_folders->index(DriveComboBox1->currentData().toString()));
    DirectoryListBox1->setCurrentIndex(QModelIndex());
    folderChosen();
}

void TF_NewMsgA::folderChosen()
{
    const QString folder = currentFolder();
    m_files->setRootPath(folder);
    FileListBox1->setRootIndex(m_files->index(folder));
}

void TF_NewMsgA::keepFileListOnFolder()
{
    const QModelIndex folder = m_files->index(m_files->rootPath());
    if (folder.isValid() && FileListBox1->rootIndex() != folder)
        FileListBox1->setRootIndex(folder);
}

QString TF_NewMsgA::currentFolder() const
{
    const QModelIndex current = DirectoryListBox1->currentIndex();
    return current.isValid() ? m_folders->filePath(current)
                             : DriveComboBox1->currentData().toString();
}

void TF_NewMsgA::setCurrentFolder(const QString &folder)
{
    const QString path = QFileInfo(folder).absoluteFilePath();
    const QString home = QDir::homePath();
    const bool inHome = path == home || path.startsWith(home + u'/');
    driveChosen(inHome ? 1 : 0);
    const QModelIndex index = m_folders->index(path);
    if (index != DirectoryListBox1->rootIndex()) {
        DirectoryListBox1->setCurrentIndex(index);
        DirectoryListBox1->scrollTo(index);
    }
    folderChosen();
}

void TF_NewMsgA::setAttachments(const QStringList &paths)
{
    for (const QString &path : paths)
        addEntry(path);
}

QStringList TF_NewMsgA::realEntries() const
{
    QStringList entries;
    for (int i = 0; i < lbx_real->count(); ++i)
        entries.append(lbx_real->item(i)->text());
    return entries;
}

QStringList TF_NewMsgA::shownEntries() const
{
    QStringList entries;
    for (int i = 0; i < lbx_attach->count(); ++i)
        entries.append(lbx_attach->item(i)->text());
    return entries;
}

QString TF_NewMsgA::shownNameFor(const QString &path) const
{
    const QFileInfo file(path);
    const QString name = file.fileName();
    const QStringList shown = shownEntries();
    const bool taken = std::any_of(shown.begin(), shown.end(), [&](const QString &entry) {
        return entry.compare(name, Qt::CaseInsensitive) == 0;
    });
    // A second file of the same name shows its folder, so every path kept
    // has a row of its own that tells it apart.
    return taken ? QStringLiteral("%1 (%2)").arg(name, file.path()) : name;
}

void TF_NewMsgA::addEntry(const QString &path)
{
    auto *shown = new QListWidgetItem(shownNameFor(path));
    shown->setData(TAttachmentRowDelegate::PathRole, path);
    lbx_attach->addItem(shown);
    auto *real = new QListWidgetItem(path);
    real->setData(TAttachmentRowDelegate::PathRole, path);
    lbx_real->addItem(real);
}

void TF_NewMsgA::btn_addClick()
{
    QModelIndexList selected = FileListBox1->selectionModel()->selectedIndexes();
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    const QString folder = currentFolder();
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    for (const QModelIndex &index : std::as_const(selected)) {
        const QString path = prefix + m_files->fileName(index);
        FileListBox1->selectionModel()->select(index, QItemSelectionModel::Deselect);
        if (!TMessageFile::canStoreAttachment(path)) {
            Prompt::warning(QStringLiteral("Cannot attach \"%1\": a path holding \";\" or a line break "
                                           "cannot be kept in a message file.").arg(path));
            continue;
        }
        if (!realEntries().contains(path))
            addEntry(path);
    }
}

void TF_NewMsgA::btn_delClick()
{
    for (int i = lbx_attach->count() - 1; i >= 0; --i) {
        if (lbx_attach->item(i)->isSelected()) {
            delete lbx_attach->takeItem(i);
            delete lbx_real->takeItem(i);
        }
    }
}
