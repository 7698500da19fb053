#pragma once

#include "agent/ScheduleEntry.h"
#include "send/DraftMessage.h"
#include "send/GroupSend.h"
#include "send/MailerSettings.h"
#include "send/SignatureFolder.h"
#include "platform/FileLocations.h"

#include <QObject>
#include <QTimer>
#include <optional>

class TDM_Databaser;
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
// looks at the first schedule entry; when its minute has come the loop loads
// the entry's message file, appends the signature, connects (over the LAN or
// through the dial-up entry) and sends to the entry's group with the mailer's
// run, up to "Retry Send" attempts, and removes the entry once a send ran to
// the end. Every protocol line and failure goes to the result log, which
// AGENT.RSU keeps between starts.
class TAgentLoop : public QObject
{
    Q_OBJECT
public:
    static constexpr int ScheduleInterval = 5000;

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

    // Abort: the running send stops after the member in progress, and two
    // questions settle what becomes of the entry and the schedule timer.
    void Abort();
    // Ending the program: a running send is cancelled first (its entry stays
    // in the schedule), then the result log is written.
    bool Shutdown(QString *errorText = nullptr);

    void timerTimer();

    const TMailerSettings &Settings() const { return m_settings; }
    TGroupSend &Run() { return m_run; }

    TAgentChoices Choices;
    QTimer timer;

private:
    void ReadSettings();
    void ScheduleTick();
    bool LoadMessage(const QString &path);
    void SendWithRetries();
    void AttemptLoop();
    TRunOutcome SendGroup();
    void AddLog(const QString &line);
    // "Retry Send" as a whole number; throws the conversion error otherwise.
    int RetryCount() const;
    // The same, or nothing where it does not read as one.
    std::optional<int> RetrySendNumber() const;
    void RemoveEntry();

    TDM_Databaser &m_dm;
    FileLocations m_files;
    TSignatureFolder m_signatures;
    TMailerSettings m_settings;
    TGroupSend m_run;
    TScheduleEntry m_entry;
    TDraftMessage m_message;
    bool m_ticking = false;
};

}
