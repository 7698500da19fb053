#include "connection/NetworkManagerBackend.h"

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <chrono>

namespace {

const QString service = QStringLiteral("org.freedesktop.NetworkManager");
const QString managerPath = QStringLiteral("/org/freedesktop/NetworkManager");
const QString managerInterface = QStringLiteral("org.freedesktop.NetworkManager");
const QString settingsPath = QStringLiteral("/org/freedesktop/NetworkManager/Settings");
const QString settingsInterface = QStringLiteral("org.freedesktop.NetworkManager.Settings");
const QString profileInterface = QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection");
const QString activeInterface = QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
const QString deviceInterface = QStringLiteral("org.freedesktop.NetworkManager.Device");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString activePathPrefix = QStringLiteral("/org/freedesktop/NetworkManager/ActiveConnection/");

// NetworkManager's states of an active connection.
enum ActiveState : uint { Unknown = 0, Activating = 1, Activated = 2, Deactivating = 3, Deactivated = 4 };

using ProfileSettings = QMap<QString, QVariantMap>;

quint32 handleOf(const QString &activePath)
{
    if (!activePath.startsWith(activePathPrefix))
        return 0;
    bool ok = false;
    const quint32 handle = activePath.mid(activePathPrefix.size()).toUInt(&ok);
    return ok ? handle : 0;
}

qint32 dialUpStateOf(uint activeState)
{
    switch (activeState) {
    case Activating:
        return DialUpState::ConnectDevice;
    case Activated:
        return DialUpState::Connected;
    default:
        return DialUpState::Disconnected;
    }
}

QList<QDBusObjectPath> objectPaths(const QVariant &value)
{
    return qdbus_cast<QList<QDBusObjectPath>>(value);
}

bool serviceUnreachable(const QDBusError &error)
{
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
    case QDBusError::Disconnected:
    case QDBusError::NoServer:
    case QDBusError::NoNetwork:
    case QDBusError::NoMemory:
        return true;
    default:
        return false;
    }
}

}

NetworkManagerBackend::NetworkManagerBackend(const QDBusConnection &bus) : m_bus(bus)
{
    qDBusRegisterMetaType<ProfileSettings>();
}

NetworkManagerBackend::~NetworkManagerBackend()
{
    stopFollower();
}

QDBusMessage NetworkManagerBackend::call(const QString &path, const QString &interface, const QString &method,
                                         const QVariantList &arguments, qint32 &result)
{
    if (!m_bus.isConnected()) {
        result = DialUpCode::ServiceUnavailable;
        return QDBusMessage();
    }
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(arguments);
    const QDBusMessage reply = m_bus.call(message, QDBus::Block, CallTimeoutMs);
    result = reply.type() == QDBusMessage::ReplyMessage ? DialUpCode::Success : failureOf(QDBusError(reply));
    return reply;
}

QVariant NetworkManagerBackend::property(const QString &path, const QString &interface, const QString &name,
                                         qint32 &result)
{
    const QDBusMessage reply = call(path, propertiesInterface, QStringLiteral("Get"), {interface, name}, result);
    if (result != DialUpCode::Success || reply.arguments().isEmpty())
        return QVariant();
    return qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant();
}

qint32 NetworkManagerBackend::failureOf(const QDBusError &error)
{
    if (serviceUnreachable(error))
        return DialUpCode::ServiceUnavailable;
    std::lock_guard lock(m_mutex);
    m_refusalText = error.message().isEmpty() ? error.name() : error.message();
    return DialUpCode::Refused;
}

qint32 NetworkManagerBackend::listProfiles(QList<Profile> &profiles)
{
    qint32 result = DialUpCode::Success;
    const QDBusMessage reply = call(settingsPath, settingsInterface, QStringLiteral("ListConnections"), {}, result);
    if (result != DialUpCode::Success)
        return result;
    const QList<QDBusObjectPath> paths = reply.arguments().isEmpty() ? QList<QDBusObjectPath>()
                                                                      : objectPaths(reply.arguments().constFirst());
    for (const QDBusObjectPath &path : paths) {
        const QDBusMessage settings = call(path.path(), profileInterface, QStringLiteral("GetSettings"), {}, result);
        // A profile this user may not read (or one removed meanwhile) is no
        // entry of theirs; the others still are.
        if (result == DialUpCode::Refused)
            continue;
        if (result != DialUpCode::Success)
            return result;
        if (settings.arguments().isEmpty())
            continue;
        const auto values = qdbus_cast<ProfileSettings>(settings.arguments().constFirst());
        profiles.append({path.path(), values.value(QStringLiteral("connection")).value(QStringLiteral("id")).toString()});
    }
    return DialUpCode::Success;
}

qint32 NetworkManagerBackend::enumEntries(QStringList &names)
{
    QList<Profile> profiles;
    const qint32 result = listProfiles(profiles);
    if (result != DialUpCode::Success)
        return result;
    for (const Profile &profile : std::as_const(profiles))
        names.append(profile.id);
    return DialUpCode::Success;
}

qint32 NetworkManagerBackend::getEntryDialParams(DialUpParams &params)
{
    QList<Profile> profiles;
    const qint32 result = listProfiles(profiles);
    if (result != DialUpCode::Success)
        return result;
    for (const Profile &profile : std::as_const(profiles)) {
        if (profile.id == params.entryName) {
            params.reference = profile.path;
            return DialUpCode::Success;
        }
    }
    return DialUpCode::EntryNotFound;
}

qint32 NetworkManagerBackend::dial(const DialUpParams &params, const Notifier &notifier, quint32 &handle)
{
    stopFollower();
    qint32 result = DialUpCode::Success;
    const QDBusObjectPath anyDevice(QStringLiteral("/"));
    const QDBusMessage reply = call(managerPath, managerInterface, QStringLiteral("ActivateConnection"),
                                    {QVariant::fromValue(QDBusObjectPath(params.reference)),
                                     QVariant::fromValue(anyDevice), QVariant::fromValue(anyDevice)},
                                    result);
    if (result != DialUpCode::Success)
        return result;
    const QString activePath = reply.arguments().isEmpty()
                                   ? QString()
                                   : qvariant_cast<QDBusObjectPath>(reply.arguments().constFirst()).path();
    handle = remember(activePath, params.reference);
    if (!notifier)
        return followActivation(activePath, notifier);
    m_follower = std::thread([this, activePath, notifier] { followActivation(activePath, notifier); });
    return DialUpCode::Success;
}

qint32 NetworkManagerBackend::followActivation(const QString &activePath, const Notifier &notifier)
{
    const auto report = [&notifier](qint32 state, qint32 error) {
        if (notifier)
            notifier(0, state, error);
    };
    report(DialUpState::OpenPort, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ActivationTimeoutMs);
    uint lastState = Unknown;
    for (;;) {
        qint32 result = DialUpCode::Success;
        const QVariant state = property(activePath, activeInterface, QStringLiteral("State"), result);
        // NetworkManager drops an active connection soon after it has failed.
        const uint current = result == DialUpCode::Success ? state.toUInt() : Deactivated;
        if (current != lastState && current == Activating)
            report(DialUpState::ConnectDevice, 0);
        if (current == Activated) {
            report(DialUpState::Connected, 0);
            return DialUpCode::Success;
        }
        if (current == Deactivating || current == Deactivated) {
            const qint32 failure =
                result == DialUpCode::ServiceUnavailable ? result : qint32(DialUpCode::NotConnected);
            report(DialUpState::Disconnected, failure);
            return failure;
        }
        lastState = current;
        if (std::chrono::steady_clock::now() >= deadline) {
            report(DialUpState::Disconnected, DialUpCode::NoAnswer);
            return DialUpCode::NoAnswer;
        }
        if (!pause())
            return DialUpCode::NotConnected;
    }
}

bool NetworkManagerBackend::pause()
{
    std::unique_lock lock(m_mutex);
    return !m_stopping.wait_for(lock, std::chrono::milliseconds(PollIntervalMs), [this] { return m_stop; });
}

void NetworkManagerBackend::stopFollower()
{
    if (!m_follower.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_stopping.notify_all();
    m_follower.join();
    std::lock_guard lock(m_mutex);
    m_stop = false;
}

quint32 NetworkManagerBackend::remember(const QString &activePath, const QString &profilePath)
{
    const quint32 handle = handleOf(activePath);
    if (handle != 0)
        m_known.insert(handle, {activePath, profilePath});
    return handle;
}

qint32 NetworkManagerBackend::checkStillOurs(const Known &known)
{
    qint32 result = DialUpCode::Success;
    const QVariant active = property(managerPath, managerInterface, QStringLiteral("ActiveConnections"), result);
    if (result != DialUpCode::Success)
        return result;
    if (!objectPaths(active).contains(QDBusObjectPath(known.activePath)))
        return DialUpCode::NotConnected;
    const QVariant profile = property(known.activePath, activeInterface, QStringLiteral("Connection"), result);
    if (result == DialUpCode::ServiceUnavailable)
        return result;
    if (result != DialUpCode::Success || qvariant_cast<QDBusObjectPath>(profile).path() != known.profilePath)
        return DialUpCode::NotConnected;
    const uint state = property(known.activePath, activeInterface, QStringLiteral("State"), result).toUInt();
    if (result == DialUpCode::ServiceUnavailable)
        return result;
    if (result != DialUpCode::Success || (state != Activating && state != Activated))
        return DialUpCode::NotConnected;
    return DialUpCode::Success;
}

qint32 NetworkManagerBackend::hangUp(quint32 handle)
{
    if (!m_bus.isConnected())
        return DialUpCode::ServiceUnavailable;
    const auto found = m_known.constFind(handle);
    if (handle == 0 || found == m_known.constEnd())
        return DialUpCode::InvalidHandle;
    const Known known = *found;
    // The number may name another connection by now (NetworkManager
    // restarted and counts afresh, say): only the connection that was
    // dialled or listed, and only while it is up, is hung up.
    qint32 result = checkStillOurs(known);
    if (result == DialUpCode::NotConnected)
        m_known.remove(handle);
    if (result != DialUpCode::Success)
        return result;
    call(managerPath, managerInterface, QStringLiteral("DeactivateConnection"),
         {QVariant::fromValue(QDBusObjectPath(known.activePath))}, result);
    if (result == DialUpCode::Success)
        m_known.remove(handle);
    return result;
}

qint32 NetworkManagerBackend::enumConnections(QList<DialUpConnection> &connections)
{
    qint32 result = DialUpCode::Success;
    const QVariant active = property(managerPath, managerInterface, QStringLiteral("ActiveConnections"), result);
    if (result != DialUpCode::Success)
        return result;
    for (const QDBusObjectPath &path : objectPaths(active)) {
        DialUpConnection connection;
        connection.entryName = property(path.path(), activeInterface, QStringLiteral("Id"), result).toString();
        if (result != DialUpCode::Success)
            return result;
        const QVariant profile = property(path.path(), activeInterface, QStringLiteral("Connection"), result);
        connection.handle = remember(path.path(), qvariant_cast<QDBusObjectPath>(profile).path());
        TRasConnStatus status;
        getConnectStatus(connection.handle, status);
        connection.deviceType = status.DeviceType;
        connection.deviceName = status.DeviceName;
        connections.append(connection);
    }
    return DialUpCode::Success;
}

qint32 NetworkManagerBackend::getConnectStatus(quint32 handle, TRasConnStatus &status)
{
    if (!m_bus.isConnected())
        return DialUpCode::ServiceUnavailable;
    const auto found = m_known.constFind(handle);
    if (handle == 0 || found == m_known.constEnd())
        return DialUpCode::InvalidHandle;
    const QString path = found->activePath;
    qint32 result = DialUpCode::Success;
    const QVariant state = property(path, activeInterface, QStringLiteral("State"), result);
    if (result != DialUpCode::Success)
        return result;
    status.State = dialUpStateOf(state.toUInt());
    status.Error = 0;
    status.DeviceType = property(path, activeInterface, QStringLiteral("Type"), result).toString();
    const QList<QDBusObjectPath> devices =
        objectPaths(property(path, activeInterface, QStringLiteral("Devices"), result));
    status.DeviceName = devices.isEmpty()
                            ? QString()
                            : property(devices.constFirst().path(), deviceInterface, QStringLiteral("Interface"), result)
                                  .toString();
    return DialUpCode::Success;
}

QString NetworkManagerBackend::errorString(qint32 code)
{
    switch (code) {
    case DialUpCode::InvalidHandle:
        return QStringLiteral("No connection to hang up or ask about");
    case DialUpCode::BufferTooSmall:
        return QStringLiteral("Too many connections to list");
    case DialUpCode::EntryNotFound:
        return QStringLiteral("No connection profile of that name");
    case DialUpCode::NotConnected:
        return QStringLiteral("The connection could not be brought up or has ended");
    case DialUpCode::NoAnswer:
        return QStringLiteral("The connection did not come up in time");
    case DialUpCode::ServiceUnavailable:
        return QStringLiteral("Network manager not available");
    case DialUpCode::Refused: {
        std::lock_guard lock(m_mutex);
        return m_refusalText.isEmpty() ? QStringLiteral("Network manager refused the request") : m_refusalText;
    }
    default:
        return QStringLiteral("Dial-up error %1").arg(code);
    }
}
