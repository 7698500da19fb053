#include "transport/CustomSmtpClient.h"

#include "platform/Clock.h"
#include "transport/GreetingName.h"
#include "transport/LineBuffer.h"
#include "transport/MessageHeader.h"
#include "transport/OAuthSasl.h"
#include "transport/SmtpReply.h"
#include "transport/SocketException.h"
#include "transport/WSocketConnection.h"
#include "platform/Wait.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <utility>

namespace {

constexpr qint64 PumpEveryNs = 2'000'000;

QString visible(QString text)
{
    return text.replace(QLatin1Char('\r'), QLatin1String("\\r")).replace(QLatin1Char('\n'), QLatin1String("\\n"));
}

} // namespace

TCustomSmtpClient::TCustomSmtpClient(QObject *parent)
    : TCustomSmtpClient(std::make_unique<WSocketConnection>(), parent)
{
}

TCustomSmtpClient::TCustomSmtpClient(std::unique_ptr<SmtpConnection> connection, QObject *parent)
    : QObject(parent), m_connection(std::move(connection))
{
    m_connection->setEvents(
        [this] {
            m_stage = 0;
            if (m_wait)
                m_wait->Stop();
        },
        [this] { m_dataSent = true; });
    m_cancelTimer.setSingleShot(true);
    connect(&m_cancelTimer, &QTimer::timeout, this, [this] {
        m_cancelled = true;
        if (m_wait && m_wait->Running())
            m_wait->Stop();
    });
}

TCustomSmtpClient::~TCustomSmtpClient()
{
    m_connection->setEvents(nullptr, nullptr);
    if (m_wait)
        m_wait->OnTimeout = nullptr;
}

void TCustomSmtpClient::setWait(TWait *wait)
{
    m_wait = wait;
    m_connection->setWaitCtrl(wait);
}

void TCustomSmtpClient::display(const QString &text)
{
    if (OnDisplay)
        OnDisplay(this, text);
}

void TCustomSmtpClient::pumpMessages()
{
    if (m_lastPump.isValid() && m_lastPump.nsecsElapsed() < PumpEveryNs)
        return;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_lastPump.start();
}

int TCustomSmtpClient::countMs() const
{
    return m_wait ? m_wait->Interval() : 1000;
}

int TCustomSmtpClient::waitTimeoutMs() const
{
    const int counts = TimeOut > 0 ? TimeOut : 15;
    return counts * countMs();
}

void TCustomSmtpClient::Cancel()
{
    if (!m_cancelled && !m_cancelTimer.isActive())
        m_cancelTimer.start(CancelGraceMs);
}

void TCustomSmtpClient::noteFailure(TSmtpResult::Kind kind, const QString &reason, const QString &enhancedCode)
{
    if (m_result.ok())
        m_result = TSmtpResult(kind, reason, enhancedCode);
}

bool TCustomSmtpClient::refuse(const QString &text)
{
    m_errorMessage = text;
    display(text);
    noteFailure(TSmtpResult::Kind::Refused, text);
    return false;
}

void TCustomSmtpClient::abandonMessage(const QString &reason)
{
    if (m_abandoned.isEmpty())
        m_abandoned = reason;
}

void TCustomSmtpClient::clearCancel()
{
    m_cancelTimer.stop();
    m_cancelled = false;
}

void TCustomSmtpClient::useCharset(const QString &charset)
{
    // A codec is looked up only when the charset changes.
    if (m_wire.charset() != charset)
        m_wire = WireText(charset);
}

void TCustomSmtpClient::dropConnection()
{
    m_stage = 0;
    m_ahead.reset();
    m_connection->Close();
}

// ---- conversation steps ----

void TCustomSmtpClient::sendCommand(const QByteArray &line)
{
    if (m_stage != 0)
        sendLine(line, m_wire.decode(line));
}

void TCustomSmtpClient::sendSecret(const QByteArray &line, const QString &shown)
{
    if (m_stage != 0)
        sendLine(line, shown);
}

void TCustomSmtpClient::sendLine(const QByteArray &line, const QString &shown)
{
    display(QStringLiteral("> ") + shown);
    pumpMessages();
    if (m_stage == 0)
        return;
    m_dataSent = false;
    m_connection->SendStr(line + "\r\n");
    waitUntilSent();
}

void TCustomSmtpClient::waitUntilSent()
{
    auto done = [this] {
        return m_dataSent || m_connection->ReadyForMore() || m_connection->State() != wsConnected || m_cancelled;
    };
    if (done())
        return;
    // A peer that stops reading must not hold the program: when nothing more
    // has been taken for the time-out, the connection is given up.
    bool stalled = false;
    quint64 sentBefore = m_connection->SentTotal();
    QTimer watchdog;
    watchdog.setInterval(waitTimeoutMs());
    connect(&watchdog, &QTimer::timeout, this, [&] {
        stalled = m_connection->SentTotal() == sentBefore;
        sentBefore = m_connection->SentTotal();
    });
    watchdog.start();
    QEventLoop loop;
    while (!done() && !stalled)
        loop.processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
    if (stalled || m_cancelled) {
        const QString reason = stalled ? QStringLiteral("554 send timeout") : QStringLiteral("554 cancelled");
        if (m_errorMessage.isEmpty())
            m_errorMessage = reason;
        noteFailure(TSmtpResult::Kind::Refused, reason);
        dropConnection();
    }
}

TCustomSmtpClient::Reply TCustomSmtpClient::getResponse()
{
    // The time-out covers the whole reply: a server that keeps sending
    // continuation lines cannot hold the session longer than a silent one.
    TSmtpReply reply(waitTimeoutMs());
    m_replyLines.clear();
    auto take = [&](const QString &line) {
        reply.addLine(line);
        m_replyLines.append(line);
        m_lastResponse = line;
        display(QStringLiteral("< ") + line);
    };
    if (m_stage == 0) {
        take(QStringLiteral("554 not connected"));
        return {reply.code(), Reply::From::LostConnection};
    }
    QString failure;
    bool lost = false;
    do {
        const int counts = reply.remainingCounts(countMs());
        QByteArray line;
        if (counts > 0 && !m_cancelled)
            m_connection->ReadLine(counts, line);
        else
            m_timedOut = !m_cancelled;
        if (m_cancelled) {
            failure = QStringLiteral("554 cancelled");
        } else if (m_timedOut) {
            failure = QStringLiteral("554 receive timeout");
        } else if (m_stage == 0 && line.isEmpty()) {
            failure = QStringLiteral("554 not connected");
            lost = true;
        } else {
            take(TSmtpReply::lineText(line));
        }
        if (reply.isTooLong())
            failure = QStringLiteral("554 reply too long");
    } while (failure.isEmpty() && !reply.isComplete());
    if (failure.isEmpty())
        return {reply.code(), Reply::From::Server};
    take(failure);
    // Whatever the server makes of the conversation now is not known:
    // only a new connection is in step again.
    dropConnection();
    return {reply.code(), lost ? Reply::From::LostConnection : Reply::From::NoAnswer};
}

bool TCustomSmtpClient::expectReply(std::initializer_list<int> codes, bool closeOnFailure)
{
    return accept(getResponse(), codes, closeOnFailure);
}

bool TCustomSmtpClient::accept(const Reply &reply, std::initializer_list<int> codes, bool closeOnFailure)
{
    if (std::find(codes.begin(), codes.end(), reply.code) != codes.end())
        return true;
    if (m_errorMessage.isEmpty())
        m_errorMessage = m_lastResponse;
    const bool transient = TSmtpReply::isTransient(reply.code) || reply.from == Reply::From::LostConnection;
    const bool enhancedOffered = m_capabilities.offers(QStringLiteral("ENHANCEDSTATUSCODES"));
    const QString enhanced =
        enhancedOffered && reply.from == Reply::From::Server ? TSmtpReply::enhancedCode(m_lastResponse) : QString();
    noteFailure(transient ? TSmtpResult::Kind::Deferred : TSmtpResult::Kind::Refused, m_lastResponse, enhanced);
    if (closeOnFailure)
        m_connection->Close();
    return false;
}

// ---- operations ----

bool TCustomSmtpClient::Open()
{
    try {
        return openSession();
    } catch (...) {
        // Whatever broke the greeting off, no connection stays open half
        // greeted: the next Open or Mail starts afresh.
        dropConnection();
        throw;
    }
}

bool TCustomSmtpClient::openSession()
{
    m_result = TSmtpResult();
    if (!m_wait)
        return refuse(QStringLiteral("No wait object"));
    QPointer<TCustomSmtpClient> self(this);
    m_wait->OnTimeout = [self](TWait *) {
        if (self)
            self->m_timedOut = true;
    };
    m_timedOut = false;
    if (m_stage != 0)
        return true;
    m_errorMessage.clear();
    // What the last server offered is not this one's.
    m_capabilities = TSmtpCapabilities();
    if (m_cancelled)
        return refuse(QStringLiteral("554 cancelled"));
    if (Host.isEmpty())
        return refuse(QStringLiteral("No host specified"));
    if (!UserName.isEmpty() && Security == TSmtpSecurity::None)
        return refuseSession(QStringLiteral("Login as '%1' at '%2' not tried: Security is None, and a password is "
                                            "never sent unencrypted")
                                 .arg(UserName, Host));
    try {
        m_connection->ConnectTo(Host, Port);
    } catch (const ESocketException &error) {
        m_errorMessage = error.message();
        noteFailure(TSmtpResult::Kind::Refused, m_errorMessage);
        return false;
    }
    if (!m_connection->WaitConnected(TimeOut)) {
        m_errorMessage = QStringLiteral("Can't connect to host '%1'").arg(Host);
        noteFailure(m_cancelled ? TSmtpResult::Kind::Refused : TSmtpResult::Kind::Deferred, m_errorMessage);
        display(m_errorMessage);
        m_connection->Close();
        return false;
    }
    display(QStringLiteral("Connected with SMTP server"));
    m_stage = 1;
    if (Security == TSmtpSecurity::Ssl && !startTls())
        return false;
    if (!expectReply({220}, true))
        return false;
    const QString helo =
        SignOn.isEmpty() ? GreetingName::forConnection(m_connection->LocalAddress()) : MessageHeader::singleLine(SignOn);
    if (Security == TSmtpSecurity::None ? !greetPlainly(m_wire.encode(helo)) : !greetSecurely(m_wire.encode(helo)))
        return false;
    m_stage = 2;
    return true;
}

bool TCustomSmtpClient::greetPlainly(const QByteArray &name)
{
    // EHLO learns what the server takes (8BITMIME, SIZE, SMTPUTF8); a server
    // that refuses it outright is greeted the old way.
    sendCommand("EHLO " + name);
    const Reply reply = getResponse();
    if (reply.code == 250) {
        m_capabilities = TSmtpCapabilities(m_replyLines);
        return true;
    }
    if (reply.from != Reply::From::Server || reply.code < 500 || reply.code > 599)
        return accept(reply, {250}, true);
    sendCommand("HELO " + name);
    return expectReply({250}, true);
}

bool TCustomSmtpClient::greetSecurely(const QByteArray &name)
{
    if (!ehlo(name))
        return false;
    if (Security == TSmtpSecurity::StartTls) {
        const QString failed = QStringLiteral("Secure connection to '%1' failed: ").arg(Host);
        if (!m_capabilities.offers(QStringLiteral("STARTTLS")))
            return refuseSession(failed + QStringLiteral("the server does not offer STARTTLS"));
        sendCommand("STARTTLS");
        if (getResponse().code != 220)
            return refuseSession(failed + m_lastResponse);
        // What the server offered in the clear is forgotten: only the
        // answer under TLS counts.
        m_capabilities = TSmtpCapabilities();
        if (!startTls() || !ehlo(name))
            return false;
    }
    return UserName.isEmpty() || logIn();
}

bool TCustomSmtpClient::ehlo(const QByteArray &name)
{
    sendCommand("EHLO " + name);
    if (!expectReply({250}, true))
        return false;
    m_capabilities = TSmtpCapabilities(m_replyLines);
    return true;
}

bool TCustomSmtpClient::startTls()
{
    if (m_connection->StartTls(TimeOut, Host)) {
        display(QStringLiteral("Encrypted with ") + m_connection->TlsDescription());
        return true;
    }
    QString reason = m_connection->TlsFailure();
    if (reason.isEmpty())
        reason = m_cancelled   ? QStringLiteral("cancelled")
                 : m_timedOut ? QStringLiteral("no answer within the time-out")
                              : QStringLiteral("the connection was lost");
    return refuseSession(QStringLiteral("Secure connection to '%1' failed: %2").arg(Host, reason));
}

bool TCustomSmtpClient::logIn()
{
    // Never in the clear, whatever led here.
    if (!m_connection->Encrypted())
        return refuseSession(QStringLiteral("Login as '%1' at '%2' not tried: the connection is not encrypted")
                                 .arg(UserName, Host));
    if (TokenSource)
        return logInWithToken();
    const QStringList mechanisms = m_capabilities.parameters(QStringLiteral("AUTH"));
    const QByteArray user = UserName.toUtf8();
    const QByteArray password = Password.toUtf8();
    int code = 0;
    if (mechanisms.contains(QStringLiteral("PLAIN"))) {
        sendSecret("AUTH PLAIN " + (QByteArray(1, '\0') + user + '\0' + password).toBase64(),
                   QStringLiteral("AUTH PLAIN (credentials not shown)"));
        code = getResponse().code;
    } else if (mechanisms.contains(QStringLiteral("LOGIN"))) {
        sendCommand("AUTH LOGIN");
        code = getResponse().code;
        if (code == 334) {
            sendSecret(user.toBase64(), QStringLiteral("(user name not shown)"));
            code = getResponse().code;
        }
        if (code == 334) {
            sendSecret(password.toBase64(), QStringLiteral("(password not shown)"));
            code = getResponse().code;
        }
    } else {
        return refuseSession(
            QStringLiteral("Login at '%1' failed: the server offers no login by AUTH PLAIN or LOGIN").arg(Host));
    }
    if (code != 235)
        return refuseSession(QStringLiteral("Login as '%1' at '%2' failed: %3").arg(UserName, Host, m_lastResponse));
    return true;
}

bool TCustomSmtpClient::logInWithToken()
{
    const std::optional<OAuthSasl::Mechanism> mechanism =
        OAuthSasl::choose(m_capabilities.parameters(QStringLiteral("AUTH")));
    if (!mechanism)
        return refuseSession(
            QStringLiteral("Login at '%1' failed: the server offers no OAuth 2.0 login (AUTH XOAUTH2 or OAUTHBEARER)")
                .arg(Host));
    const QString name = OAuthSasl::name(*mechanism);
    for (bool renew = false;; renew = true) {
        QString failure;
        const std::optional<QString> token = TokenSource->accessToken(renew, failure);
        if (!token)
            return refuseSession(QStringLiteral("Login as '%1' at '%2' not tried: %3").arg(UserName, Host, failure));
        sendSecret("AUTH " + name.toLatin1() + ' ' + OAuthSasl::initialResponse(*mechanism, UserName, *token),
                   QStringLiteral("AUTH %1 (credentials not shown)").arg(name));
        int code = getResponse().code;
        OAuthSasl::ErrorChallenge challenge;
        if (code == 334) {
            // The mechanisms refuse with a challenge that must be answered
            // before the server gives its final reply.
            challenge = OAuthSasl::ErrorChallenge::decode(m_lastResponse.mid(4));
            sendCommand(OAuthSasl::challengeAnswer(*mechanism));
            code = getResponse().code;
        }
        if (code == 235)
            return true;
        if (code == 535 && !renew && challenge.stale()) {
            display(QStringLiteral("The server refused the access token: asking for a new one"));
            continue;
        }
        const QString said = challenge.describe();
        return refuseSession(QStringLiteral("Login as '%1' at '%2' failed: %3%4")
                                 .arg(UserName, Host, m_lastResponse,
                                      said.isEmpty() ? QString() : QStringLiteral(" (the server said: %1)").arg(said)));
    }
}

bool TCustomSmtpClient::refuseSession(const QString &text)
{
    m_result = TSmtpResult(TSmtpResult::Kind::SessionRefused, text);
    if (m_errorMessage.isEmpty())
        m_errorMessage = text;
    display(text);
    dropConnection();
    return false;
}

QString TCustomSmtpClient::envelopeProblem() const
{
    // An address goes between angle brackets on a command line of its own; one
    // that could close the brackets or end the line would smuggle in commands.
    QStringList addresses = RcptName;
    addresses.prepend(FromName);
    for (const QString &address : std::as_const(addresses)) {
        const bool unsafe = std::any_of(address.cbegin(), address.cend(), [](QChar c) {
            return c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QLatin1Char('<') || c == QLatin1Char('>');
        });
        if (unsafe)
            return QStringLiteral("Invalid address '%1'").arg(visible(address.trimmed()));
    }
    if (m_wire.charset() == CharSet ? !m_wire.isValid() : !WireText(CharSet).isValid())
        return QStringLiteral("Unknown charset '%1'").arg(CharSet);
    return QString();
}

bool TCustomSmtpClient::checkEnvelope()
{
    const QString problem = envelopeProblem();
    if (!problem.isEmpty())
        return refuse(problem);
    useCharset(CharSet);
    return true;
}

void TCustomSmtpClient::endTransaction()
{
    // What the caller asks about afterwards is the refusal, not the reply
    // to RSET.
    const QString refusal = m_lastResponse;
    const QStringList refusalLines = m_replyLines;
    if (m_stage != 0 && !Reset())
        dropConnection();
    m_lastResponse = refusal;
    m_replyLines = refusalLines;
}

bool TCustomSmtpClient::Mail()
{
    m_result = TSmtpResult();
    m_abandoned.clear();
    if (m_ahead) {
        const QString firstFailure = m_errorMessage;
        if (m_stage != 0 && m_ahead->from == FromName && m_ahead->recipients == RcptName) {
            const Transaction transaction = std::move(*m_ahead);
            m_ahead.reset();
            m_timedOut = false;
            bool heard = true;
            const bool sent = completePipelined(transaction, &heard);
            if (heard)
                return sent;
            // The connection ended before the server said a word of this
            // message (one message per connection): it goes on a new one.
        } else {
            abandonAhead();
        }
        m_result = TSmtpResult();
        m_errorMessage = firstFailure;
    }
    if (!openForMail())
        return false;
    Transaction transaction;
    if (const std::optional<Problem> problem = prepareTransaction(transaction))
        return refuse(*problem);
    return sendMessage(transaction);
}

TCustomSmtpClient::Content TCustomSmtpClient::prepareContent()
{
    return {MessageLayout(CharSet), -1};
}

bool TCustomSmtpClient::openForMail()
{
    if (!checkEnvelope())
        return false;
    pumpMessages();
    if (m_stage == 0 && !Open())
        return false;
    m_timedOut = false;
    return true;
}

bool TCustomSmtpClient::internationalEnvelope() const
{
    return !WireText::isAscii(FromName)
           || std::any_of(RcptName.cbegin(), RcptName.cend(), [](const QString &a) { return !WireText::isAscii(a); });
}

bool TCustomSmtpClient::pipelines() const
{
    return Pipelining && m_capabilities.offers(QStringLiteral("PIPELINING"));
}

std::optional<TCustomSmtpClient::Problem> TCustomSmtpClient::mailParameters(const MessageLayout &layout, qint64 octets,
                                                                            QByteArray &parameters)
{
    const bool international = internationalEnvelope();
    if (international && !m_capabilities.offers(QStringLiteral("SMTPUTF8")))
        return Problem{QStringLiteral("Not sent to '%1': the address has characters outside ASCII, and the server "
                                      "'%2' does not take them (it offers no SMTPUTF8)")
                           .arg(visible(RcptName.join(QStringLiteral(", ")).trimmed()), Host)};
    if (m_capabilities.offers(QStringLiteral("SIZE")) && octets >= 0) {
        const qint64 limit = m_capabilities.parameters(QStringLiteral("SIZE")).value(0).toLongLong();
        if (limit > 0 && octets > limit)
            return Problem{QStringLiteral("The message is %1 bytes, larger than the %2 bytes the server '%3' "
                                          "takes: it was not sent")
                               .arg(octets)
                               .arg(limit)
                               .arg(Host),
                           true};
        parameters += " SIZE=" + QByteArray::number(octets);
    }
    // A UTF-8 header is 8-bit content too.
    const bool eightBit = layout.textEncoding() == TransferEncoding::EightBit || international;
    if (eightBit && m_capabilities.offers(QStringLiteral("8BITMIME")))
        parameters += " BODY=8BITMIME";
    if (international)
        parameters += " SMTPUTF8";
    return std::nullopt;
}

std::optional<TCustomSmtpClient::Problem> TCustomSmtpClient::prepareTransaction(Transaction &transaction)
{
    transaction.from = FromName;
    transaction.recipients = RcptName;
    transaction.content = prepareContent();
    const MessageLayout &layout = transaction.content.layout;
    useCharset(layout.charset());
    // Where the server must take UTF-8 addresses, it takes a UTF-8 header.
    transaction.utf8Header = internationalEnvelope();
    transaction.header = layout.headerLines({HdrFrom, HdrTo, HdrSubject, HdrMessageId, HdrExtra}, m_wire,
                                            Clock::currentDateTime(), transaction.utf8Header);
    qint64 octets = -1;
    if (transaction.content.bodyOctets >= 0) {
        WireText utf8(QStringLiteral("utf-8"));
        WireText &headerWire = transaction.utf8Header ? utf8 : m_wire;
        // The header, the empty line that ends it and the body.
        octets = transaction.content.bodyOctets + 2;
        for (const QString &line : std::as_const(transaction.header))
            octets += headerWire.encode(line).size() + 2;
    }
    QByteArray parameters;
    if (std::optional<Problem> problem = mailParameters(layout, octets, parameters))
        return problem;
    transaction.envelope = {"MAIL FROM:<" + FromName.trimmed().toUtf8() + ">" + parameters};
    for (const QString &recipient : std::as_const(RcptName))
        transaction.envelope.append("RCPT TO:<" + recipient.trimmed().toUtf8() + ">");
    return std::nullopt;
}

bool TCustomSmtpClient::refuse(const Problem &problem)
{
    refuse(problem.reason);
    if (problem.tooLarge)
        m_result = TSmtpResult(TSmtpResult::Kind::TooLarge, problem.reason);
    return false;
}

void TCustomSmtpClient::sendEnvelope(const Transaction &transaction)
{
    for (const QByteArray &line : transaction.envelope)
        sendCommand(line);
    sendCommand("DATA");
}

bool TCustomSmtpClient::sendMessage(const Transaction &transaction)
{
    if (pipelines()) {
        m_connection->setMoreToFollow(true);
        sendEnvelope(transaction);
        m_connection->setMoreToFollow(false);
        return completePipelined(transaction);
    }
    // A refused step leaves the server in the middle of a transaction; it
    // would answer the next MAIL FROM with "503 nested MAIL command".
    for (qsizetype i = 0; i < transaction.envelope.size(); ++i) {
        sendCommand(transaction.envelope[i]);
        const bool taken = i == 0 ? expectReply({250}, false) : expectReply({250, 251}, false);
        if (!taken) {
            endTransaction();
            return false;
        }
    }
    sendCommand("DATA");
    if (!expectReply({354}, false)) {
        endTransaction();
        return false;
    }
    return sendContent(transaction);
}

bool TCustomSmtpClient::completePipelined(const Transaction &transaction, bool *heard)
{
    // The replies come in the order the commands went; the first refusal is
    // the member's reason.
    const Reply mail = getResponse();
    if (heard && mail.from == Reply::From::LostConnection) {
        *heard = false;
        return false;
    }
    bool envelopeTaken = accept(mail, {250}, false);
    int recipientsTaken = 0;
    for (qsizetype i = 1; i < transaction.envelope.size() && m_stage != 0; ++i) {
        if (expectReply({250, 251}, false))
            ++recipientsTaken;
        else
            envelopeTaken = false;
    }
    if (m_stage == 0)
        return false;
    const Reply data = getResponse();
    if (data.code != 354) {
        accept(data, {354}, false);
        endTransaction();
        return false;
    }
    if (envelopeTaken)
        return sendContent(transaction);
    if (recipientsTaken > 0) {
        // Any end of the data would deliver an empty message to those taken.
        dropConnection();
        return false;
    }
    // A server that takes DATA with no recipient gets the data ended at once;
    // with nobody to deliver to, it refuses it.
    sendCommand(".");
    getResponse();
    endTransaction();
    return false;
}

bool TCustomSmtpClient::sendContent(const Transaction &transaction)
{
    useCharset(transaction.content.layout.charset());
    WireText utf8(QStringLiteral("utf-8"));
    WireText &headerWire = transaction.utf8Header ? utf8 : m_wire;
    // The message goes out in full packets; the final "." pushes the rest.
    m_connection->setMoreToFollow(true);
    try {
        sendHeader(transaction.header, headerWire);
        sendBody();
    } catch (...) {
        // Ending the data now would deliver a message cut short.
        m_connection->setMoreToFollow(false);
        dropConnection();
        throw;
    }
    if (!m_abandoned.isEmpty()) {
        // Ended, the message would arrive without what could not be read;
        // dropped, the server discards it.
        m_connection->setMoreToFollow(false);
        dropConnection();
        return refuse(m_abandoned);
    }
    const bool complete = m_stage != 0;
    if (complete)
        endMessage();
    m_connection->setMoreToFollow(false);
    const Reply reply = getResponse();
    const bool accepted = accept(reply, {250}, false);
    // No answer after all of it: the server may have taken it.
    if (complete && !accepted && reply.from != Reply::From::Server)
        m_result = m_result.withOutcomeUnknown();
    return accepted;
}

std::optional<TCustomSmtpClient::Transaction> TCustomSmtpClient::nextTransaction()
{
    if (!pipelines() || !OnNextMessage)
        return std::nullopt;
    bool follows = false;
    try {
        follows = OnNextMessage(this);
    } catch (...) {
        // This message is not ended: the handler's failure stops the run here.
        m_connection->setMoreToFollow(false);
        dropConnection();
        throw;
    }
    if (!follows || !envelopeProblem().isEmpty())
        return std::nullopt;
    // A next message that cannot go is left to its own Mail, which says why.
    Transaction next;
    if (prepareTransaction(next))
        return std::nullopt;
    return next;
}

void TCustomSmtpClient::endMessage()
{
    display(QStringLiteral("> ."));
    pumpMessages();
    if (m_stage == 0)
        return;
    std::optional<Transaction> next = nextTransaction();
    if (OnEndOfData) {
        try {
            OnEndOfData(this);
        } catch (...) {
            // Ending the data now would deliver a message the handler refused.
            m_connection->setMoreToFollow(false);
            dropConnection();
            throw;
        }
    }
    m_dataSent = false;
    m_connection->SendStr(".\r\n");
    if (next) {
        sendEnvelope(*next);
        m_ahead = std::move(next);
    }
    // The rest of the message, its end and the next envelope leave together.
    m_connection->setMoreToFollow(false);
    waitUntilSent();
}

void TCustomSmtpClient::abandonAhead()
{
    const std::optional<Transaction> ahead = std::exchange(m_ahead, std::nullopt);
    if (!ahead || m_stage == 0)
        return;
    for (qsizetype i = 0; i < ahead->envelope.size() && m_stage != 0; ++i)
        getResponse();
    if (m_stage == 0)
        return;
    if (getResponse().code == 354)
        dropConnection();
    else
        endTransaction();
}

void TCustomSmtpClient::sendHeader(QStringList lines, WireText &wire)
{
    DoHeaderList(lines);
    char buffer[LineBufferSize];
    for (const QString &line : std::as_const(lines)) {
        LineBuffer::copyLine(buffer, LineBufferSize, MessageHeader::fitLine(line.toUtf8(), LineBufferSize - 1));
        DoHeaderLine(buffer, LineBufferSize);
        buffer[LineBufferSize - 1] = '\0';
        if (buffer[0] != '\0')
            sendCommand(wire.encode(QString::fromUtf8(buffer)));
    }
    sendCommand(QByteArray());
}

void TCustomSmtpClient::sendBody()
{
    char buffer[LineBufferSize];
    bool more = true;
    for (qint32 lineNum = 1; more && m_stage == 2; ++lineNum) {
        pumpMessages();
        buffer[0] = '\0';
        try {
            DoGetData(lineNum, buffer, LineBufferSize - 1, more);
        } catch (...) {
            more = false;
        }
        if (!more || !m_abandoned.isEmpty())
            break;
        buffer[LineBufferSize - 1] = '\0';
        // The display shows the text as it is, not decoded again from the wire.
        const QString text = MessageHeader::singleLine(QString::fromUtf8(buffer));
        QByteArray line = m_wire.encode(text);
        const bool stuffed = line.startsWith('.');
        if (stuffed)
            line.prepend('.');
        if (m_stage != 0)
            sendLine(line, stuffed ? QLatin1Char('.') + text : text);
    }
}

bool TCustomSmtpClient::Quit()
{
    clearCancel();
    abandonAhead();
    if (m_stage == 0)
        return true;
    bool accepted = false;
    try {
        sendCommand("QUIT");
        accepted = getResponse().code == 221;
    } catch (const std::exception &) {
        accepted = false;
    }
    m_stage = 0;
    try {
        m_connection->Close();
    } catch (const std::exception &) {
        accepted = false;
    }
    return accepted;
}

bool TCustomSmtpClient::Reset()
{
    if (m_stage == 0)
        return true;
    try {
        sendCommand("RSET");
        return getResponse().code == 250;
    } catch (const std::exception &) {
        return false;
    }
}

bool TCustomSmtpClient::Abort()
{
    clearCancel();
    m_stage = 0;
    m_ahead.reset();
    m_connection->Abort();
    return true;
}

// ---- events ----

void TCustomSmtpClient::DoGetData(qint32 LineNum, char *MsgLine, qint32 MaxLen, bool &More)
{
    if (OnGetData)
        OnGetData(this, LineNum, MsgLine, MaxLen, More);
    else
        More = false;
}

void TCustomSmtpClient::DoHeaderLine(char *Msg, qint32 Size)
{
    if (OnHeaderLine)
        OnHeaderLine(this, Msg, Size);
}

void TCustomSmtpClient::DoHeaderList(QStringList &Lines)
{
    if (OnHeaderList)
        OnHeaderList(this, Lines);
}
