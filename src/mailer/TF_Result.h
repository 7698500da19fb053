#pragma once

#include <QDialog>

class QPlainTextEdit;

// The results window: a send run's session log, shown once the run ends.
class TF_Result : public QDialog
{
    Q_OBJECT
public:
    TF_Result(QWidget *parent, const QStringList &log);

    QPlainTextEdit *mo_Result;
};
