#include "send/GroupSend.h"

#include "store/DM_Databaser.h"
#include "store/DatabaseError.h"
#include "store/SuppressionList.h"
#include "send/GroupListHeaders.h"
#include "send/Refusal.h"
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
#include "transport/SmtpException.h"

#include <QCoreApplication>
#include <algorithm>
#include <utility>

TGroupSend::TGroupSend(TDM_Databaser &dataModule, TSendComponents &components, const TMailerSettings &settings,
                       TSendStatus &status, const TGroupSendOptions &options, QObject *parent)
    : QObject(parent),
      m_dm(dataModule),
      m_client(components.SmtpClient),
      m_login(components.Login),
      m_tokens(components.Tokens),
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
    m_client.OnNextMessage = [this](TCustomSmtpClient *) { return setUpNextMember(); };
}

TGroupSend::~TGroupSend()
{
    m_client.OnGetData = nullptr;
    m_client.OnDisplay = nullptr;
    m_client.OnEndOfData = nullptr;
    m_client.OnNextMessage = nullptr;
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
    m_summary.clear();
    m_failedTries = 0;
    m_gaveUp.clear();
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
    m_suppression = std::make_unique<TSuppressionList>(m_dm.Databas);
    QString note;
    m_listHeaders = listHeadersForRun(m_dm, m_login.Store(), m_settings, group, note);
    if (!note.isEmpty())
        m_summary.note(note);
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
    m_client.Pipelining = m_settings.FPipelining;
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

    m_firstPass = true;
    m_movedAhead = false;
    m_placeTaken = false;
    while (!m_members.Eof()) {
        if (m_options.ProcessEventsPerMember)
            QCoreApplication::processEvents();
        m_status.setMemberNumber(FEmailNr);
        m_status.setProgressPosition(FEmailNr);
        Member member = memberAtCursor(FEmailNr);
        const Outcome outcome = skipSuppressed(member) ? Outcome::Skipped : sendToMember(member);
        if (outcome == Outcome::TooLarge)
            return refuseMessage();
        if (outcome == Outcome::Deferred || outcome == Outcome::GaveUp)
            m_deferred.append(member);
        if (outcome == Outcome::GaveUp)
            break;
        // A member that Cancel kept from getting the message is where the
        // next run goes on.
        if (FAborted && (outcome == Outcome::Failed || outcome == Outcome::NotTried))
            break;
        ++FEmailNr;
        if (!std::exchange(m_movedAhead, false))
            m_members.Next();
        if (FAborted || m_test)
            break;
    }
    m_firstPass = false;
    m_placeTaken = false;
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
    m_client.TokenSource = nullptr;
    if (m_client.UserName.isEmpty())
        return true;
    if (m_settings.UsesOAuth())
        return prepareTokenLogin(failure);
    const std::optional<QString> password = m_login.PasswordFor(m_client.Host, m_client.UserName, failure);
    if (!password) {
        SmtpClientDisplay(failure);
        return false;
    }
    m_client.Password = *password;
    return true;
}

bool TGroupSend::prepareTokenLogin(QString &failure)
{
    const std::optional<TOAuthProvider> provider = m_settings.OAuthProvider();
    if (!provider) {
        failure = "The sign-in provider \"" + m_settings.FOAuthProvider
                  + "\" in CORVAN.INI is not one Corvane 98 knows (Google, Microsoft or custom)";
        SmtpClientDisplay(failure);
        return false;
    }
    m_tokens.setAccount(*provider, m_client.UserName);
    // A sign-in the user has to make again happens before the session
    // opens, not while the server waits for the login.
    if (!m_tokens.accessToken(false, failure)) {
        SmtpClientDisplay(failure);
        return false;
    }
    m_client.TokenSource = &m_tokens;
    return true;
}

void TGroupSend::retryDeferred()
{
    // A test send that is turned away is the user's to try again.
    for (int pass = 1; pass <= RetryPasses && !m_deferred.isEmpty() && !FAborted && m_gaveUp.isEmpty() && !m_test;
         ++pass) {
        const QDateTime at = Clock::currentDateTime().addSecs(qint64(RetryPauseSeconds) << (pass - 1));
        if (!pauseUntil(at, QStringLiteral("Trying %1 email again at ").arg(m_deferred.size())))
            break;
        QList<Member> still;
        for (Member &member : m_deferred) {
            if (FAborted || !m_gaveUp.isEmpty()) {
                still.append(member);
                continue;
            }
            QCoreApplication::processEvents();
            m_status.setMemberNumber(member.number);
            const Outcome outcome = sendToMember(member);
            if (outcome == Outcome::Deferred || outcome == Outcome::NotTried || outcome == Outcome::GaveUp)
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
    m_summary.undelivered(int(m_deferred.size()));
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

bool TGroupSend::skipSuppressed(const Member &member)
{
    const QString reason = m_suppression->ReasonFor(member.email);
    if (reason.isEmpty())
        return false;
    m_summary.skipped(member.number, member.email, reason);
    AddResult("SKIPPED Email nr: " + QString::number(member.number) + " " + member.email
              + " is on the suppression list (" + reason + ")");
    // As for a member sent to: a resumed run does not stop at it again.
    noteMember(member.number, true);
    return true;
}

void TGroupSend::suppressMissing(const Member &member, const QString &reply)
{
    if (!m_suppression->Add({member.email, TSuppressionReason::HardBounce, reply}))
        return;
    m_summary.suppressed(member.number, member.email);
    AddResult("SUPPRESSED Email nr: " + QString::number(member.number) + " " + member.email
              + ": the server says the address does not exist; it is not mailed again");
}

TGroupSend::Outcome TGroupSend::afterFailedTries(Member &member, Outcome last)
{
    if (last == Outcome::Paused) {
        AddResult("DEFERRED Email nr: " + QString::number(member.number) + " " + member.email
                  + " was turned away for now");
        return Outcome::Deferred;
    }
    m_gaveUp = QStringLiteral("Sending stopped: %1 connections in a row to %2 failed (last: %3). The next run goes "
                              "on at email nr: %4")
                   .arg(m_failedTries)
                   .arg(m_settings.FSmtpServer, member.reply)
                   .arg(nextRunStart());
    return Outcome::GaveUp;
}

int TGroupSend::nextRunStart() const
{
    // A place goes on after the last member that got the message; the
    // group's position at the first one that did not.
    return m_options.Place ? std::max(m_storedPosition, 1) : m_resume.position();
}

TGroupSend::Outcome TGroupSend::sendToMember(Member &member)
{
    Outcome outcome = tryMember(member);
    while (outcome == Outcome::Paused || outcome == Outcome::ConnectionFailed) {
        // The next try starts on a connection of its own.
        m_client.Quit();
        if (++m_failedTries >= FailedConnectionsLimit) {
            outcome = afterFailedTries(member, outcome);
            break;
        }
        const qint64 seconds = qint64(RetryPauseSeconds) << (m_failedTries - 1);
        if (!pauseUntil(Clock::currentDateTime().addSecs(seconds), QStringLiteral("The server asks to wait, going on at "))) {
            outcome = Outcome::NotTried;
            break;
        }
        outcome = tryMember(member);
    }
    if (outcome != Outcome::NotTried)
        m_failedTries = 0;
    const bool gotIt = outcome == Outcome::Sent || outcome == Outcome::Unknown;
    if (gotIt)
        ++m_delivered;
    if (outcome == Outcome::Sent)
        m_summary.delivered();
    else if (outcome == Outcome::Unknown)
        m_summary.unanswered();
    else if (outcome == Outcome::Failed && !FAborted)
        m_summary.refused();
    // A message too large for the server is refused before anyone is tried:
    // the place stays where it was.
    if (outcome != Outcome::TooLarge)
        noteMember(member.number, gotIt);
    return outcome;
}

TGroupSend::Outcome TGroupSend::tryMember(Member &member)
{
    m_currentMember = member.number;
    // The member whose envelope left ahead has its place already.
    if (!std::exchange(m_placeTaken, false) && !waitForSendingPlace())
        return Outcome::NotTried;
    const QString &name = member.name;
    const QString &email = addressFor(member);
    bool sent = false;
    bool transient = false;
    // Whether this member's try had to open a connection first.
    const bool connecting = m_client.Stage() == 0;
    QString reason;
    try {
        m_status.setActivity("Sending to: " + name);
        setUpMember(member);
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
    const TRefusal::Kind refusal = TRefusal::of(m_client.Result(), m_settings.FUserEmail);
    const bool noConnection = refusal == TRefusal::Kind::Closing || (connecting && transient && m_client.Stage() == 0);
    if (noConnection || refusal == TRefusal::Kind::Pause) {
        member.reply = reason;
        AddResult("PAUSED at email nr: " + number + " " + email
                  + (noConnection ? ", the connection failed" : ", the server asks to wait"));
        AddResult(QStringLiteral("    because: ") + reason);
        return noConnection ? Outcome::ConnectionFailed : Outcome::Paused;
    }
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
    if (refusal == TRefusal::Kind::NoSuchMailbox)
        suppressMissing(member, reason);
    addFailure("ERROR Couldn't send email nr: " + number + " " + email, reason);
    return Outcome::Failed;
}

TGroupSend::Member TGroupSend::memberAtCursor(int number)
{
    return {number, m_members.Name(), m_members.Email(), m_members.Fields(), {}, m_members.Number()};
}

const QString &TGroupSend::addressFor(const Member &member) const
{
    // A test send goes to the user, with the member's own rendering.
    return m_test ? m_settings.FUserEmail : member.email;
}

void TGroupSend::setUpMember(const Member &member)
{
    const QString &email = addressFor(member);
    m_rendering->render(member.name, member.email, member.fields);
    m_client.RcptName = {email};
    m_client.CharSet = charsetFor(member.name);
    m_client.HdrFrom = Mailbox::text(m_settings.FUserName, m_settings.FUserEmail, m_client.CharSet);
    m_client.HdrTo = Mailbox::text(member.name, email, m_client.CharSet);
    setMemberHeaders(member);
    m_client.HdrSubject = m_rendering->subject();
    m_client.FromName = m_settings.FUserEmail;
    m_client.setEmailFiles(m_message.Attachments);
}

bool TGroupSend::setUpNextMember()
{
    // Only the first pass takes the members in the group's order; a Cancel
    // ends the run at the member boundary.
    if (!m_firstPass || FAborted || m_movedAhead || m_test)
        return false;
    m_members.Next();
    m_movedAhead = true;
    if (m_members.Eof())
        return false;
    const Member next = memberAtCursor(FEmailNr + 1);
    // A suppressed member is skipped in its own turn.
    if (m_suppression->Contains(next.email))
        return false;
    try {
        setUpMember(next);
    } catch (const SmtpException &) {
        return false; // its own try says why
    }
    // A member the sending limit holds back waits for its place in its own try.
    if (m_sendWindow && !m_sendWindow->Take())
        return false;
    m_placeTaken = m_sendWindow.has_value();
    return true;
}

void TGroupSend::setMemberHeaders(const Member &member)
{
    const QString token = m_listHeaders ? m_listHeaders->tokenFor(member.recipient, member.email) : QString();
    m_client.HdrMessageId = m_messageIds->forMessage(member.number, token);
    m_client.HdrExtra = m_listHeaders ? m_listHeaders->linesFor(token) : QStringList();
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
    } else if (!m_gaveUp.isEmpty()) {
        // The position stays where the members sent to so far leave it.
        addFailure("ERROR " + m_gaveUp);
        m_status.setActivity("Operation stopped");
        if (m_options.ReportConnectFailure)
            Prompt::error(m_gaveUp);
        endRun();
        return TRunOutcome::NotConnected;
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
    // The agent's log keeps growing: its summary comes at the end of the run,
    // under the cap as the session's lines are, so a long log keeps the
    // newest summary rather than losing it to the next session line.
    if (m_options.ShowResults) {
        m_status.showResults(FResultLog.takeResults(m_summary.lines()));
    } else {
        for (const QString &line : m_summary.lines())
            FResultLog.addSessionLine(line);
    }
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
