#include "platform/Clock.h"

namespace {

class SystemClock : public Clock
{
protected:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

SystemClock systemClock;
Clock *current = &systemClock;

}

Clock::~Clock()
{
    if (current == this)
        current = &systemClock;
}

QDateTime Clock::currentDateTime()
{
    return current->now();
}

void Clock::setInstance(Clock *clock)
{
    current = clock ? clock : &systemClock;
}
