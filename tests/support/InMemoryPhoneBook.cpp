#include "support/InMemoryPhoneBook.h"

InMemoryPhoneBook::~InMemoryPhoneBook()
{
    joinNotifierThread();
}

void InMemoryPhoneBook::addEntry(const QString &name)
{
    m_entries.append(name);
}

void InMemoryPhoneBook::setOutcome(const QString &entry, const DialOutcome &outcome)
{
    m_outcomes.insert(entry, outcome);
}

quint32 InMemoryPhoneBook::addConnection(const QString &entry, const TRasConnStatus &status, qint32 statusResult)
{
    const quint32 handle = m_nextHandle++;
    m_connections.insert(handle, {entry, status, statusResult});
    return handle;
}

bool InMemoryPhoneBook::isConnected(const QString &entry) const
{
    for (const ActiveConnection &connection : m_connections) {
        if (connection.entry == entry)
            return true;
    }
    return false;
}

qint32 InMemoryPhoneBook::enumEntries(QStringList &names)
{
    m_calls.append(QStringLiteral("enumEntries"));
    if (m_enumEntriesResult == DialUpCode::Success)
        names = m_entries;
    return m_enumEntriesResult;
}

qint32 InMemoryPhoneBook::getEntryDialParams(DialUpParams &params)
{
    m_calls.append(QStringLiteral("getEntryDialParams ") + params.entryName);
    if (!m_entries.contains(params.entryName))
        return DialUpCode::EntryNotFound;
    params.reference = params.entryName;
    return DialUpCode::Success;
}

qint32 InMemoryPhoneBook::dial(const DialUpParams &params, const Notifier &notifier, quint32 &handle)
{
    m_calls.append(QStringLiteral("dial %1 %2").arg(params.reference, notifier ? "async" : "sync"));
    joinNotifierThread();
    const DialOutcome outcome = m_outcomes.value(params.reference);
    if (outcome.result == DialUpCode::Success || outcome.leavesHandle) {
        TRasConnStatus status;
        status.State = outcome.result == DialUpCode::Success ? DialUpState::Connected : DialUpState::ConnectDevice;
        status.DeviceType = QStringLiteral("modem");
        status.DeviceName = QStringLiteral("Test modem");
        handle = addConnection(params.reference, status);
    }
    if (notifier && outcome.result == DialUpCode::Success) {
        m_handedOver = 0;
        m_notifierThread = std::thread([this, notifier, notifications = outcome.notifications] {
            for (const Notification &notification : notifications) {
                ++m_handedOver;
                notifier(0, notification.state, notification.error);
            }
        });
    }
    return outcome.result;
}

void InMemoryPhoneBook::joinNotifierThread()
{
    if (m_notifierThread.joinable())
        m_notifierThread.join();
}

qint32 InMemoryPhoneBook::hangUp(quint32 handle)
{
    m_calls.append(QStringLiteral("hangUp %1").arg(handle));
    return m_connections.remove(handle) == 0 ? DialUpCode::InvalidHandle : DialUpCode::Success;
}

QString InMemoryPhoneBook::errorString(qint32 code)
{
    return m_errorTexts.value(code, QStringLiteral("Error %1").arg(code));
}

qint32 InMemoryPhoneBook::enumConnections(QList<DialUpConnection> &connections)
{
    m_calls.append(QStringLiteral("enumConnections"));
    if (m_enumConnectionsResult != DialUpCode::Success)
        return m_enumConnectionsResult;
    for (auto it = m_connections.cbegin(); it != m_connections.cend(); ++it)
        connections.append({it.key(), it->entry, it->status.DeviceType, it->status.DeviceName});
    return DialUpCode::Success;
}

qint32 InMemoryPhoneBook::getConnectStatus(quint32 handle, TRasConnStatus &status)
{
    const auto found = m_connections.constFind(handle);
    if (found == m_connections.cend())
        return DialUpCode::InvalidHandle;
    if (found->statusResult != DialUpCode::Success)
        return found->statusResult;
    status = found->status;
    return DialUpCode::Success;
}
