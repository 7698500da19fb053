#include "connection/FakeNetworkManager.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>

namespace {

const QString root = QStringLiteral("/org/freedesktop/NetworkManager");
const QString profilePrefix = root + QStringLiteral("/Settings/");
const QString activePrefix = root + QStringLiteral("/ActiveConnection/");
const QString devicePath = root + QStringLiteral("/Devices/1");
// NetworkManager's state of an active connection that has ended.
constexpr uint Deactivated = 4;

using ProfileSettings = QMap<QString, QVariantMap>;

QVariant paths(const QStringList &list)
{
    QList<QDBusObjectPath> result;
    for (const QString &path : list)
        result.append(QDBusObjectPath(path));
    return QVariant::fromValue(result);
}

uint trailingNumber(const QString &path, const QString &prefix)
{
    return path.startsWith(prefix) ? path.mid(prefix.size()).toUInt() : 0;
}

}

class FakeNetworkManagerObject : public QDBusVirtualObject
{
public:
    explicit FakeNetworkManagerObject(FakeNetworkManager &owner) : m_owner(owner) {}

    QString introspect(const QString &) const override { return QString(); }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        std::lock_guard lock(m_owner.m_mutex);
        connection.send(answer(message));
        return true;
    }

private:
    QDBusMessage answer(const QDBusMessage &message)
    {
        const QString member = message.member();
        const QVariantList args = message.arguments();
        if (member == "ListConnections") {
            QStringList list;
            for (int i = 0; i < m_owner.m_profiles.size(); ++i)
                list << profilePrefix + QString::number(i + 1);
            return message.createReply(paths(list));
        }
        if (member == "GetSettings") {
            const int index = int(trailingNumber(message.path(), profilePrefix)) - 1;
            if (index < 0 || index >= m_owner.m_profiles.size())
                return unknownObject(message);
            if (m_owner.m_profiles.at(index).unreadable)
                return message.createErrorReply("org.freedesktop.NetworkManager.Settings.PermissionDenied",
                                                "Insufficient privileges.");
            ProfileSettings settings;
            settings["connection"] = QVariantMap{{"id", m_owner.m_profiles.at(index).id}, {"type", "gsm"}};
            return message.createReply(QVariant::fromValue(settings));
        }
        if (member == "ActivateConnection")
            return activate(message, qvariant_cast<QDBusObjectPath>(args.value(0)).path());
        if (member == "DeactivateConnection") {
            const QString path = qvariant_cast<QDBusObjectPath>(args.value(0)).path();
            m_owner.m_calls << "DeactivateConnection " + path;
            if (m_owner.m_active.remove(trailingNumber(path, activePrefix)) == 0)
                return message.createErrorReply("org.freedesktop.NetworkManager.ConnectionNotActive",
                                                "The connection was not active.");
            return message.createReply();
        }
        if (member == "Get")
            return property(message, args.value(1).toString());
        return message.createErrorReply(QDBusError::UnknownMethod, "No such method " + member);
    }

    QDBusMessage activate(const QDBusMessage &message, const QString &profilePath)
    {
        const int index = int(trailingNumber(profilePath, profilePrefix)) - 1;
        if (index < 0 || index >= m_owner.m_profiles.size())
            return unknownObject(message);
        const FakeNetworkManager::Profile &profile = m_owner.m_profiles.at(index);
        m_owner.m_calls << "ActivateConnection " + profile.id;
        if (!profile.refusalName.isEmpty())
            return message.createErrorReply(profile.refusalName, profile.refusalMessage);
        const uint number = m_owner.m_nextActive++;
        m_owner.m_active.insert(number, {profile.id, profile.activationStates});
        return message.createReply(QVariant::fromValue(QDBusObjectPath(activePrefix + QString::number(number))));
    }

    QDBusMessage property(const QDBusMessage &message, const QString &name)
    {
        const auto reply = [&message](const QVariant &value) {
            return message.createReply(QVariant::fromValue(QDBusVariant(value)));
        };
        if (message.path() == root && name == "ActiveConnections") {
            QStringList list;
            for (auto it = m_owner.m_active.cbegin(); it != m_owner.m_active.cend(); ++it)
                list << activePrefix + QString::number(it.key());
            return reply(paths(list));
        }
        if (message.path() == devicePath && name == "Interface")
            return reply(QStringLiteral("ppp0"));
        const auto found = m_owner.m_active.find(trailingNumber(message.path(), activePrefix));
        if (found == m_owner.m_active.end())
            return unknownObject(message);
        if (name == "State") {
            const uint state = found->states.size() > 1 ? found->states.takeFirst() : found->states.value(0);
            if (state == FakeNetworkManager::Vanished) {
                m_owner.m_active.erase(found);
                return unknownObject(message);
            }
            // Deactivated is the last word on an active connection: it is
            // no longer listed afterwards.
            if (state == Deactivated)
                m_owner.m_active.erase(found);
            return reply(state);
        }
        if (name == "Id")
            return reply(found->profileId);
        if (name == "Connection")
            return reply(QVariant::fromValue(QDBusObjectPath(profilePath(found->profileId))));
        if (name == "Type")
            return reply(QStringLiteral("gsm"));
        if (name == "Devices")
            return reply(paths({devicePath}));
        return message.createErrorReply(QDBusError::InvalidArgs, "No such property " + name);
    }

    QString profilePath(const QString &id) const
    {
        for (int i = 0; i < m_owner.m_profiles.size(); ++i) {
            if (m_owner.m_profiles.at(i).id == id)
                return profilePrefix + QString::number(i + 1);
        }
        return QStringLiteral("/");
    }

    static QDBusMessage unknownObject(const QDBusMessage &message)
    {
        return message.createErrorReply(QDBusError::UnknownObject, "No such object path '" + message.path() + "'");
    }

    FakeNetworkManager &m_owner;
};

FakeNetworkManager::FakeNetworkManager(const QString &busAddress)
    : m_object(std::make_unique<FakeNetworkManagerObject>(*this)),
      m_connection(QDBusConnection::connectToBus(busAddress, QStringLiteral("corvane-fake-network-manager")))
{
    qDBusRegisterMetaType<ProfileSettings>();
    // Registered before the move, so that what registering attaches to the
    // object moves along with it.
    m_registered = m_connection.isConnected() &&
                   m_connection.registerVirtualObject(root, m_object.get(), QDBusConnection::SubPath);
    m_object->moveToThread(&m_thread);
    m_thread.start();
    m_registered = m_registered && m_connection.registerService(QStringLiteral("org.freedesktop.NetworkManager"));
}

FakeNetworkManager::~FakeNetworkManager()
{
    m_connection.unregisterObject(root);
    QDBusConnection::disconnectFromBus(m_connection.name());
    m_thread.quit();
    m_thread.wait();
}

void FakeNetworkManager::makeUnreadable(const QString &id)
{
    std::lock_guard lock(m_mutex);
    for (Profile &profile : m_profiles) {
        if (profile.id == id)
            profile.unreadable = true;
    }
}

void FakeNetworkManager::restart()
{
    std::lock_guard lock(m_mutex);
    m_active.clear();
    m_nextActive = 1;
}

void FakeNetworkManager::dropActive(uint number)
{
    std::lock_guard lock(m_mutex);
    m_active.remove(number);
}

void FakeNetworkManager::addProfile(const QString &id, const QList<uint> &activationStates)
{
    std::lock_guard lock(m_mutex);
    m_profiles.append({id, activationStates, QString(), QString(), false});
}

void FakeNetworkManager::refuseActivation(const QString &id, const QString &errorName, const QString &message)
{
    std::lock_guard lock(m_mutex);
    for (Profile &profile : m_profiles) {
        if (profile.id == id) {
            profile.refusalName = errorName;
            profile.refusalMessage = message;
        }
    }
}

uint FakeNetworkManager::addActive(const QString &profileId, uint state)
{
    std::lock_guard lock(m_mutex);
    const uint number = m_nextActive++;
    m_active.insert(number, {profileId, {state}});
    return number;
}

QStringList FakeNetworkManager::activeIds() const
{
    std::lock_guard lock(m_mutex);
    QStringList ids;
    for (const Active &active : m_active)
        ids << active.profileId;
    return ids;
}

QStringList FakeNetworkManager::calls() const
{
    std::lock_guard lock(m_mutex);
    return m_calls;
}
