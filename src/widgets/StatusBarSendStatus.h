#pragma once

#include "send/SendStatus.h"

class TSendStatusBar;

// Shows a send run on a program's send status bar, in the words both
// programs use: "Email: 10", "Email nr:7", and the bare captions between
// runs. The progress position stays within the progress range. A program
// whose window has more of a run to show (a Cancel button, the command that
// starts a send, a results window) adds them in its own sink derived from
// this one.
class TStatusBarSendStatus : public TSendStatus
{
public:
    explicit TStatusBarSendStatus(TSendStatusBar &statusBar);

    void setActivity(const QString &text) override;
    void setMemberCount(std::optional<int> count) override;
    void setMemberNumber(std::optional<int> number) override;
    void setProgressRange(int maximum) override;
    void setProgressPosition(int position) override;
    // The progress bar.
    void showRunControls(bool shown) override;
    void setSendEnabled(bool) override {}
    void showResults(const QStringList &) override {}

private:
    TSendStatusBar &m_statusBar;
};
