#pragma once

#include "addressbook/AddressBook.h"
#include "addressbook/SuppressionWatch.h"

#include <QWidget>

class QPushButton;
class TDBGrid;
class TDM_Databaser;

// The group editor: the groups above, the selected group's recipients below,
// and the commands that change them.
class TF_Groups : public QWidget
{
    Q_OBJECT
public:
    explicit TF_Groups(TDM_Databaser &dataModule, QWidget *parent = nullptr);

    TDBGrid *gr_Group;
    TDBGrid *gr_Recipient;
    QPushButton *bu_InsertGroup;
    QPushButton *bu_ModifyGroup;
    QPushButton *bu_DeleteGroup;
    QPushButton *bu_InsertRecipient;
    QPushButton *bu_ModifyRecipient;
    QPushButton *bu_DeleteRecipient;
    QPushButton *bu_Import;

    // False while a dialog is open to add, true while it is open to modify.
    bool EditMode() const { return m_editMode; }

private:
    void bu_InsertGroupClick();
    void bu_ModifyGroupClick();
    void bu_DeleteGroupClick();
    void bu_InsertRecipientClick();
    void bu_ModifyRecipientClick();
    void bu_DeleteRecipientClick();
    void bu_ImportClick();

    TDM_Databaser &m_dm;
    TAddressBook m_book;
    // Suppressed recipients show greyed, with the reason.
    TSuppressionWatch m_suppressed;
    bool m_editMode = false;
};
