#include "mailer/TF_Preview.h"

#include "widgets/Labelling.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TF_Preview::TF_Preview(QWidget *parent, TDM_Databaser &dataModule, const TDraftMessage &message, SendTest sendTest)
    : QDialog(parent),
      la_Member(new QLabel(this)),
      e_PreviewSubject(new QLineEdit(this)),
      mo_Preview(new QPlainTextEdit(this)),
      bu_Previous(new QPushButton("&Previous", this)),
      bu_Next(new QPushButton("&Next", this)),
      ch_TestMark(new QCheckBox(QStringLiteral("Mark the subject with \"%1\"").arg(QString(TestMark).trimmed()), this)),
      bu_SendTest(new QPushButton("Send &test", this)),
      bu_Close(new QPushButton("Close", this)),
      m_preview(dataModule),
      m_message(message),
      m_sendTest(std::move(sendTest))
{
    setObjectName("F_Preview");
    setWindowTitle("Preview");
    resize(424, 341);
    la_Member->setObjectName("la_Member");
    e_PreviewSubject->setObjectName("e_PreviewSubject");
    e_PreviewSubject->setReadOnly(true);
    mo_Preview->setObjectName("mo_Preview");
    mo_Preview->setReadOnly(true);
    bu_Previous->setObjectName("bu_Previous");
    bu_Next->setObjectName("bu_Next");
    ch_TestMark->setObjectName("ch_TestMark");
    ch_TestMark->setChecked(true);
    bu_SendTest->setObjectName("bu_SendTest");
    bu_SendTest->setToolTip("Sends this member's message to your own address");
    bu_SendTest->setAccessibleDescription(bu_SendTest->toolTip());
    bu_Close->setObjectName("bu_Close");

    auto *form = new QFormLayout;
    auto *subjectLabel = new QLabel("Subject:", this);
    labelControl(subjectLabel, e_PreviewSubject);
    form->addRow(subjectLabel, e_PreviewSubject);
    auto *textLabel = new QLabel("Text:", this);
    labelControl(textLabel, mo_Preview);
    form->addRow(textLabel, mo_Preview);
    auto *steps = new QHBoxLayout;
    steps->addWidget(bu_Previous);
    steps->addWidget(la_Member, 1);
    steps->addWidget(bu_Next);
    auto *test = new QHBoxLayout;
    test->addWidget(ch_TestMark, 1);
    test->addWidget(bu_SendTest);
    test->addWidget(bu_Close);
    auto *column = new QVBoxLayout(this);
    column->addLayout(steps);
    column->addLayout(form, 1);
    column->addLayout(test);

    connect(bu_Previous, &QPushButton::clicked, this, [this] { showMember(shownMember() - 1); });
    connect(bu_Next, &QPushButton::clicked, this, [this] { showMember(shownMember() + 1); });
    connect(bu_SendTest, &QPushButton::clicked, this, &TF_Preview::bu_SendTestClick);
    connect(bu_Close, &QPushButton::clicked, this, &QDialog::accept);
    showMember(1);
}

void TF_Preview::showMember(int number)
{
    m_shown = m_preview.read(m_message, number);
    const bool shown = m_shown.has_value();
    if (!shown) {
        la_Member->setText(QStringLiteral("The group \"%1\" has no member").arg(m_message.Group));
        e_PreviewSubject->clear();
        mo_Preview->clear();
    } else {
        const QString who =
            m_shown->name.isEmpty() ? m_shown->email : QStringLiteral("%1 <%2>").arg(m_shown->name, m_shown->email);
        la_Member->setText(QStringLiteral("Member %1 of %2: %3").arg(m_shown->number).arg(m_shown->count).arg(who));
        e_PreviewSubject->setText(m_shown->subject);
        mo_Preview->setPlainText(m_shown->lines.join(u'\n'));
    }
    bu_Previous->setEnabled(shown && m_shown->number > 1);
    bu_Next->setEnabled(shown && m_shown->number < m_shown->count);
    bu_SendTest->setEnabled(shown);
}

void TF_Preview::bu_SendTestClick()
{
    if (!m_shown)
        return;
    m_sendTest(m_message, TTestSend{m_shown->number, ch_TestMark->isChecked() ? QString(TestMark) : QString()});
}
