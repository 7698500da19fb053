#pragma once

#include "addressbook/AddressImport.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class TAddressBook;
class TDM_Databaser;
class TGroupNames;

// The address import wizard: format, column order (delimited files only),
// file and group, one step panel at a time, then the import with its
// progress bar. Created for one import and freed when it closes.
class TF_Import : public QDialog
{
    Q_OBJECT
public:
    TF_Import(QWidget *parent, TDM_Databaser &dataModule, TAddressBook &addressBook);

    QGroupBox *pa_Step1;
    QListWidget *lb_Format;

    QGroupBox *pa_StepComma;
    QListWidget *lb_From;
    QListWidget *lb_To;
    QPushButton *bu_To;
    QPushButton *bu_Back;
    QLineEdit *ed_Delimiter;
    // A field the store does not know yet, named here and added to the order.
    QLineEdit *ed_NewField;
    QPushButton *bu_NewField;
    // The file's first line names its columns; the order then follows it.
    QCheckBox *ch_Header;

    QGroupBox *pa_StepFile;
    QLineEdit *ed_File;
    QPushButton *bu_Browse;

    QGroupBox *pa_StepGrp;
    QComboBox *co_Group;
    QCheckBox *ch_Skip;

    QGroupBox *pa_StepWork;
    QProgressBar *pg_Amazon;
    QLabel *la_Finish;

    QPushButton *bu_Prev;
    QPushButton *bu_Next;
    QPushButton *bu_Cancel;

    // The step panel showing now.
    QGroupBox *CurrentStep() const { return m_step; }
    // Asks for the import file; the browse button's dialog unless replaced.
    std::function<QString()> chooseImportFile;

    static constexpr int FormatUnknown = 0;
    static constexpr int FormatDelimited = 1;

    // Closes the wizard, except while the import runs.
    void reject() override;

private:
    void bu_NextClick();
    void bu_PrevClick();
    void bu_ToClick();
    void bu_BackClick();
    void bu_NewFieldClick();
    void bu_BrowseClick();

    void showStep(QGroupBox *step);
    void fillGroups();
    void runImport();
    TImportSettings settings() const;

    TAddressBook &m_book;
    TGroupNames *m_groups = nullptr;
    TAddressImport m_import;
    QGroupBox *m_step = nullptr;
    bool m_running = false;
};
