#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// How a send run shows itself, in the run's own terms: what it is doing, the
// group's size and the member it sends to, its progress, the controls that
// belong to a running send (Cancel), the command that starts one and the
// results at its end. Where and in which words each shows is the display's
// business.
class TSendStatus
{
public:
    virtual ~TSendStatus() = default;
    // What the run is doing or how it ended ("Sending to: ...", "Dialing...",
    // "Operation finished", ...).
    virtual void setActivity(const QString &text) = 0;
    // How many members the group has; none while no run counts them.
    virtual void setMemberCount(std::optional<int> count) = 0;
    // The number of the member being sent to; none while no run sends.
    virtual void setMemberNumber(std::optional<int> number) = 0;
    virtual void setProgressRange(int maximum) = 0;
    virtual void setProgressPosition(int position) = 0;
    // The progress and the controls of a running send, shown together.
    virtual void showRunControls(bool shown) = 0;
    virtual void setSendEnabled(bool enabled) = 0;
    virtual void showResults(const QStringList &log) = 0;
};
