#include "mailer/TF_Sign.h"

#include "widgets/Placement.h"
#include "widgets/Labelling.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

TF_Sign::TF_Sign(QWidget *parent)
    : QDialog(parent),
      Ed_Name(new QLineEdit(this)),
      Memo1(new QPlainTextEdit(this)),
      Bu_OK(new QPushButton("OK", this)),
      BitBtn2(new QPushButton("Cancel", this))
{
    setObjectName("F_Sign");
    setWindowTitle(QString());
    resize(446, 236);

    auto *nameLabel = new QLabel("Name", this);
    labelControl(nameLabel, Ed_Name);
    Ed_Name->setObjectName("Ed_Name");
    auto *signatureLabel = new QLabel("Signature", this);
    labelControl(signatureLabel, Memo1);
    Memo1->setObjectName("Memo1");
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Bu_OK->setObjectName("Bu_OK");
    BitBtn2->setObjectName("BitBtn2");
    // Enter in the text box starts a new line; only a click on OK confirms.
    Bu_OK->setAutoDefault(false);
    BitBtn2->setAutoDefault(false);
    connect(Bu_OK, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    auto *grid = new QGridLayout(this);
    grid->addWidget(nameLabel, 0, 0);
    grid->addWidget(Ed_Name, 0, 1);
    grid->addWidget(signatureLabel, 1, 0, Qt::AlignTop);
    grid->addWidget(Memo1, 1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Bu_OK);
    buttons->addWidget(BitBtn2);
    grid->addLayout(buttons, 2, 0, 1, 2);
    centreOnScreen(this);
}
