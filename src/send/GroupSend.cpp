#include "send/GroupSend.h"

#include "store/DM_Databaser.h"
#include "store/DatabaseError.h"
#include "send/SendComponents.h"
#include "platform/Clock.h"
#include "platform/ErrorReport.h"
#include "platform/Exception.h"
#include "platform/Prompts.h"
#include "send/MergeCheck.h"
#include "send/SendStatus.h"
#include "send/SmtpLogin.h"
#include "transport/LineBuffer.h"
#include "transport/Mailbox.h"
#include "transport/SmtpClient.h"

#include <QCoreApplication>
#include <algorithm>
#include <utility>

TGroupSend::TGroupSend(TDM_Databaser &dataModule, TSendComponents &components, const TMailerSettings &settings,
                       TSendStatus &status, const TGroupSendOptions &options, QObject *parent)
    : QObject(parent),
      m_dm(dataModule),
      m_client(components.SmtpClient),
      m_login(components.Login),
      m_settings(settings),
      m_status(status),
      m_givenOptions(options),
      m_options(options),
      m_connection(components.DialUp, settings, status),
      m_members(&dataModule.Databas)
{
    m_client.OnGetData = [this](TCustomSmtpClient *, qint32 lineNum, char *msgLine, qint32 maxLen, bool &more) {
        SmtpClientGetData(lineNum, msgLine, maxLen, more);
    };
    m_client.OnDisplay = [this](TCustomSmtpClient *, const QString &msg) { SmtpClientDisplay(msg); };
    m_client.OnEndOfData = [this](TCustomSmtpClient *) { claimMember(); };
}

TGroupSend::~TGroupSend()
{
    m_client.OnGetData = nullptr;
    m_client.OnDisplay = nullptr;
    m_client.OnEndOfData = nullptr;
}

void TGroupSend::StartConnection(const TDraftMessage &message)
{
    start(message, std::nullopt);
}

void TGroupSend::StartTest(const TDraftMessage &message, const TTestSend &test)
{
    start(message, test);
}

void TGroupSend::start(const TDraftMessage &message, const std::optional<TTestSend> &test)
{
    if (Busy())
        return;
    m_message = message;
    m_test = test;
    m_delivered = 0;
    m_status.setSendEnabled(false);
    ConnectThen([this] { SendToGroup(); });
}

void TGroupSend::ConnectThen(std::function<void()> run)
{
    if (Busy())
        return;
    m_connection.ConnectThen(std::move(run));
}

TRunOutcome TGroupSend::Run(const TDraftMessage &message)
{
    m_message = message;
    m_test.reset();
    return SendToGroup();
}

bool TGroupSend::CheckSettings()
{
    const struct
    {
        bool missing;
        const char *message;
    } checks[] = {
        {m_settings.SmtpServer().isEmpty(), "Must enter SMTP Server in Network settings!"},
        {m_settings.FSmtpPort.isEmpty(), "Must enter SMTP Port in Network settings!"},
        // A hand-edited value could mean encryption: the run does not guess.
        {!m_settings.SmtpSecurity(), "Must choose Security None, STARTTLS or SSL/TLS in Network settings!"},
        {m_settings.FUserName.isEmpty(), "Must enter your Name in Network settings!"},
        // The From line and the Message-IDs need an address; the placeholder
        // "Enter your Email address" is none.
        {Mailbox::domain(m_settings.FUserEmail).isEmpty(), "Must enter your Email Address in Network settings!"},
    };
    for (const auto &check : checks) {
        if (check.missing) {
            Prompt::error(check.message);
            return false;
        }
    }
    return true;
}

void TGroupSend::openMembers()
{
    // In the order they were added, the same at every run, so a resumed run
    // goes on where the last one stopped.
    m_members.Open(m_message.Group, m_rendering->fieldNames());
}

bool TGroupSend::mergeGapsAccepted()
{
    const QStringList gaps = TMergeCheck(m_dm.Databas, m_message.Group, m_rendering->merge()).lines();
    if (gaps.isEmpty())
        return true;
    if (!m_options.AskAboutMergeGaps) {
        for (const QString &gap : gaps)
            AddResult("NOTE " + gap);
        return true;
    }
    return Prompt::confirm("Before the message goes to the group \"" + m_message.Group + "\":\n\n" + gaps.join(u'\n')
                           + "\n\nSend it anyway? No goes back to the message.")
           == PromptAnswer::Yes;
}

TRunOutcome TGroupSend::SendToGroup()
{
    m_options = m_givenOptions;
    if (m_test) {
        m_options.ResumePosition = false;
        m_options.StampLastSent = false;
        m_options.Place = nullptr;
    }
    m_rendering.emplace(m_message, m_test ? m_test->SubjectMark : QString());
    m_sending = true;
    m_sessionOpened = false;
    FResultLog.startRun();
    m_deferred.clear();
    m_delivered = 0;
    TRunOutcome outcome = TRunOutcome::Stopped;
    try {
        outcome = runToGroup();
    } catch (const std::exception &error) {
        stopRun(error);
    }
    emit Ended();
    return outcome;
}

TRunOutcome TGroupSend::runToGroup()
{
    QCoreApplication::processEvents();
    FEmailNr = 1;
    if (!CheckSettings()) {
        goIdle();
        return TRunOutcome::NotStarted;
    }
    if (!m_test && !mergeGapsAccepted()) {
        goIdle();
        return TRunOutcome::NotStarted;
    }
    FAborted = false;
    m_messageIds.emplace(m_settings.FUserEmail);
    const QString group = m_message.Group;
    const int resumeAt = m_test                     ? m_test->Member
                         : m_options.Place          ? m_options.Place->Read()
                         : m_options.ResumePosition ? m_dm.ReadLastMail(group)
                                                    : 0;
    const int members = m_dm.MemberCount(group);
    openMembers();
    m_status.setMemberCount(members);
    m_status.setProgressRange(members);
    m_storedPosition = resumeAt;
    if (resumeAt > 0) {
        if (m_test || m_options.Place
            || Prompt::confirm("Do you wish to continue where you aborted or Where the first error come up. Email Nr: "
                               + QString::number(resumeAt))
                   == PromptAnswer::Yes) {
            FEmailNr = resumeAt;
            for (int member = 1; member < resumeAt && !m_members.Eof(); ++member)
                m_members.Next();
            // A position past the last member leaves none to send.
            const int toSend = m_test ? std::min(members - resumeAt + 1, 1) : members - resumeAt + 1;
            m_status.setActivity("Starting to send " + QString::number(std::max(toSend, 0)) + " email");
        } else {
            FEmailNr = 1;
            m_dm.StoreLastMail(group, 0);
            m_storedPosition = 0;
            m_status.setActivity("Starting to send " + QString::number(members) + " email");
        }
    }
    m_resume = TResumePosition(FEmailNr);
    m_status.setProgressPosition(FEmailNr);
    m_status.showRunControls(true);

    m_client.Host = m_settings.FSmtpServer;
    m_client.Port = m_settings.FSmtpPort;
    QString failure;
    if (!prepareLogin(failure) || !m_client.Open()) {
        m_client.Quit();
        m_members.Close();
        // Nothing is running any more: the display says so at once rather
        // than waiting for a Cancel.
        const bool aborted = FAborted;
        goIdle();
        if (aborted) {
            m_status.setActivity("Operation aborted");
            return TRunOutcome::Aborted;
        }
        if (failure.isEmpty() && m_client.Result().kind() == TSmtpResult::Kind::SessionRefused)
            failure = m_client.Result().reason();
        const QString text = !failure.isEmpty() ? failure
                                                : "Timeout while connecting to: " + m_settings.FSmtpServer
                                                      + " on port: " + m_settings.FSmtpPort;
        AddResult(text);
        if (m_options.ReportConnectFailure)
            Prompt::error(text);
        return TRunOutcome::NotConnected;
    }
    m_sessionOpened = true;
    if (m_options.StampLastSent)
        m_dm.StampLastSent(group);
    if (m_settings.SendLimit().Active())
        m_sendWindow.emplace(m_dm.Databas, TSendWindow::ServerKey(m_client.Host, m_client.Port), m_settings.SendLimit());
    else
        m_sendWindow.reset();

    while (!m_members.Eof()) {
        if (m_options.ProcessEventsPerMember)
            QCoreApplication::processEvents();
        m_status.setMemberNumber(FEmailNr);
        m_status.setProgressPosition(FEmailNr);
        Member member{FEmailNr, m_members.Name(), m_members.Email(), m_members.Fields(), {}};
        const Outcome outcome = sendToMember(member);
        if (outcome == Outcome::TooLarge)
            return refuseMessage();
        if (outcome == Outcome::Deferred)
            m_deferred.append(member);
        // A member that Cancel kept from getting the message is where the
        // next run goes on.
        if (FAborted && (outcome == Outcome::Failed || outcome == Outcome::NotTried))
            break;
        ++FEmailNr;
        m_members.Next();
        if (FAborted || m_test)
            break;
    }
    m_members.Close();
    retryDeferred();
    m_client.Quit();
    return finishRun();
}

bool TGroupSend::prepareLogin(QString &failure)
{
    m_client.Security = m_settings.SmtpSecurity().value_or(TSmtpSecurity::None);
    m_client.UserName = m_settings.FSmtpUser.trimmed();
    m_client.Password.clear();
    if (m_client.UserName.isEmpty())
        return true;
    const std::optional<QString> password = m_login.PasswordFor(m_client.Host, m_client.UserName, failure);
    if (!password) {
        SmtpClientDisplay(failure);
        return false;
    }
    m_client.Password = *password;
    return true;
}

void TGroupSend::retryDeferred()
{
    // A test send that is turned away is the user's to try again.
    for (int pass = 1; pass <= RetryPasses && !m_deferred.isEmpty() && !FAborted && !m_test; ++pass) {
        const QDateTime at = Clock::currentDateTime().addSecs(qint64(RetryPauseSeconds) << (pass - 1));
        if (!pauseUntil(at, QStringLiteral("Trying %1 email again at ").arg(m_deferred.size())))
            break;
        QList<Member> still;
        for (Member &member : m_deferred) {
            if (FAborted) {
                still.append(member);
                continue;
            }
            QCoreApplication::processEvents();
            m_status.setMemberNumber(member.number);
            const Outcome outcome = sendToMember(member);
            if (outcome == Outcome::Deferred || outcome == Outcome::NotTried)
                still.append(member);
        }
        m_deferred = still;
    }
    reportUndelivered();
}

void TGroupSend::reportUndelivered()
{
    // Whoever still waits for a retry has not got the message: the results
    // name each with what the server said last.
    for (const Member &member : std::as_const(m_deferred))
        addFailure("ERROR Couldn't send email nr: " + QString::number(member.number) + " " + member.email, member.reply);
    m_deferred.clear();
}

bool TGroupSend::pauseUntil(const QDateTime &time, const QString &why)
{
    const QDateTime local = time.toLocalTime();
    const bool today = local.date() == Clock::currentDate();
    m_status.setActivity(why + local.toString(today ? QStringLiteral("hh:mm:ss") : QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    return !FAborted && m_pause.WaitUntil(time) && !FAborted;
}

bool TGroupSend::waitForSendingPlace()
{
    if (!m_sendWindow)
        return true;
    while (!m_sendWindow->Take()) {
        if (!pauseUntil(m_sendWindow->FreeAt(), QStringLiteral("Limit reached, going on at ")))
            return false;
    }
    return true;
}

void TGroupSend::claimMember()
{
    noteMember(m_currentMember, true);
}

void TGroupSend::noteMember(int number, bool gotIt)
{
    if (gotIt)
        m_resume.delivered(number);
    else
        m_resume.missed(number);
    if (m_options.Place) {
        // A place goes on after the last member that got the message, so a
        // run cut short sends nobody the message twice; what the members
        // before it missed is in the log. It only moves on: the retry passes
        // go back over members it has passed.
        if (gotIt && number + 1 > m_storedPosition) {
            m_options.Place->Store(number + 1);
            m_storedPosition = number + 1;
        }
        return;
    }
    if (!m_options.ResumePosition || m_resume.position() == m_storedPosition)
        return;
    m_dm.StoreLastMail(m_message.Group, m_resume.position());
    m_storedPosition = m_resume.position();
}

TGroupSend::Outcome TGroupSend::sendToMember(Member &member)
{
    const Outcome outcome = tryMember(member);
    const bool gotIt = outcome == Outcome::Sent || outcome == Outcome::Unknown;
    if (gotIt)
        ++m_delivered;
    // A message too large for the server is refused before anyone is tried:
    // the place stays where it was.
    if (outcome != Outcome::TooLarge)
        noteMember(member.number, gotIt);
    return outcome;
}

TGroupSend::Outcome TGroupSend::tryMember(Member &member)
{
    m_currentMember = member.number;
    if (!waitForSendingPlace())
        return Outcome::NotTried;
    const QString &name = member.name;
    const QString &email = m_test ? m_settings.FUserEmail : member.email;
    m_rendering->render(name, member.email, member.fields);
    bool sent = false;
    bool transient = false;
    QString reason;
    try {
        m_status.setActivity("Sending to: " + name);
        m_client.RcptName = {email};
        m_client.CharSet = charsetFor(name);
        m_client.HdrFrom = Mailbox::text(m_settings.FUserName, m_settings.FUserEmail, m_client.CharSet);
        m_client.HdrTo = Mailbox::text(name, email, m_client.CharSet);
        m_client.HdrMessageId = m_messageIds->forMessage(member.number);
        m_client.HdrSubject = m_rendering->subject();
        m_client.FromName = m_settings.FUserEmail;
        m_client.setEmailFiles(m_message.Attachments);
        // A transaction the server refused is a failure too: the results
        // must not report it as sent.
        sent = m_client.Mail();
        reason = m_client.Result().reason();
        transient = !sent && m_client.Result().kind() == TSmtpResult::Kind::Deferred;
    } catch (const EDatabaseError &) {
        throw; // the run cannot keep its books: it stops
    } catch (const std::exception &error) {
        sent = false;
        reason = Exception::messageOf(error);
    }
    if (sent)
        return Outcome::Sent;
    if (m_client.Result().kind() == TSmtpResult::Kind::TooLarge)
        return Outcome::TooLarge;
    const QString number = QString::number(member.number);
    if (transient) {
        member.reply = reason;
        AddResult("DEFERRED Email nr: " + number + " " + email + " was turned away for now");
        AddResult(QStringLiteral("    because: ") + reason);
        return Outcome::Deferred;
    }
    if (m_client.Result().kind() == TSmtpResult::Kind::OutcomeUnknown) {
        addFailure("UNKNOWN Email nr: " + number + " " + email
                       + " went out in full, but no answer said whether the server took it; it is not sent again",
                   reason);
        return Outcome::Unknown;
    }
    addFailure("ERROR Couldn't send email nr: " + number + " " + email, reason);
    return Outcome::Failed;
}

QString TGroupSend::charsetFor(const QString &memberName)
{
    // The client keeps the charset where it holds the subject and the text
    // too, and goes to UTF-8 where it does not; the names it sees already
    // encoded, so they are looked at here.
    return m_latin1.canEncode(m_settings.FUserName) && m_latin1.canEncode(memberName) ? PreferredCharset
                                                                                       : QStringLiteral("utf-8");
}

TRunOutcome TGroupSend::refuseMessage()
{
    // Every member would be refused the same way: the run ends before the
    // message goes to anyone.
    const QString text = m_client.Result().reason();
    m_members.Close();
    m_client.Quit();
    addFailure("ERROR " + text);
    m_status.setActivity("Operation aborted");
    if (m_options.ReportConnectFailure)
        Prompt::error(text);
    endRun();
    return TRunOutcome::Refused;
}

TRunOutcome TGroupSend::finishRun()
{
    const QString group = m_message.Group;
    const bool aborted = FAborted;
    if (aborted) {
        Prompt::warning("Operation aborted!");
        if (m_options.ResumePosition) {
            const bool resume =
                Prompt::confirm("Do you want to continue at current position next time?") == PromptAnswer::Yes;
            m_dm.StoreLastMail(group, resume ? m_resume.position() : 0);
        }
        if (m_options.Place)
            m_options.Place->Store(FEmailNr);
        m_status.setActivity("Operation aborted");
    } else {
        m_status.setActivity("Operation finished");
        if (m_options.ResumePosition)
            m_dm.StoreLastMail(group, 0);
    }
    endRun();
    return aborted ? TRunOutcome::Aborted : TRunOutcome::Finished;
}

void TGroupSend::stopRun(const std::exception &error)
{
    m_members.Close();
    reportUndelivered();
    m_client.Quit();
    const Exception stopped(QStringLiteral("Sending to the group \"%1\" stopped: %2")
                                .arg(m_message.Group, Exception::messageOf(error)));
    addFailure("ERROR " + stopped.message());
    m_status.setActivity("Operation aborted");
    showStandardError(stopped);
    if (m_sessionOpened)
        endRun();
    else
        goIdle();
}

void TGroupSend::endRun()
{
    goIdle();
    m_connection.RunEnded();
    reportErrors([this] {
        if (m_dm.ta_Group.Active() && m_dm.ta_Group.State() == TDataSetState::dsBrowse)
            m_dm.ta_Group.Refresh();
    });
    if (m_options.ShowResults)
        m_status.showResults(FResultLog.takeResults());
}

void TGroupSend::showStopped()
{
    m_status.setMemberCount(std::nullopt);
    m_status.setMemberNumber(std::nullopt);
    m_status.showRunControls(false);
}

void TGroupSend::goIdle()
{
    FAborted = false;
    m_sending = false;
    showStopped();
    m_status.setSendEnabled(true);
}

void TGroupSend::bu_StopClick()
{
    if (m_connection.Pending()) {
        m_connection.Cancel();
        m_status.setActivity("Operation aborted");
        goIdle();
        emit Ended();
        return;
    }
    FAborted = true;
    m_client.Cancel();
    m_pause.Stop();
    m_status.setActivity("Operation aborted");
    // "Start sending Email" stays disabled until this run has ended.
    showStopped();
}

void TGroupSend::AddResult(const QString &text)
{
    FResultLog.add(text);
}

void TGroupSend::addFailure(const QString &text, const QString &reason)
{
    FResultLog.addFailure(text, reason);
}

void TGroupSend::SmtpClientDisplay(const QString &Msg)
{
    FResultLog.addSessionLine(Msg);
}

void TGroupSend::SmtpClientGetData(qint32 LineNum, char *MsgLine, qint32 MaxLen, bool &More)
{
    const QStringList &lines = m_rendering->lines();
    if (LineNum > lines.size()) {
        More = false;
        return;
    }
    LineBuffer::copyLine(MsgLine, MaxLen, lines[LineNum - 1].toUtf8());
}
