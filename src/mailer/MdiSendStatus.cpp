#include "mailer/MdiSendStatus.h"

#include "mailer/TF_Result.h"
#include "widgets/StatusBar.h"

#include <QProgressBar>
#include <QToolButton>

TMdiSendStatus::TMdiSendStatus(TPanelStatusBar &statusBar, QToolButton &sendButton, QToolButton &stopButton,
                               QWidget &resultsParent)
    : m_statusBar(statusBar), m_sendButton(sendButton), m_stopButton(stopButton), m_resultsParent(resultsParent)
{
}

void TMdiSendStatus::setPanelText(int panel, const QString &text)
{
    m_statusBar.setPanelText(panel, text);
}

void TMdiSendStatus::setProgressRange(int maximum)
{
    m_statusBar.pb()->setRange(0, maximum);
}

void TMdiSendStatus::setProgressPosition(int position)
{
    m_statusBar.pb()->setValue(std::min(position, m_statusBar.pb()->maximum()));
}

void TMdiSendStatus::showRunControls(bool shown)
{
    m_statusBar.pb()->setVisible(shown);
    m_stopButton.setVisible(shown);
    m_stopButton.setEnabled(shown);
}

void TMdiSendStatus::setSendEnabled(bool enabled)
{
    m_sendButton.setEnabled(enabled);
}

void TMdiSendStatus::showResults(const QStringList &log)
{
    TF_Result results(&m_resultsParent, log);
    results.exec();
}
