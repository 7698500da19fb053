#pragma once

#include "connection/DialUpBackend.h"

#include <QHash>
#include <QMap>
#include <QStringList>
#include <atomic>
#include <thread>

// A dial-up backend held in memory: a phone book, the connections that are up
// and a scripted outcome per entry, with a record of the calls it received.
// An asynchronous dial reports its scripted notifications from a thread of
// its own, as the platform does. Used through a raw pointer after a TDialUp
// has taken ownership.
class InMemoryPhoneBook : public DialUpBackend
{
public:
    struct Notification
    {
        qint32 state = 0;
        qint32 error = 0;
    };

    struct DialOutcome
    {
        // What dial returns; 0 brings the connection up.
        qint32 result = 0;
        // A failing synchronous dial leaves a half-open connection behind.
        bool leavesHandle = false;
        // Reported one by one by an asynchronous dial.
        QList<Notification> notifications;
    };

    InMemoryPhoneBook() = default;
    ~InMemoryPhoneBook() override;
    InMemoryPhoneBook(const InMemoryPhoneBook &) = delete;
    InMemoryPhoneBook &operator=(const InMemoryPhoneBook &) = delete;

    void addEntry(const QString &name);
    void setOutcome(const QString &entry, const DialOutcome &outcome);
    // A connection that is already up; its status call returns statusResult.
    quint32 addConnection(const QString &entry, const TRasConnStatus &status,
                          qint32 statusResult = DialUpCode::Success);
    void setEnumEntriesResult(qint32 result) { m_enumEntriesResult = result; }
    void setEnumConnectionsResult(qint32 result) { m_enumConnectionsResult = result; }
    void setErrorText(qint32 code, const QString &text) { m_errorTexts.insert(code, text); }

    // The calls received, such as "dial Office async" or "hangUp 2".
    const QStringList &calls() const { return m_calls; }
    // How many notifications the asynchronous dial has begun to hand over.
    int notificationsHandedOver() const { return m_handedOver.load(); }
    bool isConnected(const QString &entry) const;

    qint32 enumEntries(QStringList &names) override;
    qint32 getEntryDialParams(DialUpParams &params) override;
    qint32 dial(const DialUpParams &params, const Notifier &notifier, quint32 &handle) override;
    qint32 hangUp(quint32 handle) override;
    QString errorString(qint32 code) override;
    qint32 enumConnections(QList<DialUpConnection> &connections) override;
    qint32 getConnectStatus(quint32 handle, TRasConnStatus &status) override;

private:
    struct ActiveConnection
    {
        QString entry;
        TRasConnStatus status;
        qint32 statusResult = DialUpCode::Success;
    };

    void joinNotifierThread();

    QStringList m_entries;
    QHash<QString, DialOutcome> m_outcomes;
    QMap<quint32, ActiveConnection> m_connections;
    quint32 m_nextHandle = 1;
    qint32 m_enumEntriesResult = DialUpCode::Success;
    qint32 m_enumConnectionsResult = DialUpCode::Success;
    QHash<qint32, QString> m_errorTexts;
    QStringList m_calls;
    std::atomic<int> m_handedOver{0};
    std::thread m_notifierThread;
};
