#include "mailer/TF_About.h"

#include "mailer/AboutInfo.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

TF_About::TF_About(QWidget *parent, MemorySource memory) : QDialog(parent), m_memory(std::move(memory))
{
    setObjectName("F_About");
    setWindowTitle("About");
    auto *layout = new QVBoxLayout(this);

    auto *top = new QGridLayout;
    auto *icon = new QLabel(this);
    icon->setPixmap(QPixmap(":/corvane/corvane.png"));
    icon->setAccessibleName("Program icon");
    icon->setAccessibleDescription("The icon of Corvane 98 Professional");
    top->addWidget(icon, 0, 0, 4, 1, Qt::AlignTop);
    // The labels keep their texts as their accessible names, so a screen
    // reader reads what the box shows.
    top->addWidget(new QLabel("Program", this), 0, 1);
    auto *name = new QLabel(AboutInfo::ProgramName, this);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    top->addWidget(name, 1, 1);
    top->addWidget(new QLabel("Version:", this), 2, 1);
    auto *version = new QLabel(AboutInfo::Version, this);
    version->setAccessibleDescription("Version of the program");
    top->addWidget(version, 3, 1);
    layout->addLayout(top);

    auto *rule = new QFrame(this);
    rule->setFixedHeight(3);
    rule->setAutoFillBackground(true);
    rule->setStyleSheet("background-color: #1d4e89;");
    layout->addWidget(rule);
    auto *maker = new QLabel(AboutInfo::Maker, this);
    maker->setAccessibleDescription("Maker of the program");
    maker->setAlignment(Qt::AlignCenter);
    layout->addWidget(maker);

    // Each caption is made before its value, so assistive technology, which
    // reads the labels in the order they were made, reads them in pairs.
    auto *memoryGrid = new QGridLayout;
    memoryGrid->addWidget(new QLabel("RAM fritt (tot)", this), 0, 0);
    m_ram = new QLabel(this);
    m_ram->setAccessibleDescription("Free physical memory in percent, and the total");
    memoryGrid->addWidget(m_ram, 0, 1);
    memoryGrid->addWidget(new QLabel("SWAP fritt (tot)", this), 1, 0);
    m_swap = new QLabel(this);
    m_swap->setAccessibleDescription("Free swap space in percent, and the total");
    memoryGrid->addWidget(m_swap, 1, 1);
    layout->addLayout(memoryGrid);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
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
