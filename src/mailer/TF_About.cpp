#include "mailer/TF_About.h"

#include "mailer/AboutInfo.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel *label(const QString &text, QWidget *parent, const QString &accessibleName = QString())
{
    auto *l = new QLabel(text, parent);
    l->setAccessibleName(accessibleName.isEmpty() ? text : accessibleName);
    return l;
}

}

TF_About::TF_About(QWidget *parent, MemorySource memory) : QDialog(parent), m_memory(std::move(memory))
{
    setObjectName("F_About");
    setWindowTitle("About");
    auto *layout = new QVBoxLayout(this);

    auto *top = new QGridLayout;
    auto *icon = new QLabel(this);
    icon->setPixmap(QPixmap(":/corvane/corvane.png"));
    icon->setAccessibleName("Program icon");
    top->addWidget(icon, 0, 0, 4, 1, Qt::AlignTop);
    top->addWidget(label("Program", this), 0, 1);
    auto *name = label(AboutInfo::ProgramName, this);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    top->addWidget(name, 1, 1);
    top->addWidget(label("Version:", this), 2, 1);
    top->addWidget(label(AboutInfo::Version, this, "Version"), 3, 1);
    layout->addLayout(top);

    auto *rule = new QFrame(this);
    rule->setFixedHeight(3);
    rule->setAutoFillBackground(true);
    rule->setStyleSheet("background-color: #1d4e89;");
    layout->addWidget(rule);
    auto *maker = label(AboutInfo::Maker, this, "Maker");
    maker->setAlignment(Qt::AlignCenter);
    layout->addWidget(maker);

    auto *memoryGrid = new QGridLayout;
    m_ram = label(QString(), this, "RAM fritt (tot)");
    m_swap = label(QString(), this, "SWAP fritt (tot)");
    memoryGrid->addWidget(label("RAM fritt (tot)", this), 0, 0);
    memoryGrid->addWidget(m_ram, 0, 1);
    memoryGrid->addWidget(label("SWAP fritt (tot)", this), 1, 0);
    memoryGrid->addWidget(m_swap, 1, 1);
    layout->addLayout(memoryGrid);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setAccessibleName("OK");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

void TF_About::showEvent(QShowEvent *event)
{
    const MemoryStatus status = m_memory();
    m_ram->setText(AboutInfo::memoryLine(status.availPhys, status.totalPhys));
    m_swap->setText(AboutInfo::memoryLine(status.availPageFile, status.totalPageFile));
    QDialog::showEvent(event);
}
