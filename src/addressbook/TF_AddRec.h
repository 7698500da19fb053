#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class TAddressBook;

// The recipient dialog, for a new recipient (optionally added to more groups
// at once) and for changing the current one.
class TF_AddRec : public QDialog
{
    Q_OBJECT
public:
    TF_AddRec(QWidget *parent, TAddressBook &addressBook, bool editMode);

    // The chosen further groups, first to last.
    QStringList ChosenGroups() const;

    QLineEdit *ed_Name;
    QLineEdit *ed_Email;
    QCheckBox *ch_Add;
    QListWidget *lb_AddToGrp;
    QPushButton *bu_Ok;
    QPushButton *bu_Cancel;

private:
    void bu_OkClick();
    // Shows why the box's text cannot be stored, if it cannot, with the
    // focus on the box; true when it could not.
    bool refuses(QLineEdit *box, const QString &problem);

    TAddressBook &m_book;
    bool m_editMode;
};
