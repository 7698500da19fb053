#pragma once

#include "agent/ScheduleEntry.h"
#include "send/DraftMessage.h"
#include "send/GroupSend.h"
#include "send/MailerSettings.h"
#include "send/SignatureFolder.h"
#include "platform/ClockWait.h"
#include "platform/FileLocations.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>

class TDM_Databaser;
class TOAuthTokenSource;
class TSendComponents;
class TSendStatus;

namespace agent {

// What the user set on the agent's window, read whenever the loop needs it.
struct TAgentChoices
{
    bool PromptBeforeSend = true;
    bool PromptIfError = true;
    // The text of "Retry Send", read as a whole number when attempts start.
    QString RetrySend = QStringLiteral("3");
};

// The agent's work without its window: every five seconds the schedule timer
// looks for the entry due first; when its minute has come the loop reads the
// settings afresh, loads the entry's message file, appends the signature,
// connects (over the LAN or through the dial-up entry) and sends to the
// entry's group with the mailer's run, up to "Retry Send" attempts with a
// growing pause between them, and removes the entry once a send ran to the
// end. The run keeps its place per entry in the store, so a send cut short
// goes on where it stopped. Every protocol line and failure goes to the
// result log, which AGENT.RSU keeps between starts and which is written after
// each entry.
class TAgentLoop : public QObject
{
    Q_OBJECT
public:
    static constexpr int ScheduleInterval = 5000;
    // The pause after the first failed attempt; each further one doubles it.
    static constexpr int FirstAttemptPauseSeconds = 30;
    // Why the timer stops when the OAuth 2.0 login needs a new sign-in,
    // which only the mailer can do: shown in the tray tip.
    static inline const QString SignInInMailer = QStringLiteral("sign in again from the mailer");

    // The schedule table of dataModule must be open.
    TAgentLoop(TDM_Databaser &dataModule, TSendComponents &components, const FileLocations &files,
               TSendStatus &status, QObject *parent = nullptr);

    // Start-up: the result log of earlier starts, the settings, the schedule
    // timer.
    void Start();

    QString ResultLogFile() const;
    // Writes the result log to AGENT.RSU; false with errorText when it cannot.
    bool WriteResultLog(QString *errorText = nullptr) const;
    const QStringList &ResultLog() const { return m_run.FResultLog.lines(); }

    // The schedule timer runs again.
    void StartTimer();
    // The schedule timer stops; why says so to the user until it runs again.
    void StopTimer(const QString &why);
    bool TimerRunning() const { return timer.isActive(); }
    // Why the schedule timer is stopped; empty while it runs.
    const QString &StoppedBecause() const { return m_stoppedBecause; }

    // Abort: the running send stops after the member in progress, and two
    // questions settle what becomes of the entry and the schedule timer.
    void Abort();
    // Ending the program: a running send is cancelled first (its entry stays
    // in the schedule), then the result log is written.
    bool Shutdown(QString *errorText = nullptr);

    void timerTimer();

    const TMailerSettings &Settings() const { return m_settings; }
    TGroupSend &Run() { return m_run; }
    // The wait between attempts, which follows Clock.
    TClockWait &AttemptPause() { return m_attemptPause; }

    TAgentChoices Choices;
    QTimer timer;

signals:
    // The schedule timer started or stopped.
    void timerChanged();

private:
    // The place of the entry in hand in its send.
    class TEntryPlace : public TSendPlace
    {
    public:
        TEntryPlace(TDM_Databaser &dataModule, const TScheduleEntry &entry) : m_dm(dataModule), m_entry(entry) {}
        int Read() override;
        void Store(int number) override;

    private:
        TDM_Databaser &m_dm;
        const TScheduleEntry &m_entry;
    };

    void ReadSettings();
    void ScheduleTick();
    bool LoadMessage(const QString &path);
    void SendWithRetries();
    void AttemptLoop();
    // Holds the attempts for the pause after attempt; false when Abort or
    // Shutdown came first.
    bool pauseAfter(int attempt);
    TRunOutcome SendGroup();
    // The end of an entry's turn, whatever became of it: the log is written.
    void EntryEnded();
    // Runs work; a failure is shown, logged, and said by the stopped timer.
    void reportingErrors(const std::function<void()> &work);
    void AddLog(const QString &line);
    // "Retry Send" as a whole number; throws the conversion error otherwise.
    int RetryCount() const;
    // The same, or nothing where it does not read as one.
    std::optional<int> RetrySendNumber() const;
    void RemoveEntry();

    TDM_Databaser &m_dm;
    // Says when an attempt failed for want of a sign-in in the mailer.
    const TOAuthTokenSource &m_tokens;
    FileLocations m_files;
    TSignatureFolder m_signatures;
    TSendStatus &m_status;
    TMailerSettings m_settings;
    TScheduleEntry m_entry;
    TEntryPlace m_place;
    TGroupSend m_run;
    TDraftMessage m_message;
    TClockWait m_attemptPause;
    QString m_stoppedBecause;
    bool m_ticking = false;
    bool m_attempting = false;
};

}
