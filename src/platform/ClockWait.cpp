#include "platform/ClockWait.h"

#include "platform/Clock.h"

#include <QEventLoop>
#include <QTimer>
#include <algorithm>

TClockWait::TClockWait(QObject *parent) : QObject(parent)
{
}

bool TClockWait::WaitUntil(const QDateTime &time)
{
    m_stopped = false;
    auto remainingMs = [&] { return Clock::currentDateTime().msecsTo(time); };
    if (remainingMs() <= 0)
        return true;
    QEventLoop loop;
    m_loop = &loop;
    QTimer check;
    check.setSingleShot(true);
    auto arm = [&] {
        const qint64 remaining = remainingMs();
        if (remaining <= 0)
            loop.quit();
        else
            check.start(int(std::min<qint64>(remaining, CheckMs)));
    };
    connect(&check, &QTimer::timeout, &loop, arm);
    arm();
    loop.exec();
    m_loop = nullptr;
    return !m_stopped;
}

void TClockWait::Stop()
{
    if (!m_loop)
        return;
    m_stopped = true;
    m_loop->quit();
}
