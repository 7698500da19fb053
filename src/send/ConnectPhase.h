#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

class TDialUp;
class TMailerSettings;
class TSendStatus;

// How a run gets its connection: over the LAN at once; through the dial-up
// entry at once when the entry is among the active connections, otherwise
// after dialling it, when the connect poll (every second) finds it up. What
// the dial-up component reports shows as the run's activity.
class TConnectPhase : public QObject
{
    Q_OBJECT
public:
    static constexpr int PollInterval = 1000;

    TConnectPhase(TDialUp &dialUp, const TMailerSettings &settings, TSendStatus &status, QObject *parent = nullptr);
    ~TConnectPhase() override;

    // whenUp is called once the connection is up, at once when it is up
    // already; until then the connection is pending.
    void ConnectThen(std::function<void()> whenUp);
    bool Pending() const { return static_cast<bool>(m_whenUp); }
    // Gives the pending connection up: whenUp is not called.
    void Cancel();
    // After a run: hangs the dial-up entry up when the settings ask for it.
    void RunEnded();

    // The dial-up entry is known to be connected; kept between runs.
    bool FConnected = false;
    QTimer ti_Connect;

private:
    void ti_ConnectTimer();
    void connected();

    TDialUp &m_dialUp;
    const TMailerSettings &m_settings;
    TSendStatus &m_status;
    std::function<void()> m_whenUp;
};
