#include "replies/ReplyMatcher.h"

#include "store/Query.h"
#include "store/AddressKey.h"
#include "transport/MessageIds.h"

namespace {

bool subjectIsRequest(const QString &subject)
{
    return !UnsubscribeToken::tokenInSubject(subject).isEmpty();
}

} // namespace

ReplyMatcher::ReplyMatcher(TDatabase &database, const UnsubscribeToken &tokens) : m_tokens(tokens)
{
    TQuery query(&database);
    query.AddSQL(QStringLiteral("SELECT Unikt, Name, Email, Grupp FROM EMAILS"));
    query.Open();
    for (query.First(); !query.Eof(); query.Next()) {
        Member member{query.Fields(0).AsString().toLongLong(), query.Fields(1).AsString(), query.Fields(2).AsString(),
                      query.Fields(3).AsString()};
        m_byAddress[addressKey(member.address)].append(member.number);
        m_byNumber.insert(member.number, member);
    }
    query.Close();
}

ReplyMatcher::Result ReplyMatcher::process(const QString &path) const
{
    Result result;
    MailFolder folder;
    if (!folder.open(path)) {
        result.skipped << folder.error();
        return result;
    }
    MailMessage message;
    while (folder.next(message))
        take(message, result);
    finish(result);
    return result;
}

void ReplyMatcher::finish(Result &result) const
{
    if (result.ordinary > 0)
        result.skipped << QStringLiteral("%1 other messages: neither a delivery report nor an unsubscribe request")
                              .arg(result.ordinary);
}

const ReplyMatcher::Member *ReplyMatcher::verified(const QString &token) const
{
    const std::optional<qint64> number = m_tokens.verify(token, [this](qint64 n) -> std::optional<QString> {
        const auto it = m_byNumber.constFind(n);
        return it == m_byNumber.constEnd() ? std::nullopt : std::optional<QString>(it->address);
    });
    return number ? &m_byNumber.find(*number).value() : nullptr;
}

void ReplyMatcher::take(const MailMessage &message, Result &result) const
{
    ++result.messages;
    const ReplyNotice notice = ReplyNotice::read(message, subjectIsRequest);
    auto skip = [&](const QString &why) { result.skipped << message.where + ": " + why; };
    switch (notice.kind) {
    case ReplyNotice::Kind::Ordinary:
        ++result.ordinary;
        return;
    case ReplyNotice::Kind::Skipped:
        for (const QString &note : notice.notes)
            skip(note);
        return;
    case ReplyNotice::Kind::Unsubscribe: {
        const Member *member = verified(UnsubscribeToken::tokenInSubject(notice.subject));
        if (!member) {
            skip(QStringLiteral("\"%1\" from %2: the token is not one this store made (forged, altered or for an "
                                "address changed since)")
                     .arg(notice.subject.left(80), notice.sender));
            return;
        }
        addFinding(result, *member, QStringLiteral("unsubscribed"), QStringLiteral("token"),
                   QStringLiteral("Subject: %1, From: %2").arg(notice.subject, notice.sender), message.where);
        return;
    }
    case ReplyNotice::Kind::Bounces:
        break;
    }
    for (const QString &note : notice.notes)
        skip(note);
    const QString token = TMessageIds::tokenOf(notice.originalMessageId);
    const Member *byId = token.isEmpty() ? nullptr : verified(token);
    if (!token.isEmpty() && !byId) {
        skip(QStringLiteral("a delivery report about %1, whose token is not one this store made")
                 .arg(notice.originalMessageId.left(120)));
        return;
    }
    for (const ReplyNotice::Failure &failure : notice.failures) {
        // Our messages go to one member each: a report of one failure
        // about our message is that member's, whatever address the
        // receiving side ended up at.
        if (byId && (notice.failures.size() == 1 || addressKey(byId->address) == addressKey(failure.address))) {
            addFinding(result, *byId, QStringLiteral("hard bounce"), QStringLiteral("Message-ID"),
                       QStringLiteral("%1 (Final-Recipient %2, Message-ID %3)")
                           .arg(failure.evidence, failure.address, notice.originalMessageId),
                       message.where);
            continue;
        }
        const auto members = m_byAddress.constFind(addressKey(failure.address));
        if (members == m_byAddress.constEnd()) {
            skip(QStringLiteral("%1 failed, but no member has that address").arg(failure.address));
            continue;
        }
        addFinding(result, m_byNumber.value(members->first()), QStringLiteral("hard bounce"), QStringLiteral("address"),
                   QStringLiteral("%1 (Final-Recipient %2)").arg(failure.evidence, failure.address), message.where);
    }
}

void ReplyMatcher::addFinding(Result &result, const Member &member, const QString &reason, const QString &matchedBy,
                              const QString &evidence, const QString &where) const
{
    const QString key = addressKey(member.address);
    if (const auto first = result.foundIn.constFind(key); first != result.foundIn.constEnd()) {
        result.skipped << QStringLiteral("%1: %2 found already in %3").arg(where, member.address, *first);
        return;
    }
    result.foundIn.insert(key, where);
    Finding finding{member.address, reason, matchedBy, evidence, where, {}};
    for (qint64 number : m_byAddress.value(key)) {
        const Member &m = m_byNumber[number];
        finding.members << QStringLiteral("%1 <%2> in %3").arg(m.name, m.address, m.group);
    }
    result.found.append(finding);
}
