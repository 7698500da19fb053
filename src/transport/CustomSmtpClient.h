#pragma once

#include "platform/Wait.h"
#include "transport/MessageLayout.h"
#include "transport/SmtpCapabilities.h"
#include "transport/SmtpConnection.h"
#include "transport/SmtpResult.h"
#include "transport/SmtpTokenSource.h"
#include "transport/WireText.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>

class TCustomSmtpClient;

using TSmtpDisplay = std::function<void(TCustomSmtpClient *Sender, const QString &Msg)>;
// MsgLine receives one line as UTF-8 text, NUL-terminated, at most MaxLen - 1
// bytes; the client sends it in the bytes of CharSet.
using TSmtpGetDataEvent =
    std::function<void(TCustomSmtpClient *Sender, qint32 LineNum, char *MsgLine, qint32 MaxLen, bool &More)>;
using TSmtpHeaderLineEvent = std::function<void(TCustomSmtpClient *Sender, char *Msg, qint32 Size)>;
using TSmtpHeaderListEvent = std::function<void(TCustomSmtpClient *Sender, QStringList &Lines)>;
using TSmtpNotifyEvent = std::function<void(TCustomSmtpClient *Sender)>;
using TSmtpNextMessageEvent = std::function<bool(TCustomSmtpClient *Sender)>;

// How a session is protected. None speaks SMTP in the clear, greeting with
// EHLO (HELO where the server refuses that); Ssl starts TLS right after
// connecting; StartTls says EHLO, needs STARTTLS offered, upgrades and says
// EHLO again. With TLS the server's certificate must hold for Host.
enum class TSmtpSecurity { None, StartTls, Ssl };

// One SMTP conversation over a connection (a TWSocket of its own, or one a
// test gives): Open connects and greets, each Mail hands over one message,
// Quit says goodbye. Every call blocks its caller but waits in nested event
// loops, so windows, timers and other sockets stay live. Every line sent and
// received is shown through OnDisplay. The header lines come from the
// message's MessageLayout, the body line by line from DoGetData; the client
// only sends them (dot-stuffed, in the bytes of the layout's charset). What
// the server offered in its EHLO reply goes into MAIL FROM: SIZE, BODY=8BITMIME
// for 8-bit content, SMTPUTF8 for addresses outside ASCII (refused before
// MAIL FROM where it is not offered). This class alone sends the owner's
// lines as they come, declared as the plain 7bit text of old; TSmtpClient
// reads the text first and declares what it holds.
//
// Where the server offers PIPELINING (and Pipelining is on), a message's
// MAIL, RCPT and DATA leave in one write and their replies are read in
// order; with OnNextMessage the next message's envelope leaves in the same
// write as this one's final ".". Each Mail is still one transaction with its
// own result.
class TCustomSmtpClient : public QObject
{
    Q_OBJECT
public:
    static constexpr int LineBufferSize = 1024;

    explicit TCustomSmtpClient(QObject *parent = nullptr);
    // Talks over `connection` instead of a TWSocket of its own.
    explicit TCustomSmtpClient(std::unique_ptr<SmtpConnection> connection, QObject *parent = nullptr);
    ~TCustomSmtpClient() override;

    QString Host;
    QString Port = QStringLiteral("smtp");
    // The name HELO or EHLO gives; when empty, this host's fully qualified
    // name, or else the address literal of the connection's local end.
    QString SignOn;
    QString FromName;
    QStringList RcptName;
    QString HdrFrom;
    QString HdrTo;
    QString HdrSubject;
    // Goes out as a Message-ID line after the Date line; none when empty.
    QString HdrMessageId;
    // Further header lines, as MessageFields::extraLines.
    QStringList HdrExtra;
    QString CharSet = QStringLiteral("iso-8859-1");
    qint32 TimeOut = 15;
    TSmtpSecurity Security = TSmtpSecurity::None;
    // The login; none when UserName is empty. It is sent only over TLS (AUTH
    // PLAIN, or LOGIN where only that is offered) and never displayed.
    QString UserName;
    QString Password;
    // With a token source the login is OAuth 2.0 instead (AUTH XOAUTH2 or
    // OAUTHBEARER, whichever is offered) and Password is not used; a token
    // refused as stale is renewed and tried once more. Not owned.
    SmtpTokenSource *TokenSource = nullptr;
    // Off: one command, one reply, even where the server offers PIPELINING.
    bool Pipelining = true;

    TWait *Wait() const { return m_wait; }
    void setWait(TWait *wait);

    QString ErrorMessage() const { return m_errorMessage; }
    QString LastResponse() const { return m_lastResponse; }
    // 0 not connected, 1 connected, 2 greeted and ready for mail.
    int Stage() const { return m_stage; }
    SmtpConnection *Socket() const { return m_connection.get(); }

    TSmtpDisplay OnDisplay;
    TSmtpGetDataEvent OnGetData;
    TSmtpHeaderLineEvent OnHeaderLine;
    TSmtpHeaderListEvent OnHeaderList;
    // Fired when a message has gone out in full, just before the "." that
    // ends it: from here on the server may take it. It comes as late as it
    // can, right before the "." and what is left of the message are written,
    // so what a handler stores holds for a message that leaves with nothing
    // in between, should the program die there. A handler may throw; the
    // message is then not ended, the connection is dropped and the exception
    // leaves Mail.
    TSmtpNotifyEvent OnEndOfData;
    // Asked on a pipelining session once a message has gone out in full,
    // before OnEndOfData: a handler that sets up the next message (envelope,
    // header fields, text) and returns true has that message's envelope
    // leave with this one's final "."; the next Mail must then be that
    // message. A Mail with another envelope, a Quit or an Abort instead gives
    // the envelope sent ahead up without a message.
    TSmtpNextMessageEvent OnNextMessage;

    // What the last Open or Mail came to: ok, or the kind of failure and the
    // reply that refused it or the client's own reason. Within one call the
    // first failure keeps its reason; a session refused for its security or
    // login tells that instead.
    const TSmtpResult &Result() const { return m_result; }

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

    // What a message is made of, for the fields as they are set now: its
    // layout and, when known (0 or more), the octets of its body. They are
    // told to a server that takes SIZE, and a message larger than it takes is
    // refused before any of it is sent. The body then comes from DoGetData.
    struct Content
    {
        MessageLayout layout;
        qint64 bodyOctets = -1;
    };
    virtual Content prepareContent();
    // What the server offered in its reply to EHLO; nothing after HELO.
    const TSmtpCapabilities &capabilities() const { return m_capabilities; }
    // An envelope address holds characters outside ASCII: the message needs
    // SMTPUTF8, and its header may then be UTF-8.
    bool internationalEnvelope() const;

    // The message cannot go out whole (what it attaches cannot be read):
    // the body ends, the message is not ended with "." but the connection
    // dropped, and Mail fails with `reason`. The first reason counts.
    void abandonMessage(const QString &reason);

    // Lets the event loop run; in a tight send loop at most every few
    // milliseconds, which keeps timers and input served without paying for a
    // full turn per line.
    void pumpMessages();

private:
    // A reply as getResponse read it: its code, and whether the server gave it.
    struct Reply
    {
        enum class From { Server, NoAnswer, LostConnection };
        int code = 0;
        From from = From::Server;
    };
    // One message's transaction, made before any of it is sent.
    struct Transaction
    {
        // The envelope as the fields gave it, to know the Mail it is for.
        QString from;
        QStringList recipients;
        Content content;
        QStringList header;
        bool utf8Header = false;
        // MAIL FROM, then one RCPT TO per recipient.
        QList<QByteArray> envelope;
    };
    // Why a message cannot be sent as the fields are set, found before any
    // of it is: the reason, and whether it is only the size.
    struct Problem
    {
        QString reason;
        bool tooLarge = false;
    };

    void display(const QString &text);
    // Open's work; what it raises leaves Open with the connection dropped.
    bool openSession();
    bool checkEnvelope();
    // The lines go out in the bytes of `charset` from now on.
    void useCharset(const QString &charset);
    QString envelopeProblem() const;
    // The start of Mail: the envelope checked, the session open.
    bool openForMail();
    // Lays the message out for the session that is open; the problem, when
    // it cannot go. Nothing is sent or shown.
    std::optional<Problem> prepareTransaction(Transaction &transaction);
    bool refuse(const Problem &problem);
    bool pipelines() const;
    // The transaction of Mail, once it is prepared: the envelope, the header
    // and the body.
    bool sendMessage(const Transaction &transaction);
    void sendEnvelope(const Transaction &transaction);
    // The replies to an envelope sent in one write, and the message where
    // they took it. With `heard`, a connection that ends before the first
    // reply sets it false and leaves the message untried.
    bool completePipelined(const Transaction &transaction, bool *heard = nullptr);
    // After the server answered DATA with 354: the header, the body and the
    // end of the message, and the server's reply to it.
    bool sendContent(const Transaction &transaction);
    // The final ".", with the next message's envelope where OnNextMessage
    // gives one.
    void endMessage();
    std::optional<Transaction> nextTransaction();
    // The replies to the envelope sent ahead, read so the session stays in
    // step; a DATA the server took is given up by closing the connection.
    void abandonAhead();
    void sendCommand(const QByteArray &line);
    // Sends a line that carries a secret; the display shows `shown` instead.
    void sendSecret(const QByteArray &line, const QString &shown);
    void sendLine(const QByteArray &line, const QString &shown);
    // EHLO, STARTTLS and the login, after the greeting.
    bool greetSecurely(const QByteArray &name);
    // EHLO, and HELO where the server knows no EHLO.
    bool greetPlainly(const QByteArray &name);
    bool ehlo(const QByteArray &name);
    bool startTls();
    bool logIn();
    bool logInWithToken();
    // Ends a session that cannot be had as asked; always false.
    bool refuseSession(const QString &text);
    void waitUntilSent();
    Reply getResponse();
    // Closes the connection; the next Mail connects anew.
    void dropConnection();
    // After a refused MAIL, RCPT or DATA: RSET, or a new connection when
    // the server does not take it.
    void endTransaction();
    void clearCancel();
    // Keeps the first failure of a call.
    void noteFailure(TSmtpResult::Kind kind, const QString &reason, const QString &enhancedCode = QString());
    // Ends the call refused: `text` becomes ErrorMessage and the reason, and
    // is shown; always false.
    bool refuse(const QString &text);
    bool expectReply(std::initializer_list<int> codes, bool closeOnFailure);
    bool accept(const Reply &reply, std::initializer_list<int> codes, bool closeOnFailure);
    // What MAIL FROM adds to the address for this message, or why it cannot go.
    std::optional<Problem> mailParameters(const MessageLayout &layout, qint64 octets, QByteArray &parameters);
    void sendHeader(QStringList lines, WireText &wire);
    void sendBody();
    int waitTimeoutMs() const;
    int countMs() const;

    std::unique_ptr<SmtpConnection> m_connection;
    QPointer<TWait> m_wait;
    WireText m_wire;
    QString m_errorMessage;
    QString m_lastResponse;
    TSmtpResult m_result;
    // The lines of the last reply, and what the last EHLO reply offered.
    QStringList m_replyLines;
    TSmtpCapabilities m_capabilities;
    int m_stage = 0;
    bool m_timedOut = false;
    bool m_dataSent = false;
    QTimer m_cancelTimer;
    bool m_cancelled = false;
    // Why the message of the running Mail was abandoned; empty while it was not.
    QString m_abandoned;
    QElapsedTimer m_lastPump;
    // The envelope that left with the last message's end, its replies unread.
    std::optional<Transaction> m_ahead;
};
