#pragma once

#include "send/SendStatus.h"

class QToolButton;
class QWidget;
class TPanelStatusBar;

// Shows a send run on the main window: its status bar panels and progress
// bar, the Cancel and "Start sending Email" buttons, and the results window.
class TMdiSendStatus : public TSendStatus
{
public:
    TMdiSendStatus(TPanelStatusBar &statusBar, QToolButton &sendButton, QToolButton &stopButton,
                   QWidget &resultsParent);

    void setPanelText(int panel, const QString &text) override;
    void setProgressRange(int maximum) override;
    void setProgressPosition(int position) override;
    void showRunControls(bool shown) override;
    void setSendEnabled(bool enabled) override;
    void showResults(const QStringList &log) override;

private:
    TPanelStatusBar &m_statusBar;
    QToolButton &m_sendButton;
    QToolButton &m_stopButton;
    QWidget &m_resultsParent;
};
