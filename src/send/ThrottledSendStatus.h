#pragma once

#include "send/SendStatus.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <map>

// Shows a run at the pace a screen can show it. A run changes its activity,
// the member number and the progress position for every member, far more
// often than anyone can read them, and every change costs a repaint; here
// these (and the member count) reach the display at most once per interval
// (about 30 times a second), always with their latest values. Everything
// else goes through at once, after what was waiting, so the end of a run, a
// Cancel and the results always show the final state.
class TThrottledSendStatus : public QObject, public TSendStatus
{
    Q_OBJECT
public:
    static constexpr int DefaultIntervalMs = 33;

    explicit TThrottledSendStatus(TSendStatus &display, int intervalMs = DefaultIntervalMs,
                                  QObject *parent = nullptr);

    void setActivity(const QString &text) override;
    void setMemberCount(std::optional<int> count) override;
    void setMemberNumber(std::optional<int> number) override;
    void setProgressRange(int maximum) override;
    void setProgressPosition(int position) override;
    void showRunControls(bool shown) override;
    void setSendEnabled(bool enabled) override;
    void showResults(const QStringList &log) override;

    // Puts what waits on the display now.
    void flush();

private:
    // The changes held back, in the order they reach the display.
    enum class Held { Activity, MemberCount, MemberNumber, ProgressPosition };

    // Keeps show as the latest change of its kind until the next flush.
    void hold(Held kind, std::function<void()> show);
    void schedule();

    TSendStatus &m_display;
    const int m_intervalMs;
    QTimer m_timer;
    QElapsedTimer m_sinceShown;
    std::map<Held, std::function<void()>> m_held;
};
