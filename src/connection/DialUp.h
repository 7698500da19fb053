#pragma once

#include "connection/DialNotificationSlot.h"
#include "connection/DialUpBackend.h"
#include "connection/DialUpStatusTexts.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

enum class TDialMode { dmAsync, dmSync };

// Connects the machine through a named phone-book entry, lists the entries
// and the connections that are up, and hangs up the connection it dialled.
// Progress and outcome arrive through the On... events, each optional.
//
// Asynchronous dialling reports every state change as one OnAsyncEvent on the
// main thread, in the order the backend reported them: the backend's thread
// leaves each change in a one-place slot and a 1 ms relay timer delivers it.
class TDialUp : public QObject
{
    Q_OBJECT

public:
    using TStandartEv = std::function<void(TDialUp *Sender)>;
    using TOnEntryGet = std::function<void(TDialUp *Sender, const QString &EntryName)>;
    using TOnNotConn = std::function<void(TDialUp *Sender, qint32 ErrorCode, const QString &ErrorMessage)>;
    using TOnError = std::function<void(TDialUp *Sender, qint32 ErrorCode, const QString &ErrorMessage)>;
    using TOnAsyncEvent = std::function<void(TDialUp *Sender, qint32 State, qint32 Error, const QString &MessageText)>;
    using TOnActiveConn = std::function<void(TDialUp *Sender, quint32 Handle, const TRasConnStatus &Status,
                                             const QString &StatusString, const QString &EntryName,
                                             const QString &DeviceType, const QString &DeviceName)>;

    // Listings hold at most this many entries or connections; more is an error.
    static constexpr int MaxListed = 100;
    static constexpr int RelayInterval = 1;

    // Backed by NetworkManager on the system bus.
    explicit TDialUp(QObject *parent = nullptr);
    explicit TDialUp(std::unique_ptr<DialUpBackend> backend, QObject *parent = nullptr);
    ~TDialUp() override;

    // Replaces the backend; an asynchronous dial in progress is no longer reported.
    void setBackend(std::unique_ptr<DialUpBackend> backend);

    TDialMode DialMode() const { return m_dialMode; }
    void setDialMode(TDialMode mode) { m_dialMode = mode; }
    const QStringList &Entries() const { return m_entries; }
    const QString &Entry() const { return m_entry; }
    void setEntry(const QString &entry) { m_entry = entry; }
    TLanguage Language() const { return m_language; }
    void setLanguage(TLanguage language) { m_language = language; }

    TOnEntryGet OnEntryGet;
    TStandartEv OnDialing;
    TStandartEv OnConnect;
    TOnNotConn OnNotConnected;
    TOnAsyncEvent OnAsyncEvent;
    TOnError OnError;
    TOnActiveConn OnActiveConnection;

    // Dials Entry; 0 when connected (synchronous) or dialling has started
    // (asynchronous), else the backend's code.
    qint32 Dial();
    // Hangs up the connection of the last dial; a code when there is none.
    qint32 HangUp();
    qint32 GetEntries();
    qint32 GetConnections();
    QString StatusText(qint32 State, qint32 Error) const;

private:
    void RelayTimerTick();
    // Stops taking notifications of the asynchronous dial before.
    void retireAsyncDial();
    qint32 dialSynchronously(const DialUpParams &params);
    qint32 dialAsynchronously(const DialUpParams &params);

    std::unique_ptr<DialUpBackend> m_backend;
    TDialMode m_dialMode = TDialMode::dmAsync;
    QStringList m_entries;
    QString m_entry;
    TLanguage m_language = TLanguage::English;
    QTimer m_relayTimer;
    quint32 m_handle = 0;
    std::shared_ptr<DialNotificationSlot> m_asyncSlot;
};
