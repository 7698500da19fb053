#pragma once

#include "platform/Clock.h"

// A clock a test sets and moves by hand. While it exists every caller of
// Clock reads it; the system's clock is back when it goes.
class MockClock : public Clock
{
public:
    explicit MockClock(const QDateTime &start) : m_now(start) { setInstance(this); }
    ~MockClock() override { setInstance(nullptr); }

    void set(const QDateTime &time) { m_now = time; }
    void advanceSeconds(qint64 seconds) { m_now = m_now.addSecs(seconds); }

protected:
    QDateTime now() const override { return m_now; }

private:
    QDateTime m_now;
};
