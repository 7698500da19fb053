#pragma once

#include "connection/DialUpBackend.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QHash>
#include <QVariant>
#include <condition_variable>
#include <mutex>
#include <thread>

class QDBusError;

// The dial-up backend of a Linux desktop: NetworkManager's connection
// profiles are the entries (by their id), activating a profile dials it and
// deactivating the active connection hangs it up. A connection handle is the
// number of NetworkManager's active-connection object; the backend keeps the
// object's path and its profile for each handle it gave out, and hangs up
// that path, and only while it is still up and still that profile's.
//
// Every D-Bus call has a bounded time-out, so a missing or hung service costs
// at most that long; without NetworkManager every call returns
// DialUpCode::ServiceUnavailable.
class NetworkManagerBackend : public DialUpBackend
{
public:
    static constexpr int CallTimeoutMs = 3000;
    // How long a dial waits for the connection to come up.
    static constexpr int ActivationTimeoutMs = 90000;
    static constexpr int PollIntervalMs = 100;

    explicit NetworkManagerBackend(const QDBusConnection &bus = QDBusConnection::systemBus());
    ~NetworkManagerBackend() override;
    NetworkManagerBackend(const NetworkManagerBackend &) = delete;
    NetworkManagerBackend &operator=(const NetworkManagerBackend &) = delete;

    qint32 enumEntries(QStringList &names) override;
    qint32 getEntryDialParams(DialUpParams &params) override;
    qint32 dial(const DialUpParams &params, const Notifier &notifier, quint32 &handle) override;
    qint32 hangUp(quint32 handle) override;
    QString errorString(qint32 code) override;
    qint32 enumConnections(QList<DialUpConnection> &connections) override;
    qint32 getConnectStatus(quint32 handle, TRasConnStatus &status) override;

private:
    struct Profile
    {
        QString path;
        QString id;
    };
    // What a handle stands for: the active connection and its profile.
    struct Known
    {
        QString activePath;
        QString profilePath;
    };

    QDBusMessage call(const QString &path, const QString &interface, const QString &method,
                      const QVariantList &arguments, qint32 &result);
    QVariant property(const QString &path, const QString &interface, const QString &name, qint32 &result);
    qint32 listProfiles(QList<Profile> &profiles);
    qint32 failureOf(const QDBusError &error);
    // The handle of an active connection, kept with what it stands for.
    quint32 remember(const QString &activePath, const QString &profilePath);
    // Success while the connection is listed, up (or coming up) and of its
    // profile; NotConnected when not, or the failure of asking.
    qint32 checkStillOurs(const Known &known);
    // Follows an activation until it is up, has failed, has timed out or the
    // backend is going away; reports each state change through notifier when
    // one is given.
    qint32 followActivation(const QString &activePath, const Notifier &notifier);
    // Waits one poll interval; false when the backend is going away.
    bool pause();
    void stopFollower();

    QDBusConnection m_bus;
    std::mutex m_mutex;
    std::condition_variable m_stopping;
    bool m_stop = false;
    QString m_refusalText;
    // Used on the calling thread only, never by the follower.
    QHash<quint32, Known> m_known;
    std::thread m_follower;
};
