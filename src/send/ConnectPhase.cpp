#include "send/ConnectPhase.h"

#include "connection/DialUp.h"
#include "send/MailerSettings.h"
#include "send/SendStatus.h"

#include <utility>

TConnectPhase::TConnectPhase(TDialUp &dialUp, const TMailerSettings &settings, TSendStatus &status, QObject *parent)
    : QObject(parent), m_dialUp(dialUp), m_settings(settings), m_status(status)
{
    ti_Connect.setInterval(PollInterval);
    connect(&ti_Connect, &QTimer::timeout, this, &TConnectPhase::ti_ConnectTimer);
    m_dialUp.OnDialing = [this](TDialUp *) { m_status.setActivity("Dialing..."); };
    m_dialUp.OnConnect = [this](TDialUp *) { FConnected = true; };
    m_dialUp.OnNotConnected = [this](TDialUp *, qint32, const QString &) {
        FConnected = false;
        m_status.setActivity("Not connected");
    };
    m_dialUp.OnError = [this](TDialUp *, qint32, const QString &text) { m_status.setActivity("Error: " + text); };
    m_dialUp.OnActiveConnection = [this](TDialUp *, quint32, const TRasConnStatus &, const QString &,
                                         const QString &entryName, const QString &, const QString &) {
        FConnected = entryName == m_settings.FDialDevice;
    };
}

TConnectPhase::~TConnectPhase()
{
    m_dialUp.OnDialing = nullptr;
    m_dialUp.OnConnect = nullptr;
    m_dialUp.OnNotConnected = nullptr;
    m_dialUp.OnError = nullptr;
    m_dialUp.OnActiveConnection = nullptr;
}

void TConnectPhase::ConnectThen(std::function<void()> whenUp)
{
    m_whenUp = std::move(whenUp);
    if (m_settings.FDialLan) {
        connected();
        return;
    }
    m_dialUp.GetConnections();
    if (FConnected) {
        connected();
        return;
    }
    // A pending run can be given up with Cancel.
    m_status.showRunControls(true);
    m_dialUp.setEntry(m_settings.FDialDevice);
    m_dialUp.Dial();
    ti_Connect.start();
}

void TConnectPhase::ti_ConnectTimer()
{
    if (!FConnected)
        return;
    ti_Connect.stop();
    connected();
}

void TConnectPhase::connected()
{
    std::exchange(m_whenUp, nullptr)();
}

void TConnectPhase::Cancel()
{
    ti_Connect.stop();
    m_whenUp = nullptr;
}

void TConnectPhase::RunEnded()
{
    if (m_settings.FDialDisconnect && !m_settings.FDialLan) {
        m_dialUp.HangUp();
        FConnected = false;
    }
}
