#pragma once

#include <QDBusConnection>
#include <QList>
#include <QMap>
#include <QStringList>
#include <QThread>
#include <memory>
#include <mutex>

class FakeNetworkManagerObject;

// Just enough of NetworkManager's D-Bus service for the dial-up backend:
// connection profiles, activation that walks through scripted states (one
// per read of its State), deactivation, and scripted refusals. It answers on
// a thread of its own, since the backend's calls block the calling thread.
class FakeNetworkManager
{
public:
    // An activation state that makes the active connection disappear, as
    // NetworkManager does with one that has failed.
    static constexpr uint Vanished = 99;

    struct Profile
    {
        QString id;
        QList<uint> activationStates;
        QString refusalName;
        QString refusalMessage;
        // GetSettings is refused, as for a profile of another user.
        bool unreadable = false;
    };
    struct Active
    {
        QString profileId;
        QList<uint> states;
    };

    explicit FakeNetworkManager(const QString &busAddress);
    ~FakeNetworkManager();
    FakeNetworkManager(const FakeNetworkManager &) = delete;
    FakeNetworkManager &operator=(const FakeNetworkManager &) = delete;

    bool isRegistered() const { return m_registered; }

    void addProfile(const QString &id, const QList<uint> &activationStates = {1, 2});
    void refuseActivation(const QString &id, const QString &errorName, const QString &message);
    void makeUnreadable(const QString &id);
    // As NetworkManager after a restart: no connection is active, and the
    // numbers of active connections start again at 1.
    void restart();
    // The connection of that number ends, as when the line drops.
    void dropActive(uint number);
    // A connection that is up already; returns its number.
    uint addActive(const QString &profileId, uint state);
    QStringList activeIds() const;
    QStringList calls() const;

private:
    friend class FakeNetworkManagerObject;

    mutable std::mutex m_mutex;
    QList<Profile> m_profiles;
    QMap<uint, Active> m_active;
    uint m_nextActive = 1;
    QStringList m_calls;

    QThread m_thread;
    std::unique_ptr<FakeNetworkManagerObject> m_object;
    QDBusConnection m_connection;
    bool m_registered = false;
};
