#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class TAddressBook;

// The group dialog, for a new group (optionally copying another group's
// recipients) and for renaming the current one.
class TF_AddGrp : public QDialog
{
    Q_OBJECT
public:
    TF_AddGrp(QWidget *parent, TAddressBook &addressBook, bool editMode);

    QLineEdit *ed_GrpName;
    QCheckBox *ch_CopyEmail;
    QComboBox *co_Group;
    // The group's messages carry List-Id and the unsubscribe headers.
    QCheckBox *ch_ListHeaders;
    QPushButton *bu_Ok;
    QPushButton *bu_Cancel;

private:
    void bu_OkClick();

    TAddressBook &m_book;
};
