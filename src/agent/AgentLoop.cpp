#include "agent/AgentLoop.h"

#include "send/MessageFile.h"
#include "send/SendComponents.h"
#include "send/SendStatus.h"
#include "platform/Clock.h"
#include "platform/ErrorReport.h"
#include "platform/Exception.h"
#include "platform/Prompts.h"
#include "platform/TextFile.h"
#include "store/DM_Databaser.h"

#include <QFileInfo>
#include <QScopedValueRollback>

namespace agent {

namespace {

// The mailer's run without the group's resume position, the send-date stamp,
// the per-member event handling and the results window; a connection that
// fails is a log line (the attempts count it). The run keeps its place in
// the entry's send instead. Nobody watches the agent to answer a box about
// placeholders without values: the run logs them and goes on.
TGroupSendOptions agentRun(TSendPlace *place)
{
    TGroupSendOptions options;
    options.AskAboutMergeGaps = false;
    options.ResumePosition = false;
    options.StampLastSent = false;
    options.ProcessEventsPerMember = false;
    options.ReportConnectFailure = false;
    options.ShowResults = false;
    options.Place = place;
    return options;
}

const QString ResultLogName = QStringLiteral("AGENT.RSU");
const QString NoSignature = QStringLiteral("None");

}

int TAgentLoop::TEntryPlace::Read()
{
    return m_dm.ReadEntryPlace(m_entry.RowId);
}

void TAgentLoop::TEntryPlace::Store(int number)
{
    m_dm.StoreEntryPlace(m_entry.RowId, number);
}

TAgentLoop::TAgentLoop(TDM_Databaser &dataModule, TSendComponents &components, const FileLocations &files,
                       TSendStatus &status, QObject *parent)
    : QObject(parent),
      m_dm(dataModule),
      m_tokens(components.Tokens),
      m_files(files),
      m_signatures(files.filesFolder()),
      m_status(status),
      m_place(dataModule, m_entry),
      m_run(dataModule, components, m_settings, status, agentRun(&m_place))
{
    // Nobody watches the agent: a password the secret store cannot give
    // fails the entry with a log line instead of waiting on a box.
    components.Login.MayAsk = false;
    timer.setInterval(ScheduleInterval);
    connect(&timer, &QTimer::timeout, this, &TAgentLoop::timerTimer);
}

void TAgentLoop::Start()
{
    if (QFileInfo::exists(ResultLogFile())) {
        QStringList earlier;
        QString error;
        if (TextFile::readLines(ResultLogFile(), earlier, &error))
            m_run.FResultLog.setLines(earlier);
        else
            Prompt::error(error);
    }
    ReadSettings();
    StartTimer();
}

void TAgentLoop::StartTimer()
{
    timer.start();
    m_stoppedBecause.clear();
    emit timerChanged();
}

void TAgentLoop::StopTimer(const QString &why)
{
    timer.stop();
    m_stoppedBecause = why;
    emit timerChanged();
}

void TAgentLoop::ReadSettings()
{
    m_settings.ReadSettings(m_dm.IniFileName(), TMailerSettings::AgentDefaults());
}

QString TAgentLoop::ResultLogFile() const
{
    return m_files.agentFilesFolder() + ResultLogName;
}

bool TAgentLoop::WriteResultLog(QString *errorText) const
{
    return TextFile::writeLines(ResultLogFile(), m_run.FResultLog.lines(), errorText);
}

void TAgentLoop::timerTimer()
{
    // A tick that asks or sends runs the event loop. The ticks it hears
    // meanwhile, and any tick while an entry's send is under way (over the
    // LAN or dial-up, dialling, or pausing between attempts), wait for it
    // instead of taking the entry again.
    if (m_ticking || m_attempting || m_run.Busy())
        return;
    const QScopedValueRollback<bool> ticking(m_ticking, true);
    reportingErrors([this] { ScheduleTick(); });
}

void TAgentLoop::reportingErrors(const std::function<void()> &work)
{
    try {
        work();
    } catch (const std::exception &error) {
        // An error while an entry is in hand stops the schedule; the log and
        // the tray say why. Before, the timer runs on and asks again.
        if (!timer.isActive()) {
            AddLog("ERROR " + Exception::messageOf(error));
            StopTimer("error: " + Exception::messageOf(error));
            EntryEnded();
        }
        showStandardError(error);
    }
}

void TAgentLoop::ScheduleTick()
{
    TTable &schedule = m_dm.ta_Agent;
    const std::optional<TScheduleEntry> entry = TScheduleEntry::dueFirst(schedule);
    // Entries due later wait until their minute.
    if (!entry || !entry->isDue(Clock::currentDateTime()))
        return;
    m_entry = *entry;
    StopTimer("sending to " + m_entry.Group);
    // A server fixed in the mailer since the last entry counts for this one.
    ReadSettings();
    if (Choices.PromptBeforeSend
        && Prompt::confirm("Start sending group: " + m_entry.Group
                           + ", Continue? If No the group will be deleted from scheduler!")
               == PromptAnswer::No) {
        RemoveEntry();
        StopTimer("the start was declined");
        EntryEnded();
        return;
    }
    if (!LoadMessage(m_entry.MsgFile)) {
        if (Choices.PromptIfError)
            Prompt::error("Couldn't load messagefile, the group will be deleted from Scheduler");
        RemoveEntry();
        StopTimer("the message file did not load");
        EntryEnded();
        return;
    }
    SendWithRetries();
}

bool TAgentLoop::LoadMessage(const QString &path)
{
    // A fresh message each time: one entry's attachments never ride along
    // with the next.
    TMessageFile file;
    if (!file.Load(path))
        return false;
    // The schedule names the group; the one the file was saved for is not used.
    m_message = {m_entry.Group, file.Subject, file.Attachments, file.Text};
    if (!file.Signature.isEmpty() && file.Signature != NoSignature) {
        QStringList signature;
        QString error;
        if (!m_signatures.read(file.Signature, signature, &error))
            throw Exception(error);
        m_message.Lines.append(signature);
    }
    return true;
}

void TAgentLoop::SendWithRetries()
{
    m_run.ConnectThen([this] { reportingErrors([this] { AttemptLoop(); }); });
    if (m_run.Busy())
        StopTimer("waiting for the dial-up connection");
}

void TAgentLoop::AttemptLoop()
{
    const QScopedValueRollback<bool> attempting(m_attempting, true);
    const int attempts = RetryCount();
    if (attempts <= 0)
        StopTimer("Retry Send allows no attempt");
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        const TRunOutcome outcome = SendGroup();
        // A refused settings check or a failing store would refuse every
        // further attempt the same way: they end the attempts at once.
        if (outcome == TRunOutcome::NotStarted)
            StopTimer("the Network settings are incomplete");
        else if (outcome == TRunOutcome::Stopped)
            StopTimer("an error stopped the send");
        if (outcome != TRunOutcome::NotConnected)
            break;
        // No attempt gets a token until someone signs in in the mailer.
        if (m_tokens.NeedsSignIn()) {
            AddLog("Connection failed: " + SignInInMailer + " (File > Network Settings)");
            StopTimer(SignInInMailer);
            break;
        }
        // "Retry Send" may have been changed while the attempt ran.
        const bool last = attempt >= std::min(attempts, RetrySendNumber().value_or(attempts));
        AddLog((last ? "Connection failed, last attempt: " : "Connection failed, attempt: ") + QString::number(attempt));
        if (last) {
            StopTimer("the last attempt failed");
            break;
        }
        if (!pauseAfter(attempt))
            break;
    }
    EntryEnded();
}

bool TAgentLoop::pauseAfter(int attempt)
{
    // A brief outage must not use up every attempt at once.
    const QDateTime next = Clock::currentDateTime().addSecs(qint64(FirstAttemptPauseSeconds) << (attempt - 1));
    // Abort ends the wait.
    m_status.showRunControls(true);
    m_status.setActivity("Connection failed, trying again at " + next.toString(QStringLiteral("hh:mm:ss")));
    const bool waited = m_attemptPause.WaitUntil(next);
    m_status.showRunControls(false);
    return waited;
}

TRunOutcome TAgentLoop::SendGroup()
{
    const TRunOutcome outcome = m_run.Run(m_message);
    m_run.FResultLog.closeRun();
    if (outcome == TRunOutcome::Finished) {
        RemoveEntry();
        StartTimer();
    }
    return outcome;
}

void TAgentLoop::EntryEnded()
{
    QString error;
    if (!WriteResultLog(&error) && Choices.PromptIfError)
        Prompt::error(error);
}

int TAgentLoop::RetryCount() const
{
    const std::optional<int> count = RetrySendNumber();
    if (!count)
        throw Exception(QStringLiteral("'%1' is not a valid integer value").arg(Choices.RetrySend));
    return *count;
}

std::optional<int> TAgentLoop::RetrySendNumber() const
{
    bool numeric = false;
    const int count = Choices.RetrySend.trimmed().toInt(&numeric);
    return numeric ? std::optional<int>(count) : std::nullopt;
}

void TAgentLoop::AddLog(const QString &line)
{
    m_run.FResultLog.add(line);
}

void TAgentLoop::RemoveEntry()
{
    m_entry.removeFrom(m_dm.ta_Agent);
}

void TAgentLoop::Abort()
{
    StopTimer("a send was aborted");
    m_run.bu_StopClick();
    m_attemptPause.Stop();
    if (Prompt::confirm("User aborted! Delete Group from schedule?") == PromptAnswer::Yes)
        reportErrors([this] { RemoveEntry(); });
    else if (Prompt::confirm("Do you want to start the timer again?") == PromptAnswer::Yes)
        StartTimer();
    EntryEnded();
}

bool TAgentLoop::Shutdown(QString *errorText)
{
    StopTimer("the agent ends");
    m_attemptPause.Stop();
    if (m_run.Busy())
        m_run.bu_StopClick();
    const bool written = WriteResultLog(errorText);
    m_dm.ta_Agent.Close();
    return written;
}

}
