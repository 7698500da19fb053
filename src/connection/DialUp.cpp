#include "connection/DialUp.h"

#include "connection/NetworkManagerBackend.h"

#include <utility>

TDialUp::TDialUp(QObject *parent) : TDialUp(std::make_unique<NetworkManagerBackend>(), parent) {}

TDialUp::TDialUp(std::unique_ptr<DialUpBackend> backend, QObject *parent)
    : QObject(parent), m_backend(std::move(backend))
{
    m_relayTimer.setInterval(RelayInterval);
    connect(&m_relayTimer, &QTimer::timeout, this, &TDialUp::RelayTimerTick);
}

TDialUp::~TDialUp()
{
    // Before the backend goes: its thread must not wait on a slot that no one
    // will empty, nor wake a timer that is gone.
    retireAsyncDial();
}

void TDialUp::setBackend(std::unique_ptr<DialUpBackend> backend)
{
    retireAsyncDial();
    m_backend = std::move(backend);
    m_handle = 0;
}

qint32 TDialUp::Dial()
{
    retireAsyncDial();
    HangUp();

    DialUpParams params;
    params.entryName = m_entry;
    const qint32 paramsResult = m_backend->getEntryDialParams(params);
    if (paramsResult != DialUpCode::Success) {
        if (OnError)
            OnError(this, paramsResult, QStringLiteral("GetEntryDialParams failed"));
        return paramsResult;
    }

    m_handle = 0;
    return m_dialMode == TDialMode::dmSync ? dialSynchronously(params) : dialAsynchronously(params);
}

qint32 TDialUp::dialSynchronously(const DialUpParams &params)
{
    if (OnDialing)
        OnDialing(this);
    const qint32 result = m_backend->dial(params, {}, m_handle);
    if (result != DialUpCode::Success) {
        if (m_handle != 0)
            m_backend->hangUp(m_handle);
        const QString text = m_backend->errorString(result);
        if (OnNotConnected)
            OnNotConnected(this, result, text);
    } else if (OnConnect) {
        OnConnect(this);
    }
    return result;
}

qint32 TDialUp::dialAsynchronously(const DialUpParams &params)
{
    m_asyncSlot = std::make_shared<DialNotificationSlot>([this] {
        QMetaObject::invokeMethod(&m_relayTimer, [this] { m_relayTimer.start(); }, Qt::QueuedConnection);
    });
    const std::shared_ptr<DialNotificationSlot> slot = m_asyncSlot;
    const DialUpBackend::Notifier notifier = [slot](quint32 message, qint32 state, qint32 error) {
        slot->post({message, state, error});
    };

    if (OnDialing)
        OnDialing(this);
    const qint32 result = m_backend->dial(params, notifier, m_handle);
    if (result != DialUpCode::Success && OnError)
        OnError(this, result, m_backend->errorString(result));
    return result;
}

void TDialUp::RelayTimerTick()
{
    m_relayTimer.stop();
    // Held here: the handler may start another dial, which replaces the slot.
    const std::shared_ptr<DialNotificationSlot> slot = m_asyncSlot;
    if (!slot)
        return;
    const auto notification = slot->pending();
    if (notification && OnAsyncEvent)
        OnAsyncEvent(this, notification->state, notification->error,
                     StatusText(notification->state, notification->error));
    slot->release();
}

void TDialUp::retireAsyncDial()
{
    if (m_asyncSlot) {
        m_asyncSlot->close();
        m_asyncSlot.reset();
    }
}

qint32 TDialUp::HangUp()
{
    return m_backend->hangUp(m_handle);
}

qint32 TDialUp::GetEntries()
{
    m_entries.clear();
    QStringList names;
    const qint32 result = m_backend->enumEntries(names);
    if (result != DialUpCode::Success)
        return result;
    if (names.size() > MaxListed)
        return DialUpCode::BufferTooSmall;
    for (const QString &name : std::as_const(names)) {
        m_entries.append(name);
        if (OnEntryGet)
            OnEntryGet(this, name);
    }
    return DialUpCode::Success;
}

qint32 TDialUp::GetConnections()
{
    QList<DialUpConnection> connections;
    const qint32 result = m_backend->enumConnections(connections);
    if (result != DialUpCode::Success)
        return result;
    if (connections.size() > MaxListed)
        return DialUpCode::BufferTooSmall;
    for (const DialUpConnection &connection : std::as_const(connections)) {
        // A fresh record each time, so a connection whose status cannot be
        // read does not show the one before it; the failure's text says why.
        TRasConnStatus status;
        const qint32 statusResult = m_backend->getConnectStatus(connection.handle, status);
        if (statusResult != DialUpCode::Success) {
            status = TRasConnStatus();
            status.Error = statusResult;
        }
        const QString text = StatusText(status.State, status.Error);
        if (OnActiveConnection)
            OnActiveConnection(this, connection.handle, status, text, connection.entryName, connection.deviceType,
                               connection.deviceName);
    }
    return DialUpCode::Success;
}

QString TDialUp::StatusText(qint32 State, qint32 Error) const
{
    if (Error != 0)
        return m_backend->errorString(Error);
    return dialUpStateText(State, m_language);
}
