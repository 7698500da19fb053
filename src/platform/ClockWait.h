#pragma once

#include <QDateTime>
#include <QObject>

class QEventLoop;

// Holds its caller until Clock tells a given time, in a nested event loop, so
// windows, timers and sockets stay live and a Cancel is heard. It looks at the
// clock at least every CheckMs, so it follows a clock that is set while it
// waits.
class TClockWait : public QObject
{
    Q_OBJECT
public:
    explicit TClockWait(QObject *parent = nullptr);

    int CheckMs = 250;

    // True when the time has come; false when Stop ended the wait first.
    bool WaitUntil(const QDateTime &time);
    // Ends the wait under way; none waits then.
    void Stop();
    bool Waiting() const { return m_loop != nullptr; }

private:
    QEventLoop *m_loop = nullptr;
    bool m_stopped = false;
};
