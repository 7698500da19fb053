#pragma once

#include "send/ConnectPhase.h"
#include "send/DraftMessage.h"
#include "send/ListHeaders.h"
#include "send/MailerSettings.h"
#include "send/MemberPages.h"
#include "send/MemberRendering.h"
#include "send/ResumePosition.h"
#include "send/RunLog.h"
#include "send/RunSummary.h"
#include "platform/ClockWait.h"
#include "store/SendWindow.h"
#include "transport/MessageIds.h"
#include "transport/WireText.h"

#include <QObject>
#include <functional>
#include <memory>
#include <optional>

class TDM_Databaser;
class TSendComponents;
class TSendStatus;
class TSmtpClient;
class TSmtpLogin;
class TSuppressionList;
class TOAuthTokenSource;

// Where a run keeps its place in a send that is not the group's own: the
// agent keeps one per schedule entry.
class TSendPlace
{
public:
    virtual ~TSendPlace() = default;
    // The 1-based number of the member to send to next; 0: from the first.
    virtual int Read() = 0;
    virtual void Store(int number) = 0;
};

// What a run keeps and shows beyond the messages it sends. The mailer's run
// keeps the group's resume position and send date and ends in the results
// window; the agent's run keeps none of these and leaves its log growing
// (cut only by its cap) for the agent's result log.
struct TGroupSendOptions
{
    // The resume question, the position stored at the run's first failure
    // and after each member sent, and the question after a cancel.
    bool ResumePosition = true;
    bool StampLastSent = true;
    // Pending events handled before each member, not only during the waits.
    bool ProcessEventsPerMember = true;
    // An error box, besides the log line, when no session can be opened.
    bool ReportConnectFailure = true;
    // The results window at the end: the log, closed by the run's failures
    // again (the cap may have dropped them), then emptied. Without it the log
    // keeps growing, each line once, in the order it happened.
    bool ShowResults = true;
    // With a place, the run goes on at it without asking and stores it before
    // each member's final "." and at a cancel, so a run cut short anywhere,
    // a crash included, sends no member the message twice. Not owned.
    TSendPlace *Place = nullptr;
    // Before the first member, a box about the placeholders the members have
    // no value for, which can send the user back to the message. Without it
    // the run logs the same lines and goes on: a placeholder without a value
    // writes its default, or nothing, never its braces.
    bool AskAboutMergeGaps = true;
};

// A test send: one member's message as that member would read it, to the
// sender's own address, leaving the group's place and send date alone.
struct TTestSend
{
    int Member = 1;      // 1-based, in the group's order
    QString SubjectMark; // put before the subject; empty: none
};

// How a run ended.
enum class TRunOutcome {
    Finished, // every member was handled; failed ones are in the log
    Aborted, // cancelled by the user
    NotStarted, // the settings check refused it
    // No session could be opened, or FailedConnectionsLimit in a row failed
    // during the run, which stopped where the next one goes on.
    NotConnected,
    Stopped, // the store failed; reported, and the run broke off
    Refused, // the server takes no message this large; sent to nobody
};

// The group send: once its connection phase (TConnectPhase) has the
// connection up, it sends the message to every member of the group, one SMTP
// transaction each, with progress, cancel, the resume position and the run's
// log (TRunLog). It talks to the user through the prompt service and a
// TSendStatus, and drives the SMTP client and the dial-up component of the
// program's TSendComponents.
class TGroupSend : public QObject
{
    Q_OBJECT
public:
    // Members the server turned away for now (a 4xx reply, or it was not
    // there) are tried again at the end of the run, in up to this many
    // passes, the first after RetryPauseSeconds and each after twice the
    // pause before it.
    static constexpr int RetryPasses = 3;
    static constexpr int RetryPauseSeconds = 60;
    // A server that asks for a rest (TRefusal), closes the session or
    // cannot be reached again gets RetryPauseSeconds, then twice as long,
    // before the same member is tried again, up to this many tries in a row.
    // Then the run stops where connections failed; a member the server only
    // asked to wait for goes to the retry passes.
    static constexpr int FailedConnectionsLimit = 3;
    // The charset of the messages where it holds the whole text; UTF-8
    // otherwise.
    static constexpr const char *PreferredCharset = "iso-8859-1";

    TGroupSend(TDM_Databaser &dataModule, TSendComponents &components, const TMailerSettings &settings,
               TSendStatus &status, const TGroupSendOptions &options = {}, QObject *parent = nullptr);
    ~TGroupSend() override;

    // Starts a run for the message: at once over the LAN or on a connection
    // that is up, otherwise after dialling, when the connect poll finds the
    // connection up. Ignored while a run is pending or sending.
    void StartConnection(const TDraftMessage &message);
    // The same for a test send of the message.
    void StartTest(const TDraftMessage &message, const TTestSend &test);
    // The connection phase alone: run is called once the connection is up
    // (at once over the LAN), unless Cancel gives the pending run up first.
    // Ignored while a run is pending or sending.
    void ConnectThen(std::function<void()> run);
    // One run of the message to its group over a connection that is up.
    TRunOutcome Run(const TDraftMessage &message);
    // Cancel: a pending run ends at once; a sending run after the member it
    // is sending to, which gets a second to finish (TCustomSmtpClient::Cancel).
    void bu_StopClick();
    bool Busy() const { return m_sending || m_connection.Pending(); }
    TConnectPhase &Connection() { return m_connection; }
    // The four settings a run needs; false after telling the user which is
    // missing. A run checks them itself; a window may check them before it
    // lets go of the message.
    bool CheckSettings();
    // How many members got the message in the last run (or the one going on).
    int Delivered() const { return m_delivered; }

    void SmtpClientGetData(qint32 LineNum, char *MsgLine, qint32 MaxLen, bool &More);
    void SmtpClientDisplay(const QString &Msg);

    int FEmailNr = 0;
    bool FAborted = false;
    TRunLog FResultLog;

signals:
    // A run started with StartConnection or Run is over, whichever way it
    // ended (also a pending connection given up with Cancel), its questions
    // and results done.
    void Ended();

private:
    // Deferred: refused for now, to be tried again; NotTried: Cancel came
    // while the run waited for the sending limit.
    // TooLarge: the server takes no message this large, nothing was sent.
    // Skipped: on the suppression list. Paused: the server asked for a rest;
    // ConnectionFailed: it ended the session or could not be reached;
    // GaveUp: the last of FailedConnectionsLimit in a row, and the run stops.
    enum class Outcome {
        Sent,
        Failed,
        Unknown,
        Deferred,
        NotTried,
        TooLarge,
        Skipped,
        Paused,
        ConnectionFailed,
        GaveUp
    };
    struct Member
    {
        int number = 0;
        QString name;
        QString email;
        // The values of the recipient fields the message uses.
        QStringList fields;
        // The server's last reply, while the member waits for a retry.
        QString reply;
        // The recipient's number in the store, which its token names.
        qint64 recipient = 0;
    };

    void start(const TDraftMessage &message, const std::optional<TTestSend> &test);
    TRunOutcome SendToGroup();
    // False when the user chose to go back to the message.
    bool mergeGapsAccepted();
    // The run itself; a failure of the store leaves it as an exception.
    TRunOutcome runToGroup();
    // Sets the session's security and login; false, with failure set, when
    // there is no password to log in with.
    bool prepareLogin(QString &failure);
    // The OAuth 2.0 login: a token is had before connecting, and the client
    // asks the program's token source for it (and a new one if refused).
    bool prepareTokenLogin(QString &failure);
    void openMembers();
    // One member's transaction, with the resume position moved after it.
    Outcome sendToMember(Member &member);
    Outcome tryMember(Member &member);
    // The member the page cursor is on, as member `number` of the run.
    Member memberAtCursor(int number);
    // Where the member's message goes: the member, or the user for a test.
    const QString &addressFor(const Member &member) const;
    // The client's fields for the member's message.
    void setUpMember(const Member &member);
    // On a pipelining session, the next member's message set up while this
    // one ends, so its envelope leaves with this one's end; false where the
    // next member is not to be sent to now.
    bool setUpNextMember();
    // Sets the member's Message-ID and list header lines.
    void setMemberHeaders(const Member &member);
    // True, counted and named, when the member is on the suppression list.
    bool skipSuppressed(const Member &member);
    // The address does not exist: it goes on the suppression list.
    void suppressMissing(const Member &member, const QString &reply);
    // What becomes of a member after FailedConnectionsLimit tries in a row
    // the server did not take: deferred, or, where the connections failed,
    // the end of the run.
    Outcome afterFailedTries(Member &member, Outcome last);
    // The first member the next run sends to.
    int nextRunStart() const;
    // Holds the run until the sending limit has a place for one message;
    // false when Cancel came first.
    bool waitForSendingPlace();
    // Holds the run until time, saying on the status bar why and until when;
    // false when Cancel came first.
    bool pauseUntil(const QDateTime &time, const QString &why);
    void retryDeferred();
    void reportUndelivered();
    // The member's message went out in full: a run that breaks off from here
    // on must not send it again.
    void claimMember();
    // Moves the resume position on (or back) for the member and stores it
    // as soon as it changes, so a run that breaks off resumes at the first
    // member that did not get the message.
    void noteMember(int number, bool gotIt);
    void AddResult(const QString &text);
    // A result line that the results keep whatever the log's cap drops.
    void addFailure(const QString &text, const QString &reason = QString());
    TRunOutcome finishRun();
    // The charset for a member's message, by the names in its header.
    QString charsetFor(const QString &memberName);
    // The end of a run whose message the server refused for its size.
    TRunOutcome refuseMessage();
    void stopRun(const std::exception &error);
    // The end of a run whose session was opened: idle, hung up when the
    // settings ask for it, the group reread, and the results shown.
    void endRun();
    // No member count and number, no run controls: the display of a run
    // that sends no more.
    void showStopped();
    // Every way out of a run ends here: nothing runs or is cancelled any more,
    // and "Start sending Email" is enabled again.
    void goIdle();

    TDM_Databaser &m_dm;
    TSmtpClient &m_client;
    TSmtpLogin &m_login;
    TOAuthTokenSource &m_tokens;
    const TMailerSettings &m_settings;
    TSendStatus &m_status;
    const TGroupSendOptions m_givenOptions;
    // The given options, less what a test send must not touch.
    TGroupSendOptions m_options;
    std::optional<TTestSend> m_test;
    std::optional<TMemberRendering> m_rendering;
    TConnectPhase m_connection;
    TDraftMessage m_message;
    bool m_sending = false;
    bool m_sessionOpened = false;
    // The run reads its members on a query of its own: the shared scratch
    // query is used by windows that stay usable during the run.
    TMemberPages m_members;
    // Absent while no limit is set.
    std::optional<TSendWindow> m_sendWindow;
    QList<Member> m_deferred;
    TResumePosition m_resume;
    // The position in the store, written only when m_resume moves.
    int m_storedPosition = 0;
    // The member being sent to, in the first pass or a retry.
    int m_currentMember = 0;
    // In the first pass, the member cursor may have moved on to the member
    // set up ahead, which then holds its place in the sending limit too.
    bool m_firstPass = false;
    bool m_movedAhead = false;
    bool m_placeTaken = false;
    int m_delivered = 0;
    TRunSummary m_summary;
    // Read once per run: another program's changes count from the next.
    std::unique_ptr<TSuppressionList> m_suppression;
    // Absent while the group's switch is off.
    std::optional<TListHeaders> m_listHeaders;
    // Tries in a row that paused the run.
    int m_failedTries = 0;
    // Why the run stopped before its end; empty while it goes on.
    QString m_gaveUp;
    TClockWait m_pause;
    // Drawn afresh at the start of every run.
    std::optional<TMessageIds> m_messageIds;
    WireText m_latin1{QString::fromLatin1(PreferredCharset)};
};
