#pragma once

#include "widgets/StatusBarSendStatus.h"

class QToolButton;
class QWidget;

// Shows a send run on the main window: its status bar, and what only the
// mailer has of a run: the Cancel button beside the progress bar, "Start
// sending Email" and the results window.
class TMdiSendStatus : public TStatusBarSendStatus
{
public:
    TMdiSendStatus(TSendStatusBar &statusBar, QToolButton &sendButton, QToolButton &stopButton,
                   QWidget &resultsParent);

    void showRunControls(bool shown) override;
    void setSendEnabled(bool enabled) override;
    void showResults(const QStringList &log) override;

private:
    QToolButton &m_sendButton;
    QToolButton &m_stopButton;
    QWidget &m_resultsParent;
};
