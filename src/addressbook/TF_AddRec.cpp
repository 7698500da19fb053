#include "addressbook/TF_AddRec.h"

#include "addressbook/AddressBook.h"
#include "addressbook/GroupLists.h"
#include "platform/EnterAsTab.h"
#include "widgets/Placement.h"
#include "platform/Prompts.h"
#include "widgets/Labelling.h"

#include <QCheckBox>
#include <QCompleter>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTableWidget>

namespace {

// A field's name is typed with the names the store knows offered, so that
// "Town" is not kept once as "Town" and once as "Twon".
class FieldNameDelegate : public QStyledItemDelegate
{
public:
    FieldNameDelegate(const QStringList &known, QObject *parent) : QStyledItemDelegate(parent), m_known(known) {}

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto *line = qobject_cast<QLineEdit *>(editor)) {
            auto *completer = new QCompleter(m_known, line);
            completer->setCaseSensitivity(Qt::CaseInsensitive);
            line->setCompleter(completer);
        }
        return editor;
    }

private:
    const QStringList m_known;
};

}

TF_AddRec::TF_AddRec(QWidget *parent, TAddressBook &addressBook, bool editMode)
    : QDialog(parent),
      ed_Name(new QLineEdit(this)),
      ed_Email(new QLineEdit(this)),
      ch_Add(new QCheckBox("Add to these group(s) too.", this)),
      lb_AddToGrp(new QListWidget(this)),
      gr_Fields(new QTableWidget(0, 2, this)),
      bu_Ok(new QPushButton("OK", this)),
      bu_Cancel(new QPushButton("Cancel", this)),
      m_book(addressBook),
      m_editMode(editMode)
{
    setObjectName("F_AddRec");
    setWindowTitle("Add new recipient");
    // No length limits on the boxes: they would cut a pasted text without a
    // word. A text too long for the store is refused on OK instead.
    ed_Name->setObjectName("ed_Name");
    ed_Email->setObjectName("ed_Email");
    ch_Add->setObjectName("ch_Add");
    lb_AddToGrp->setObjectName("lb_AddToGrp");
    // The check box above it is its label.
    lb_AddToGrp->setAccessibleName("Add to these group(s) too.");
    lb_AddToGrp->setAccessibleDescription("Other groups that also get the recipient");
    lb_AddToGrp->setSelectionMode(QAbstractItemView::MultiSelection);
    gr_Fields->setObjectName("gr_Fields");
    gr_Fields->setHorizontalHeaderLabels({"Field", "Value"});
    gr_Fields->horizontalHeader()->setStretchLastSection(true);
    gr_Fields->verticalHeader()->setVisible(false);
    gr_Fields->setAccessibleDescription("The recipient's fields beyond name and email, a name and a value a row");
    gr_Fields->setTabKeyNavigation(false);
    gr_Fields->setItemDelegateForColumn(0, new FieldNameDelegate(addressBook.FieldNames(), gr_Fields));
    bu_Ok->setObjectName("bu_Ok");
    bu_Cancel->setObjectName("bu_Cancel");

    auto *form = new QFormLayout(this);
    auto *nameLabel = new QLabel("Recipient name:", this);
    labelControl(nameLabel, ed_Name);
    form->addRow(nameLabel, ed_Name);
    auto *emailLabel = new QLabel("Recipient email:", this);
    labelControl(emailLabel, ed_Email);
    form->addRow(emailLabel, ed_Email);
    auto *fieldsLabel = new QLabel("Fields:", this);
    labelControl(fieldsLabel, gr_Fields);
    form->addRow(fieldsLabel, gr_Fields);
    keepBlankRow();
    connect(gr_Fields, &QTableWidget::itemChanged, this, &TF_AddRec::keepBlankRow);
    form->addRow(ch_Add);
    form->addRow(lb_AddToGrp);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bu_Ok);
    buttons->addWidget(bu_Cancel);
    form->addRow(buttons);

    connect(bu_Ok, &QPushButton::clicked, this, &TF_AddRec::bu_OkClick);
    connect(bu_Cancel, &QPushButton::clicked, this, &QDialog::reject);
    EnterAsTab::install(this);

    if (editMode) {
        ch_Add->setEnabled(false);
        lb_AddToGrp->setEnabled(false);
    } else {
        GroupLists::show(lb_AddToGrp, addressBook.WatchGroupNames(addressBook.CurrentGroup(), this));
    }
    adjustSize();
    centreOnScreen(this);
}

QStringList TF_AddRec::ChosenGroups() const
{
    QStringList groups;
    for (int i = 0; i < lb_AddToGrp->count(); ++i) {
        if (lb_AddToGrp->item(i)->isSelected())
            groups.append(lb_AddToGrp->item(i)->text());
    }
    return groups;
}

void TF_AddRec::setFields(const TRecipientFields::Values &fields)
{
    const QSignalBlocker filling(gr_Fields);
    gr_Fields->setRowCount(0);
    for (const auto &[field, value] : fields) {
        const int row = gr_Fields->rowCount();
        gr_Fields->insertRow(row);
        gr_Fields->setItem(row, 0, new QTableWidgetItem(field));
        gr_Fields->setItem(row, 1, new QTableWidgetItem(value));
    }
    keepBlankRow();
}

TRecipientFields::Values TF_AddRec::Fields() const
{
    TRecipientFields::Values values;
    auto text = [this](int row, int column) {
        const QTableWidgetItem *item = gr_Fields->item(row, column);
        return item ? item->text() : QString();
    };
    for (int row = 0; row < gr_Fields->rowCount(); ++row)
        values.append({text(row, 0), text(row, 1)});
    return TRecipientFields::Cleaned(values);
}

void TF_AddRec::keepBlankRow()
{
    const int last = gr_Fields->rowCount() - 1;
    auto blank = [this, last](int column) {
        const QTableWidgetItem *item = gr_Fields->item(last, column);
        return !item || item->text().isEmpty();
    };
    if (last < 0 || !blank(0) || !blank(1))
        gr_Fields->insertRow(last + 1);
}

bool TF_AddRec::refuses(QLineEdit *box, const QString &problem)
{
    if (problem.isEmpty())
        return false;
    Prompt::error(problem);
    box->setFocus();
    return true;
}

void TF_AddRec::bu_OkClick()
{
    if (refuses(ed_Name, m_book.NameProblem(ed_Name->text())) || refuses(ed_Email, m_book.EmailProblem(ed_Email->text())))
        return;
    if (!m_editMode && lb_AddToGrp->selectedItems().isEmpty() && ch_Add->isChecked()) {
        Prompt::error("You must choose a Group first!");
        lb_AddToGrp->setFocus();
        return;
    }
    accept();
}
