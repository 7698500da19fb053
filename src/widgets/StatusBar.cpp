#include "widgets/StatusBar.h"

#include <QLabel>
#include <QProgressBar>

TPanelStatusBar::TPanelStatusBar(QWidget *parent) : QStatusBar(parent), m_progress(new QProgressBar(this))
{
    setSizeGripEnabled(false);
    m_progress->setObjectName("pb");
    m_progress->setAccessibleName("pb");
    m_progress->setAccessibleDescription("Progress of the current operation");
    m_progress->setMaximumHeight(16);
    m_progress->setFixedWidth(120);
    m_progress->setTextVisible(false);
    m_progress->hide();
    addPermanentWidget(m_progress);
}

QLabel *TPanelStatusBar::addPanel(int width, const QString &text, bool bevel)
{
    auto *panel = new QLabel(text, this);
    panel->setObjectName(QStringLiteral("panel%1").arg(m_panels.size()));
    // No accessible name: a label's name is the text it shows at the time.
    panel->setTextFormat(Qt::PlainText);
    panel->setFrameShape(bevel ? QFrame::Panel : QFrame::NoFrame);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setFixedWidth(width);
    panel->setVisible(width > 0);
    addWidget(panel);
    m_panels.append(panel);
    return panel;
}

void TPanelStatusBar::setPanelText(int index, const QString &text)
{
    m_panels.at(index)->setText(text);
}

QString TPanelStatusBar::panelText(int index) const
{
    return m_panels.at(index)->text();
}

TSendStatusBar::TSendStatusBar(const QString &sendName, const QList<Panel> &panels, QWidget *parent)
    : TPanelStatusBar(parent)
{
    setObjectName("smtpstatus");
    setAccessibleName("smtpstatus");
    setAccessibleDescription("Status of the " + sendName);
    for (const Panel panel : panels) {
        switch (panel) {
        case Panel::Activity:
            m_activity = addPanel(260);
            m_activity->setAccessibleDescription("Progress and result of the " + sendName);
            break;
        case Panel::MemberCount:
            m_memberCount = addPanel(100, "Email:");
            m_memberCount->setAccessibleDescription("Number of recipients in the group");
            break;
        case Panel::MemberNumber:
            m_memberNumber = addPanel(100, "Email nr:");
            m_memberNumber->setAccessibleDescription("Number of the recipient being sent to");
            break;
        case Panel::Unused:
            addPanel(0, QString(), false);
            break;
        case Panel::Blank:
            addPanel(70);
            break;
        }
    }
}
