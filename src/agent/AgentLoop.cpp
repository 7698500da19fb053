#include "agent/AgentLoop.h"

#include "send/MessageFile.h"
#include "send/SendComponents.h"
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

// The mailer's run without the resume position, the send-date stamp, the
// per-member event handling and the results window; a connection that fails
// is a log line (the attempts count it).
TGroupSendOptions agentRun()
{
    TGroupSendOptions options;
    options.ResumePosition = false;
    options.StampLastSent = false;
    options.ProcessEventsPerMember = false;
    options.ReportConnectFailure = false;
    options.ShowResults = false;
    return options;
}

const QString ResultLogName = QStringLiteral("AGENT.RSU");
const QString NoSignature = QStringLiteral("None");

}

TAgentLoop::TAgentLoop(TDM_Databaser &dataModule, TSendComponents &components, const FileLocations &files,
                       TSendStatus &status, QObject *parent)
    : QObject(parent),
      m_dm(dataModule),
      m_files(files),
      m_signatures(files.filesFolder()),
      m_run(dataModule, components, m_settings, status, agentRun())
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
    timer.start();
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
    // A tick that asks or sends runs the event loop; the ticks it hears
    // meanwhile wait for it instead of asking again.
    if (m_ticking)
        return;
    const QScopedValueRollback<bool> ticking(m_ticking, true);
    reportErrors([this] { ScheduleTick(); });
}

void TAgentLoop::ScheduleTick()
{
    TTable &schedule = m_dm.ta_Agent;
    if (schedule.IsEmpty())
        return;
    schedule.First();
    const TScheduleEntry entry = TScheduleEntry::current(schedule);
    // Entries behind the first wait until it is gone.
    if (!entry.isDue(Clock::currentDateTime()))
        return;
    timer.stop();
    m_entry = entry;
    if (Choices.PromptBeforeSend
        && Prompt::confirm("Start sending group: " + entry.Group
                           + ", Continue? If No the group will be deleted from scheduler!")
               == PromptAnswer::No) {
        RemoveEntry();
        return;
    }
    if (!LoadMessage(entry.MsgFile)) {
        if (Choices.PromptIfError)
            Prompt::error("Couldn't load messagefile, the group will be deleted from Scheduler");
        RemoveEntry();
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
    m_run.ConnectThen([this] { reportErrors([this] { AttemptLoop(); }); });
}

void TAgentLoop::AttemptLoop()
{
    const int attempts = RetryCount();
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        const TRunOutcome outcome = SendGroup();
        // A refused settings check or a failing store would refuse every
        // further attempt the same way: they end the attempts at once.
        if (outcome != TRunOutcome::NotConnected)
            return;
        // "Retry Send" may have been changed while the attempt ran.
        const bool last = attempt >= RetrySendNumber().value_or(attempts);
        AddLog((last ? "Connection failed, last attempt: " : "Connection failed, attempt: ") + QString::number(attempt));
    }
}

TRunOutcome TAgentLoop::SendGroup()
{
    const TRunOutcome outcome = m_run.Run(m_message);
    if (outcome == TRunOutcome::Finished) {
        RemoveEntry();
        timer.start();
    }
    return outcome;
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
    timer.stop();
    m_run.bu_StopClick();
    if (Prompt::confirm("User aborted! Delete Group from schedule?") == PromptAnswer::Yes)
        reportErrors([this] { RemoveEntry(); });
    else if (Prompt::confirm("Do you want to start the timer again?") == PromptAnswer::Yes)
        timer.start();
}

bool TAgentLoop::Shutdown(QString *errorText)
{
    timer.stop();
    if (m_run.Busy())
        m_run.bu_StopClick();
    const bool written = WriteResultLog(errorText);
    m_dm.ta_Agent.Close();
    return written;
}

}
