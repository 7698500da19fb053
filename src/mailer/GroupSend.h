#pragma once

#include "mailer/MailerSettings.h"
#include "store/Query.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

class TDM_Databaser;
class TDialUp;
class TSendStatus;
class TSmtpClient;

// A composed message as a run sends it. The run keeps this copy, so composing
// the next message while it runs does not change it.
struct TSendMessage
{
    QString Group;
    QString Subject;
    QStringList Attachments;
    QStringList Lines; // the text, then the signature's lines
};

// The group send: connects over the LAN or through the dial-up entry, then
// sends the message to every member of the group, one SMTP transaction each,
// with progress, cancel, the resume position and the session log. It talks to
// the user through the prompt service and a TSendStatus; the main window
// owns the SMTP client and the dial-up component it drives.
class TGroupSend : public QObject
{
    Q_OBJECT
public:
    // Beyond this many lines the session log starts afresh.
    static constexpr int LogLimit = 100;

    TGroupSend(TDM_Databaser &dataModule, TSmtpClient &smtpClient, TDialUp &dialUp,
               const TMailerSettings &settings, TSendStatus &status, QObject *parent = nullptr);
    ~TGroupSend() override;

    // Starts a run for the message: at once over the LAN or on a connection
    // that is up, otherwise after dialling, when the connect poll finds the
    // connection up. Ignored while a run is pending or sending.
    void StartConnection(const TSendMessage &message);
    // Cancel: a pending run ends at once; a sending run after the member it
    // is sending to.
    void bu_StopClick();
    bool Busy() const { return m_phase != Phase::Idle; }

    void SmtpClientGetData(qint32 LineNum, char *MsgLine, qint32 MaxLen, bool &More);
    void SmtpClientDisplay(const QString &Msg);

    bool FConnected = false;
    int FEmailNr = 0;
    bool FAborted = false;
    QStringList FResultLog;
    QTimer ti_Connect;

private:
    enum class Phase { Idle, Connecting, Sending };

    void ti_ConnectTimer();
    void SendToGroup();
    bool CheckSettings();
    int queryNumber(const QString &select, const QString &from);
    void openMembers();
    bool sendToMember();
    void StampLastSent(const QString &group);
    void StoreLastMail(const QString &group, int number);
    void AddResult(const QString &text);
    void finishRun();
    void showIdle();

    TDM_Databaser &m_dm;
    TSmtpClient &m_client;
    TDialUp &m_dialUp;
    const TMailerSettings &m_settings;
    TSendStatus &m_status;
    TSendMessage m_message;
    Phase m_phase = Phase::Idle;
    // The run reads its members on a query of its own: the shared scratch
    // query is used by windows that stay usable during the run.
    TQuery m_members;
};
