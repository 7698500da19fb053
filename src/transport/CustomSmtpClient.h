#pragma once

#include "transport/WSocket.h"
#include "transport/WireText.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <initializer_list>

class TCustomSmtpClient;
class TWait;

using TSmtpDisplay = std::function<void(TCustomSmtpClient *Sender, const QString &Msg)>;
// MsgLine receives one line as UTF-8 text, NUL-terminated, at most MaxLen - 1
// bytes; the client sends it in the bytes of CharSet.
using TSmtpGetDataEvent =
    std::function<void(TCustomSmtpClient *Sender, qint32 LineNum, char *MsgLine, qint32 MaxLen, bool &More)>;
using TSmtpHeaderLineEvent = std::function<void(TCustomSmtpClient *Sender, char *Msg, qint32 Size)>;
using TSmtpHeaderListEvent = std::function<void(TCustomSmtpClient *Sender, QStringList &Lines)>;
using TSmtpNotifyEvent = std::function<void(TCustomSmtpClient *Sender)>;

// One SMTP conversation over a TWSocket: Open connects and greets, each Mail
// hands over one message, Quit says goodbye. Every call blocks its caller but
// waits in nested event loops, so windows, timers and other sockets stay live.
// Every line sent and received is shown through OnDisplay; the body comes line
// by line from OnGetData.
class TCustomSmtpClient : public QObject
{
    Q_OBJECT
public:
    static constexpr int LineBufferSize = 1024;

    explicit TCustomSmtpClient(QObject *parent = nullptr);
    ~TCustomSmtpClient() override;

    QString Host;
    QString Port = QStringLiteral("smtp");
    QString SignOn;
    QString FromName;
    QStringList RcptName;
    QString HdrFrom;
    QString HdrTo;
    QString HdrSubject;
    // Goes out as a Message-ID line after the Date line; none when empty.
    QString HdrMessageId;
    QString CharSet = QStringLiteral("iso-8859-1");
    qint32 TimeOut = 15;

    TWait *Wait() const { return m_wait; }
    void setWait(TWait *wait);

    QString ErrorMessage() const { return m_errorMessage; }
    QString LastResponse() const { return m_lastResponse; }
    // 0 not connected, 1 connected, 2 greeted and ready for mail.
    int Stage() const { return m_stage; }
    TWSocket *Socket() const { return m_socket; }

    TSmtpDisplay OnDisplay;
    TSmtpGetDataEvent OnGetData;
    TSmtpHeaderLineEvent OnHeaderLine;
    TSmtpHeaderListEvent OnHeaderList;
    // Fired when a message has gone out in full, just before the "." that
    // ends it: from here on the server may take it. A handler may throw; the
    // message is then not ended, the connection is dropped and the exception
    // leaves Mail.
    TSmtpNotifyEvent OnEndOfData;

    // Set by a Mail that sent its whole message but had no answer to the "."
    // (time-out, Cancel, connection lost): the server may have taken it.
    bool OutcomeUnknown() const { return m_outcomeUnknown; }
    // Why the last Mail failed: the reply that refused it or the client's
    // own reason; empty after a Mail that succeeded.
    QString FailureReason() const { return m_failure; }
    // The last Mail failed for a reason that may pass: a 4xx reply, or no
    // connection to the server before the message went out (it could not be
    // reached, or it closed the connection). The same Mail may succeed later.
    // Never set with OutcomeUnknown.
    bool FailureTransient() const { return m_failureTransient; }

    // The user wants the session to end: what runs now gets CancelGraceMs to
    // finish; a wait (connecting, a reply, sending) still going on then ends,
    // failing its step, and the connection is dropped. Quit and Abort end
    // the session and with it the Cancel.
    static constexpr int CancelGraceMs = 800;
    void Cancel();

    virtual bool Open();
    virtual bool Mail();
    virtual bool Quit();
    virtual bool Reset();
    virtual bool Abort();

protected:
    virtual void DoGetData(qint32 LineNum, char *MsgLine, qint32 MaxLen, bool &More);
    virtual void DoHeaderLine(char *Msg, qint32 Size);
    virtual void DoHeaderList(QStringList &Lines);

    // Lets the event loop run; in a tight send loop at most every few
    // milliseconds, which keeps timers and input served without paying for a
    // full turn per line.
    void pumpMessages();

private:
    void display(const QString &text);
    bool checkEnvelope();
    void sendCommand(const QByteArray &line);
    void waitUntilSent();
    int getResponse();
    // Closes the connection; the next Mail connects anew.
    void dropConnection();
    // After a refused MAIL, RCPT or DATA: RSET, or a new connection when
    // the server does not take it.
    void endTransaction();
    void clearCancel();
    // Keeps the first reason a Mail fails for.
    void noteFailure(const QString &reason, bool transient);
    bool expectReply(std::initializer_list<int> codes, bool closeOnFailure);
    QStringList composeHeader();
    void sendHeader();
    void sendBody();
    int waitTimeoutMs() const;
    int countMs() const;

    TWSocket *m_socket;
    QPointer<TWait> m_wait;
    WireText m_wire;
    QString m_errorMessage;
    QString m_lastResponse;
    QString m_failure;
    bool m_failureTransient = false;
    int m_stage = 0;
    bool m_timedOut = false;
    bool m_dataSent = false;
    // The last reply had no answer from the server behind it.
    bool m_noAnswer = false;
    // ... because the connection was gone.
    bool m_connectionLost = false;
    bool m_outcomeUnknown = false;
    QTimer m_cancelTimer;
    bool m_cancelled = false;
    QElapsedTimer m_lastPump;
};
