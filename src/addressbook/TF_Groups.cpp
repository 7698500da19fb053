#include "addressbook/TF_Groups.h"

#include "widgets/DBGrid.h"
#include "store/DataSetModel.h"
#include "store/DM_Databaser.h"
#include "platform/ErrorReport.h"
#include "addressbook/TF_AddGrp.h"
#include "addressbook/TF_AddRec.h"
#include "addressbook/TF_Import.h"
#include "widgets/Labelling.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QGroupBox *box(QWidget *parent, const QString &title, TDBGrid *grid, const QList<QPushButton *> &buttons)
{
    auto *group = new QGroupBox(title, parent);
    auto *row = new QHBoxLayout(group);
    row->addWidget(grid, 1);
    auto *column = new QVBoxLayout;
    for (QPushButton *button : buttons)
        column->addWidget(button);
    column->addStretch();
    row->addLayout(column);
    return group;
}

}

TF_Groups::TF_Groups(TDM_Databaser &dataModule, QWidget *parent)
    : QWidget(parent),
      gr_Group(new TDBGrid("gr_Group", this)),
      gr_Recipient(new TDBGrid("gr_Recipient", this)),
      bu_InsertGroup(commandButton(this, "bu_InsertGroup", "Insert", "Insert new group")),
      bu_ModifyGroup(commandButton(this, "bu_ModifyGroup", "Modify", "Edit selected group")),
      bu_DeleteGroup(commandButton(this, "bu_DeleteGroup", "Delete", "Delete selected group")),
      bu_InsertRecipient(commandButton(this, "bu_InsertRecipient", "Insert", "Insert new recipient")),
      bu_ModifyRecipient(commandButton(this, "bu_ModifyRecipient", "Modify", "Edit selected recipient")),
      bu_DeleteRecipient(commandButton(this, "bu_DeleteRecipient", "Delete", "Delete selected recipient")),
      bu_Import(commandButton(this, "bu_Import", "Import", "Import Recipients")),
      m_dm(dataModule),
      m_book(dataModule),
      m_suppressed(dataModule.Databas)
{
    setObjectName("F_Groups");
    setWindowTitle("Edit groups");
    setFixedSize(553, 399);
    gr_Group->setDataSet(&m_dm.ta_Group);
    gr_Group->setFieldBitmap("Picture", QPixmap(":/addressbook/group.png"));
    gr_Recipient->setDataSet(&m_dm.ta_Emails);
    gr_Recipient->setFieldBitmap("Picture", QPixmap(":/addressbook/mail.png"));
    gr_Recipient->dataSetModel()->setRowRemark(
        "Email", [this](const QVariant &email) { return m_suppressed.RemarkFor(email.toString()); });
    connect(&m_suppressed, &TSuppressionWatch::changed, gr_Recipient->dataSetModel(), &TDataSetModel::remarksChanged);
    gr_Group->setAccessibleDescription("The groups of recipients");
    gr_Recipient->setAccessibleDescription("The recipients of the selected group");

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(box(this, "Group", gr_Group, {bu_InsertGroup, bu_ModifyGroup, bu_DeleteGroup}));
    layout->addWidget(
        box(this, "Recipients", gr_Recipient, {bu_InsertRecipient, bu_ModifyRecipient, bu_DeleteRecipient, bu_Import}));

    // Ctrl+Delete in a grid is the box's "Delete": a group goes with its
    // recipients after the group's own question, a recipient's group is
    // recounted.
    gr_Group->setDeleteCommand([this] { bu_DeleteGroupClick(); }, TDBGrid::DeleteQuestion::Command);
    gr_Recipient->setDeleteCommand([this] { bu_DeleteRecipientClick(); }, TDBGrid::DeleteQuestion::Grid);

    connect(bu_InsertGroup, &QPushButton::clicked, this, &TF_Groups::bu_InsertGroupClick);
    connect(bu_ModifyGroup, &QPushButton::clicked, this, &TF_Groups::bu_ModifyGroupClick);
    connect(bu_DeleteGroup, &QPushButton::clicked, this, &TF_Groups::bu_DeleteGroupClick);
    connect(bu_InsertRecipient, &QPushButton::clicked, this, &TF_Groups::bu_InsertRecipientClick);
    connect(bu_ModifyRecipient, &QPushButton::clicked, this, &TF_Groups::bu_ModifyRecipientClick);
    connect(bu_DeleteRecipient, &QPushButton::clicked, this, &TF_Groups::bu_DeleteRecipientClick);
    connect(bu_Import, &QPushButton::clicked, this, &TF_Groups::bu_ImportClick);
}

void TF_Groups::bu_InsertGroupClick()
{
    m_editMode = false;
    reportErrors([this] {
        TF_AddGrp dialog(this, m_book, m_editMode);
        if (dialog.exec() != QDialog::Accepted)
            return;
        std::optional<QString> copyFrom;
        if (dialog.ch_CopyEmail->isChecked())
            copyFrom = dialog.co_Group->currentText();
        m_book.InsertGroup(dialog.ed_GrpName->text(), copyFrom, dialog.ch_ListHeaders->isChecked());
    });
}

void TF_Groups::bu_ModifyGroupClick()
{
    m_editMode = true;
    reportErrors([this] {
        if (m_dm.ta_Group.IsEmpty())
            return;
        TF_AddGrp dialog(this, m_book, m_editMode);
        dialog.ed_GrpName->setText(m_book.CurrentGroup());
        if (dialog.exec() == QDialog::Accepted)
            m_book.ModifyGroup(dialog.ed_GrpName->text(), dialog.ch_ListHeaders->isChecked());
    });
}

void TF_Groups::bu_DeleteGroupClick()
{
    reportErrors([this] { m_book.DeleteGroup(); });
    gr_Group->viewport()->update();
}

void TF_Groups::bu_InsertRecipientClick()
{
    m_editMode = false;
    reportErrors([this] {
        TF_AddRec dialog(this, m_book, m_editMode);
        if (dialog.exec() != QDialog::Accepted)
            return;
        const QStringList alsoInto = dialog.ch_Add->isChecked() ? dialog.ChosenGroups() : QStringList();
        m_book.InsertRecipient(dialog.ed_Name->text(), dialog.ed_Email->text(), alsoInto, dialog.Fields());
    });
}

void TF_Groups::bu_ModifyRecipientClick()
{
    m_editMode = true;
    reportErrors([this] {
        if (m_dm.ta_Emails.IsEmpty())
            return;
        TF_AddRec dialog(this, m_book, m_editMode);
        dialog.ed_Name->setText(m_dm.ta_Emails.FieldByName("Name").AsString());
        dialog.ed_Email->setText(m_dm.ta_Emails.FieldByName("Email").AsString());
        dialog.setFields(m_book.CurrentFields());
        if (dialog.exec() == QDialog::Accepted)
            m_book.ModifyRecipient(dialog.ed_Name->text(), dialog.ed_Email->text(), dialog.Fields());
    });
}

void TF_Groups::bu_DeleteRecipientClick()
{
    reportErrors([this] { m_book.DeleteRecipient(); });
    gr_Recipient->viewport()->update();
}

void TF_Groups::bu_ImportClick()
{
    reportErrors([this] {
        TF_Import wizard(this, m_dm, m_book);
        wizard.exec();
    });
}
