#pragma once

#include <QDate>
#include <QDateTime>

// The one source of "now" for the programs: the send run's date stamp, the
// agent's schedule tick and the message's Date line read it here, so tests
// can set the time instead of racing the real one (around midnight, say).
class Clock
{
public:
    virtual ~Clock();

    static QDateTime currentDateTime();
    static QDate currentDate() { return currentDateTime().date(); }

protected:
    Clock() = default;
    // The time this clock tells; the system's unless a test stands in.
    virtual QDateTime now() const = 0;

    // Makes clock the one every caller reads; nullptr returns to the system's.
    static void setInstance(Clock *clock);
};
