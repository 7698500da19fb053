#pragma once

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The signature editor: a name and the signature's lines. Created for one
// use and shown modally; Escape closes it like Cancel.
class TF_Sign : public QDialog
{
    Q_OBJECT
public:
    explicit TF_Sign(QWidget *parent = nullptr);

    QLineEdit *Ed_Name;
    QPlainTextEdit *Memo1;
    QPushButton *Bu_OK;
    QPushButton *BitBtn2;
};
