#include "addressbook/TF_Suppression.h"

#include "platform/ErrorReport.h"
#include "platform/Prompts.h"
#include "widgets/Labelling.h"

#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString fileChosen(QWidget *parent, QFileDialog::AcceptMode mode, const QString &title)
{
    QFileDialog dialog(parent, title, QString(), QStringLiteral("Text files (*.txt *.csv);;All files (*)"));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (mode == QFileDialog::AcceptSave)
        dialog.setDefaultSuffix(QStringLiteral("csv"));
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

QString addressCount(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 address") : QStringLiteral("%1 addresses").arg(count);
}

} // namespace

TF_Suppression::TF_Suppression(TDatabase &database, QWidget *parent)
    : QWidget(parent),
      gr_Suppression(new QTableWidget(0, 4, this)),
      la_Count(new QLabel(this)),
      bu_Remove(commandButton(this, "bu_Remove", "Remove", "Remove the selected addresses from the list")),
      bu_Export(commandButton(this, "bu_Export", "Export...", "Write the list to a text file")),
      mo_Add(new QPlainTextEdit(this)),
      bu_Add(commandButton(this, "bu_Add", "Add", "Add the addresses typed or pasted above")),
      bu_Import(commandButton(this, "bu_Import", "Import...", "Add the addresses of a text file")),
      la_Status(new QLabel(this)),
      m_watch(database),
      m_editor(m_watch.List())
{
    setObjectName("F_Suppression");
    setWindowTitle("Suppression list");
    resize(600, 460);

    gr_Suppression->setObjectName("gr_Suppression");
    gr_Suppression->setHorizontalHeaderLabels({"Address", "Added", "Reason", "Detail"});
    gr_Suppression->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gr_Suppression->setSelectionBehavior(QAbstractItemView::SelectRows);
    gr_Suppression->setSelectionMode(QAbstractItemView::ExtendedSelection);
    gr_Suppression->verticalHeader()->hide();
    gr_Suppression->horizontalHeader()->setStretchLastSection(true);
    gr_Suppression->setAccessibleName("Suppressed addresses");
    gr_Suppression->setAccessibleDescription("The addresses never mailed again, with when and why each was added");
    la_Count->setObjectName("la_Count");
    la_Status->setObjectName("la_Status");
    la_Status->setWordWrap(true);
    mo_Add->setObjectName("mo_Add");
    mo_Add->setTabChangesFocus(true);
    mo_Add->setAccessibleDescription("One or more addresses, as many on a line as you like");

    auto *listBox = new QGroupBox("Suppressed addresses", this);
    auto *listRow = new QHBoxLayout(listBox);
    auto *listColumn = new QVBoxLayout;
    listColumn->addWidget(gr_Suppression);
    listColumn->addWidget(la_Count);
    listRow->addLayout(listColumn, 1);
    auto *listButtons = new QVBoxLayout;
    listButtons->addWidget(bu_Remove);
    listButtons->addWidget(bu_Export);
    listButtons->addStretch();
    listRow->addLayout(listButtons);

    auto *addBox = new QGroupBox("Add by hand", this);
    auto *addRow = new QHBoxLayout(addBox);
    auto *addColumn = new QVBoxLayout;
    auto *addLabel = new QLabel("Addresses:", addBox);
    labelControl(addLabel, mo_Add);
    addColumn->addWidget(addLabel);
    addColumn->addWidget(mo_Add);
    addRow->addLayout(addColumn, 1);
    auto *addButtons = new QVBoxLayout;
    addButtons->addWidget(bu_Add);
    addButtons->addWidget(bu_Import);
    addButtons->addStretch();
    addRow->addLayout(addButtons);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(listBox, 3);
    layout->addWidget(addBox, 1);
    layout->addWidget(la_Status);

    chooseImportFile = [this] { return fileChosen(this, QFileDialog::AcceptOpen, "Import addresses"); };
    chooseExportFile = [this] { return fileChosen(this, QFileDialog::AcceptSave, "Export suppression list"); };
    connect(bu_Add, &QPushButton::clicked, this, &TF_Suppression::bu_AddClick);
    connect(bu_Import, &QPushButton::clicked, this, &TF_Suppression::bu_ImportClick);
    connect(bu_Remove, &QPushButton::clicked, this, &TF_Suppression::bu_RemoveClick);
    connect(bu_Export, &QPushButton::clicked, this, &TF_Suppression::bu_ExportClick);
    connect(&m_watch, &TSuppressionWatch::changed, this, &TF_Suppression::showRows);
    showRows();
}

void TF_Suppression::showRows()
{
    // The rows selected stay selected where they are still listed.
    const QStringList selected = selectedAddresses();
    const QList<TSuppressionRow> rows = m_watch.List().Rows();
    gr_Suppression->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        const TSuppressionRow &row = rows[r];
        const QString cells[] = {row.address, row.added.toString("yyyy-MM-dd HH:mm"), row.reason, row.detail};
        for (int c = 0; c < 4; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            item->setToolTip(cells[c]);
            gr_Suppression->setItem(r, c, item);
        }
        if (selected.contains(row.address))
            gr_Suppression->selectRow(r);
    }
    gr_Suppression->resizeColumnToContents(0);
    la_Count->setText(addressCount(rows.size()));
    bu_Remove->setEnabled(!rows.isEmpty());
}

QStringList TF_Suppression::selectedAddresses() const
{
    QStringList addresses;
    for (const QModelIndex &index : gr_Suppression->selectionModel()->selectedRows(0))
        addresses << index.data().toString();
    return addresses;
}

void TF_Suppression::bu_AddClick()
{
    reportErrors([this] {
        const TSuppressionEditor::Added added = m_editor.AddText(mo_Add->toPlainText());
        la_Status->setText(TSuppressionEditor::Summary(added));
        if (added.found > 0)
            mo_Add->clear();
        showRows();
    });
}

void TF_Suppression::bu_ImportClick()
{
    const QString path = chooseImportFile();
    if (path.isEmpty())
        return;
    reportErrors([&] {
        TSuppressionEditor::Added added;
        QString error;
        if (!m_editor.ImportFile(path, added, error)) {
            Prompt::error("Cannot read " + path + ": " + error);
            return;
        }
        la_Status->setText(TSuppressionEditor::Summary(added));
        showRows();
    });
}

void TF_Suppression::bu_RemoveClick()
{
    const QStringList addresses = selectedAddresses();
    if (addresses.isEmpty()) {
        Prompt::error("Choose the addresses to remove first!");
        return;
    }
    const QString what =
        addresses.size() == 1 ? addresses.first() : QStringLiteral("these %1 addresses").arg(addresses.size());
    if (Prompt::confirm("Remove " + what + " from the suppression list? They can be mailed again.") != PromptAnswer::Yes)
        return;
    reportErrors([&] {
        const int removed = m_editor.Remove(addresses);
        la_Status->setText(addressCount(removed) + " removed.");
        showRows();
    });
}

void TF_Suppression::bu_ExportClick()
{
    const QString path = chooseExportFile();
    if (path.isEmpty())
        return;
    reportErrors([&] {
        QString error;
        if (!m_editor.Export(path, error)) {
            Prompt::error("Cannot write " + path + ": " + error);
            return;
        }
        la_Status->setText("The list is written to " + path + ".");
    });
}
