#include "addressbook/TF_AddGrp.h"

#include "addressbook/AddressBook.h"
#include "addressbook/GroupLists.h"
#include "platform/EnterAsTab.h"
#include "widgets/Placement.h"
#include "platform/Prompts.h"
#include "widgets/Labelling.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TF_AddGrp::TF_AddGrp(QWidget *parent, TAddressBook &addressBook, bool editMode)
    : QDialog(parent),
      ed_GrpName(new QLineEdit(this)),
      ch_CopyEmail(new QCheckBox("Copy email from Group:", this)),
      co_Group(new QComboBox(this)),
      ch_ListHeaders(new QCheckBox("Unsubscribe and list headers in every message", this)),
      bu_Ok(new QPushButton("OK", this)),
      bu_Cancel(new QPushButton("Cancel", this)),
      m_book(addressBook)
{
    setObjectName("F_AddGrp");
    setWindowTitle("Add new group");
    // No length limit on the box: it would cut a pasted name without a
    // word. A name too long for the store is refused on OK instead.
    ed_GrpName->setObjectName("ed_GrpName");
    ch_CopyEmail->setObjectName("ch_CopyEmail");
    co_Group->setObjectName("co_Group");
    // The check box beside it is its label.
    co_Group->setAccessibleName("Copy email from Group:");
    co_Group->setAccessibleDescription("The group whose recipients the new group gets");
    ch_ListHeaders->setObjectName("ch_ListHeaders");
    const QString headersHint = "List-Id and List-Unsubscribe, which mail providers want from a sender of bulk mail";
    ch_ListHeaders->setToolTip(headersHint);
    ch_ListHeaders->setAccessibleDescription(headersHint);
    bu_Ok->setObjectName("bu_Ok");
    bu_Cancel->setObjectName("bu_Cancel");

    auto *form = new QFormLayout(this);
    auto *nameLabel = new QLabel("Group name:", this);
    labelControl(nameLabel, ed_GrpName);
    form->addRow(nameLabel, ed_GrpName);
    form->addRow(ch_CopyEmail);
    form->addRow(co_Group);
    form->addRow(ch_ListHeaders);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bu_Ok);
    buttons->addWidget(bu_Cancel);
    form->addRow(buttons);

    connect(bu_Ok, &QPushButton::clicked, this, &TF_AddGrp::bu_OkClick);
    connect(bu_Cancel, &QPushButton::clicked, this, &QDialog::reject);
    EnterAsTab::install(this);

    ch_ListHeaders->setChecked(!editMode || addressBook.CurrentListHeaders());
    if (editMode) {
        ch_CopyEmail->setEnabled(false);
        co_Group->setEnabled(false);
    } else {
        GroupLists::show(co_Group, addressBook.WatchGroupNames(std::nullopt, this));
    }
    adjustSize();
    centreOnScreen(this);
}

void TF_AddGrp::bu_OkClick()
{
    if (co_Group->currentText().isEmpty() && ch_CopyEmail->isChecked()) {
        Prompt::error("You must choose a Group to copy first!");
        co_Group->setFocus();
        return;
    }
    const QString problem = m_book.GroupNameProblem(ed_GrpName->text());
    if (!problem.isEmpty()) {
        Prompt::error(problem);
        ed_GrpName->setFocus();
        return;
    }
    accept();
}
