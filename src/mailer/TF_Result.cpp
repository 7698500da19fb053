#include "mailer/TF_Result.h"

#include "widgets/Placement.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

TF_Result::TF_Result(QWidget *parent, const QStringList &log) : QDialog(parent), mo_Result(new QPlainTextEdit(this))
{
    setObjectName("F_Result");
    setWindowTitle("Results");
    resize(480, 360);
    mo_Result->setObjectName("mo_Result");
    mo_Result->setAccessibleName("Results");
    mo_Result->setAccessibleDescription("What the server and the mailer said during the send");
    mo_Result->setReadOnly(true);
    mo_Result->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    mo_Result->setPlainText(log.join(u'\n'));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(mo_Result);
    centreOnScreen(this);
}
