#pragma once

#include "store/RecipientFields.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;
class TAddressBook;

// The recipient dialog, for a new recipient (optionally added to more groups
// at once) and for changing the current one, with the recipient's fields
// beyond name and address: a row each, and a blank row at the end for a new
// one.
class TF_AddRec : public QDialog
{
    Q_OBJECT
public:
    TF_AddRec(QWidget *parent, TAddressBook &addressBook, bool editMode);

    // The chosen further groups, first to last.
    QStringList ChosenGroups() const;
    // The fields as given, or as the user left them: blank names and empty
    // values left out, each name once.
    void setFields(const TRecipientFields::Values &fields);
    TRecipientFields::Values Fields() const;

    QLineEdit *ed_Name;
    QLineEdit *ed_Email;
    QCheckBox *ch_Add;
    QListWidget *lb_AddToGrp;
    QTableWidget *gr_Fields;
    QPushButton *bu_Ok;
    QPushButton *bu_Cancel;

private:
    void bu_OkClick();
    // Shows why the box's text cannot be stored, if it cannot, with the
    // focus on the box; true when it could not.
    bool refuses(QLineEdit *box, const QString &problem);
    // A row typed into at the end gets a blank one after it.
    void keepBlankRow();

    TAddressBook &m_book;
    bool m_editMode;
};
