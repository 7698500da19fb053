#include "mailer/MdiSendStatus.h"

#include "mailer/TF_Result.h"

#include <QToolButton>

TMdiSendStatus::TMdiSendStatus(TSendStatusBar &statusBar, QToolButton &sendButton, QToolButton &stopButton,
                               QWidget &resultsParent)
    : TStatusBarSendStatus(statusBar), m_sendButton(sendButton), m_stopButton(stopButton), m_resultsParent(resultsParent)
{
}

void TMdiSendStatus::showRunControls(bool shown)
{
    TStatusBarSendStatus::showRunControls(shown);
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
