#pragma once

#include "addressbook/SuppressionEditor.h"
#include "addressbook/SuppressionWatch.h"

#include <QWidget>
#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class TDatabase;

// The suppression list's window: the addresses neither program mails again,
// with when and why each was added; addresses typed, pasted or imported from
// a file are added by hand, the selected ones removed, the list exported.
// A child window of the main window, following the list as it changes.
class TF_Suppression : public QWidget
{
    Q_OBJECT
public:
    explicit TF_Suppression(TDatabase &database, QWidget *parent = nullptr);

    QTableWidget *gr_Suppression;
    QLabel *la_Count;
    QPushButton *bu_Remove;
    QPushButton *bu_Export;
    QPlainTextEdit *mo_Add;
    QPushButton *bu_Add;
    QPushButton *bu_Import;
    // What the last command did.
    QLabel *la_Status;

    // Ask for the file to import from and to export to; empty when cancelled.
    // Tests answer in the dialogs' place.
    std::function<QString()> chooseImportFile;
    std::function<QString()> chooseExportFile;

    void bu_AddClick();
    void bu_ImportClick();
    void bu_RemoveClick();
    void bu_ExportClick();

private:
    void showRows();
    QStringList selectedAddresses() const;

    TSuppressionWatch m_watch;
    TSuppressionEditor m_editor;
};
