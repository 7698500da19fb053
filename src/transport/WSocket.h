#pragma once

#include "transport/LineAssembly.h"
#include "transport/SendQueue.h"
#include "transport/SocketState.h"
#include "transport/TlsChannel.h"
#include "platform/Wait.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QStringList>
#include <functional>
#include <memory>
#include <netinet/in.h>

enum TSocketSendFlags { wsSendNormal, wsSendUrgent };
enum TSocketLingerOnOff { wsLingerOff, wsLingerOn, wsLingerNoSet };

class TCustomWSocket;
using TSessionEvent = std::function<void(TCustomWSocket *Sender, quint16 Error)>;
using TChangeStateEvent =
    std::function<void(TCustomWSocket *Sender, TSocketState OldState, TSocketState NewState)>;
using TSocketNotifyEvent = std::function<void(TCustomWSocket *Sender)>;

// A non-blocking IPv4 socket driven by the event loop of its thread: socket
// notifiers turn readiness into state changes, queued sending, line reading
// and events. On top of that it offers two blocking operations, Wait for a
// state and ReadLine, which wait inside a TWait so the rest of the program
// stays live.
//
// Errors go to OnError when assigned (LastErrorMessage then holds the text),
// otherwise they raise ESocketException.
class TCustomWSocket : public QObject
{
    Q_OBJECT
public:
    static constexpr int LineLimit = LineAssembly::Limit;

    explicit TCustomWSocket(QObject *parent = nullptr);
    ~TCustomWSocket() override;

    QString Addr() const { return m_addrText; }
    void setAddr(const QString &text);
    QString Port() const { return m_portText; }
    void setPort(const QString &text);
    QString Proto() const { return m_protoText; }
    void setProto(const QString &text);

    QString DnsResult() const { return m_dnsResultList.value(0); }
    QStringList DnsResultList() const { return m_dnsResultList; }
    TSocketState State() const { return m_state; }
    qint32 ReadCount() const { return m_readCount; }
    qint32 RcvdCount();
    qint32 LastError() const { return m_lastError; }
    QString LastErrorMessage() const { return m_lastErrorMessage; }

    bool MultiThreaded = false;
    qint32 FlushTimeout = 60;
    TSocketLingerOnOff LingerOnOff = wsLingerOn;
    // While set, short sends are gathered (up to CorkBytes) and leave as
    // full packets; clearing it sends everything gathered.
    bool MoreToFollow() const { return m_moreToFollow; }
    void setMoreToFollow(bool more);
    static constexpr int CorkBytes = 16384;
    qint32 LingerTimeout = 0;

    TSocketSendFlags SendFlags() const { return m_sendFlags; }
    void setSendFlags(TSocketSendFlags flags);

    TWait *WaitCtrl() const { return m_waitCtrl; }
    void setWaitCtrl(TWait *wait) { m_waitCtrl = wait; }

    TSessionEvent OnDataAvailable;
    TSessionEvent OnDataSent;
    TSessionEvent OnSessionClosed;
    TSessionEvent OnSessionAvailable;
    TSessionEvent OnSessionConnected;
    TChangeStateEvent OnChangeState;
    TSocketNotifyEvent OnLineTooLong;
    TSessionEvent OnDnsLookupDone;
    TSocketNotifyEvent OnError;

    void Connect();
    // Waits until the socket is in `state`; true when it is afterwards.
    bool Wait(qint32 timeoutSeconds, TSocketState state);
    // Queues the bytes and returns their number, or -1 when not connected.
    qint32 SendStr(const QByteArray &text);
    qint32 Send(const char *data, qint32 length);
    // One line without CR and LF, at most LineLimit characters (the rest of a
    // longer line is dropped up to its end, OnLineTooLong told); an unfinished
    // line after a time-out is continued by the next call.
    void ReadLine(qint32 timeoutSeconds, QByteArray &line);
    void Close();
    void CloseWithoutShutdown();
    void Shutdown(int how);
    // Starts TLS on the connected socket and waits, as Wait does, until the
    // handshake has ended or timeoutSeconds have passed. True when the
    // connection is encrypted and the server's certificate holds for
    // peerName (the host the user configured). Otherwise TlsFailure tells
    // why (empty when the wait ran out or was stopped), and a connection on
    // which the handshake could have begun is closed, so nothing can go out
    // unencrypted after all.
    bool StartTls(qint32 timeoutSeconds, const QString &peerName);
    bool Encrypted() const { return m_tls && m_tls->established(); }
    QString TlsFailure() const { return m_tlsFailure; }
    // Protocol and cipher while encrypted.
    QString TlsDescription() const { return Encrypted() ? m_tls->description() : QString(); }
    // Applies LingerOnOff and LingerTimeout to the open handle (Connect does
    // so by itself); false when it could not.
    bool SetLingerOption();

    void Listen();
    int Accept();
    void Dup(int handle);
    qint32 Receive(char *buffer, qint32 length);
    qint32 ReceiveFrom(char *buffer, qint32 length, QString &fromAddr, quint16 &fromPort);
    void DnsLookup(const QString &hostName);
    void CancelDnsLookup();
    void Pause();
    void Resume();
    void Flush();
    QString GetPeerAddr() const;
    // The dotted address this end of the connection has; empty when not
    // connected.
    QString GetLocalAddr() const;
    QString GetXPort() const;

    // True when nothing waits in the send queue.
    bool AllSent() const { return m_allSent; }
    // True when a caller may queue more: everything has left, or less than
    // CorkBytes is being gathered.
    bool ReadyForMore() const { return m_allSent || (m_moreToFollow && m_sendQueue.queuedBytes() < CorkBytes); }
    // Bytes the platform has accepted since the socket was created.
    quint64 SentTotal() const { return m_sentTotal; }

    // The local host name; raises ESocketException when it cannot be read.
    static QString LocalHostName();

private:
    void reset();
    // Checks that port, address and protocol are set and creates the handle.
    bool createHandle(const QString &operation);
    // Connect's work once the handle exists; false when it failed and said so.
    bool startConnection();
    // Closes a handle that never connected and resets the socket.
    void abandonHandle();
    void changeState(TSocketState state);
    void raiseError(const QString &message);
    void platformError(const QString &operation);
    void platformError(int error, const QString &operation);
    void closeHandleNow();
    void closeSocket(bool shutdownFirst);

    void adoptHandle(int handle);
    void dropNotifiers();
    void updateNotifiers();
    void onReadable();
    void onWritable();
    void guarded(const std::function<void()> &handler);

    void connectEvent(int error);
    void readRoutine();
    void writeEvent(int error);
    void closeEvent(int error);
    void lineStep();
    void endLine();
    int bytesWaiting();
    // The platform's recv and send, or the TLS session's once it runs.
    ssize_t peekBytes(char *buffer, size_t length);
    ssize_t takeBytes(char *buffer, size_t length);
    ssize_t sendBytes(const char *data, size_t length, int flags);
    void tlsHandshakeStep();

    void tryToSend();
    void postWriteEvent();
    void runWait(qint32 timeoutSeconds);
    void pumpUntil(qint32 timeoutSeconds, const std::function<bool()> &done);
    void dnsLookupDone(quint64 lookupId, int error, const QStringList &addresses);

    int m_handle = -1;
    std::unique_ptr<QSocketNotifier, void (*)(QSocketNotifier *)> m_readNotifier;
    std::unique_ptr<QSocketNotifier, void (*)(QSocketNotifier *)> m_writeNotifier;
    bool m_readEnabled = true;

    sockaddr_in m_remote{};
    int m_proto = 6;
    bool m_datagram = false;
    bool m_portAssigned = false;
    bool m_addrAssigned = false;
    bool m_protoAssigned = true;
    QString m_addrText;
    QString m_portText;
    QString m_protoText = QStringLiteral("tcp");

    TSocketState m_state = wsClosed;
    TSocketState m_awaited = wsInvalidState;
    TSocketSendFlags m_sendFlags = wsSendNormal;
    QPointer<TWait> m_waitCtrl;

    SendQueue m_sendQueue;
    bool m_allSent = true;
    bool m_writeEventPosted = false;
    bool m_moreToFollow = false;
    quint64 m_sentTotal = 0;

    LineAssembly m_line;

    std::unique_ptr<TlsChannel> m_tls;
    bool m_tlsHandshaking = false;
    TlsChannel::Step m_tlsStep = TlsChannel::Step::Done;
    QString m_tlsFailure;

    bool m_paused = false;
    bool m_sessionClosedFired = false;
    bool m_destroying = false;
    qint32 m_readCount = 0;
    qint32 m_lastError = 0;
    QString m_lastErrorMessage;

    quint64 m_dnsLookupId = 0;
    bool m_dnsLookupRunning = false;
    QStringList m_dnsResultList;
};

// The component as placed on a form; all behaviour is in TCustomWSocket.
class TWSocket : public TCustomWSocket
{
    Q_OBJECT
public:
    using TCustomWSocket::TCustomWSocket;
};
