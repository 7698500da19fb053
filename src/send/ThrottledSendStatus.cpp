#include "send/ThrottledSendStatus.h"

#include <algorithm>

TThrottledSendStatus::TThrottledSendStatus(TSendStatus &display, int intervalMs, QObject *parent)
    : QObject(parent), m_display(display), m_intervalMs(intervalMs)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &TThrottledSendStatus::flush);
}

void TThrottledSendStatus::setActivity(const QString &text)
{
    hold(Held::Activity, [this, text] { m_display.setActivity(text); });
}

void TThrottledSendStatus::setMemberCount(std::optional<int> count)
{
    hold(Held::MemberCount, [this, count] { m_display.setMemberCount(count); });
}

void TThrottledSendStatus::setMemberNumber(std::optional<int> number)
{
    hold(Held::MemberNumber, [this, number] { m_display.setMemberNumber(number); });
}

void TThrottledSendStatus::setProgressPosition(int position)
{
    hold(Held::ProgressPosition, [this, position] { m_display.setProgressPosition(position); });
}

void TThrottledSendStatus::setProgressRange(int maximum)
{
    flush();
    m_display.setProgressRange(maximum);
}

void TThrottledSendStatus::showRunControls(bool shown)
{
    flush();
    m_display.showRunControls(shown);
}

void TThrottledSendStatus::setSendEnabled(bool enabled)
{
    flush();
    m_display.setSendEnabled(enabled);
}

void TThrottledSendStatus::showResults(const QStringList &log)
{
    flush();
    m_display.showResults(log);
}

void TThrottledSendStatus::hold(Held kind, std::function<void()> show)
{
    m_held[kind] = std::move(show);
    schedule();
}

void TThrottledSendStatus::schedule()
{
    if (m_timer.isActive())
        return;
    // The first change after a quiet while shows as soon as the event loop
    // turns, together with the changes made up to then.
    const qint64 since = m_sinceShown.isValid() ? m_sinceShown.elapsed() : m_intervalMs;
    m_timer.start(static_cast<int>(std::max<qint64>(0, m_intervalMs - since)));
}

void TThrottledSendStatus::flush()
{
    m_timer.stop();
    m_sinceShown.start();
    const std::map<Held, std::function<void()>> held = std::exchange(m_held, {});
    for (const auto &[kind, show] : held)
        show();
}
