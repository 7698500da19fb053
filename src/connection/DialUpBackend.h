#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>

// Result codes shared by the dial-up backends; 0 is success everywhere. Where
// the remote-access service the component was first written for has a code of
// the same meaning, its number is kept, so a code in a log reads as it always
// did; Refused is our own.
namespace DialUpCode {
constexpr qint32 Success = 0;
constexpr qint32 InvalidHandle = 6;       // nothing dialled, or no such connection
constexpr qint32 BufferTooSmall = 603;    // more entries or connections than a listing holds
constexpr qint32 EntryNotFound = 623;     // no phone-book entry of that name
constexpr qint32 NotConnected = 668;      // the connection did not come up or has ended
constexpr qint32 NoAnswer = 678;          // the connection did not come up in time
constexpr qint32 ServiceUnavailable = 711; // the connection service cannot be reached
constexpr qint32 Refused = 743;           // the connection service refused the request
}

// Connection states as the dial-up component reports them (the remote-access
// service's numbering; StatusText turns them into words).
namespace DialUpState {
constexpr qint32 OpenPort = 0;
constexpr qint32 ConnectDevice = 2;
constexpr qint32 Connected = 0x2000;
constexpr qint32 Disconnected = 0x2001;
}

// What is known about one active connection apart from its entry.
struct TRasConnStatus
{
    qint32 State = 0;
    qint32 Error = 0;
    QString DeviceType;
    QString DeviceName;
};

struct DialUpConnection
{
    quint32 handle = 0;
    QString entryName;
    QString deviceType;
    QString deviceName;
};

// The stored parameters of one entry, as the backend needs them to dial it.
struct DialUpParams
{
    QString entryName;
    // The backend's own reference to the stored entry (a profile path, say).
    QString reference;
};

// The phone book and the connections of the machine, behind the dial-up
// component. Every call returns 0 or a non-zero code that errorString turns
// into a text; none blocks for long except a synchronous dial.
class DialUpBackend
{
public:
    // One state change of an asynchronous dial: message identifier, state and
    // error (0 = none). It is called on a thread of the backend, one call at a
    // time, in the order the changes happened, and may block until the owner
    // has taken the change.
    using Notifier = std::function<void(quint32 message, qint32 state, qint32 error)>;

    virtual ~DialUpBackend() = default;

    virtual qint32 enumEntries(QStringList &names) = 0;
    // Fills params for params.entryName.
    virtual qint32 getEntryDialParams(DialUpParams &params) = 0;
    // With an empty notifier: returns when the connection is up (0) or has
    // failed (a code; handle may then name the half-open connection). With a
    // notifier: returns 0 once dialling has started and reports each state
    // change through it.
    virtual qint32 dial(const DialUpParams &params, const Notifier &notifier, quint32 &handle) = 0;
    virtual qint32 hangUp(quint32 handle) = 0;
    virtual QString errorString(qint32 code) = 0;
    virtual qint32 enumConnections(QList<DialUpConnection> &connections) = 0;
    virtual qint32 getConnectStatus(quint32 handle, TRasConnStatus &status) = 0;
};
