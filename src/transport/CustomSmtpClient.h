#pragma once

#include "transport/WSocket.h"
#include "transport/WireText.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QStringList>
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
    bool expectReply(std::initializer_list<int> codes, bool closeOnFailure);
    QStringList composeHeader();
    void sendHeader();
    void sendBody();
    int waitTimeoutMs() const;

    TWSocket *m_socket;
    QPointer<TWait> m_wait;
    WireText m_wire;
    QString m_errorMessage;
    QString m_lastResponse;
    int m_stage = 0;
    bool m_timedOut = false;
    bool m_dataSent = false;
    QElapsedTimer m_lastPump;
};
