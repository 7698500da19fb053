#pragma once

#include <QString>
#include <QStringList>

// How a send run shows itself: the status bar's panels and progress bar, the
// Cancel and "Start sending Email" buttons, and the results window.
class TSendStatus
{
public:
    virtual ~TSendStatus() = default;
    virtual void setPanelText(int panel, const QString &text) = 0;
    virtual void setProgressRange(int maximum) = 0;
    virtual void setProgressPosition(int position) = 0;
    // The progress bar and the Cancel button, shown and enabled together.
    virtual void showRunControls(bool shown) = 0;
    virtual void setSendEnabled(bool enabled) = 0;
    virtual void showResults(const QStringList &log) = 0;
};
