#include "send/ThrottledSendStatus.h"

#include <algorithm>

TThrottledSendStatus::TThrottledSendStatus(TSendStatus &display, int intervalMs, QObject *parent)
    : QObject(parent), m_display(display), m_intervalMs(intervalMs)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &TThrottledSendStatus::flush);
}

void TThrottledSendStatus::setPanelText(int panel, const QString &text)
{
    m_panels.insert(panel, text);
    schedule();
}

void TThrottledSendStatus::setProgressPosition(int position)
{
    m_position = position;
    schedule();
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
    const QMap<int, QString> panels = std::exchange(m_panels, {});
    for (auto panel = panels.cbegin(); panel != panels.cend(); ++panel)
        m_display.setPanelText(panel.key(), panel.value());
    if (const std::optional<int> position = std::exchange(m_position, std::nullopt))
        m_display.setProgressPosition(*position);
}
