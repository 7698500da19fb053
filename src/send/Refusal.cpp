#include "send/Refusal.h"

#include "transport/SmtpReply.h"

#include <QStringList>

TRefusal::Kind TRefusal::of(const TSmtpResult &result, const QString &senderAddress)
{
    if (result.ok())
        return Kind::Member;
    const int code = replyCode(result.reason());
    if (code == 0)
        return Kind::Member;
    if (code == 421)
        return Kind::Closing;
    QString enhanced = result.enhancedCode();
    const bool announced = !enhanced.isEmpty();
    if (!announced)
        enhanced = TSmtpReply::enhancedCode(result.reason());
    if (asksForPause(enhanced))
        return Kind::Pause;
    const bool believed = announced || code == 550 || code == 551 || code == 553;
    if (result.kind() == TSmtpResult::Kind::Refused && believed && namesMissingAddress(enhanced)
        && !aboutSender(result.reason(), senderAddress))
        return Kind::NoSuchMailbox;
    return Kind::Member;
}

int TRefusal::replyCode(const QString &line)
{
    if (line.size() < 3 || (line.size() > 3 && line[3] != u' ' && line[3] != u'-'))
        return 0;
    bool numeric = false;
    const int code = line.left(3).toInt(&numeric);
    return numeric && code >= 200 && code <= 599 ? code : 0;
}

bool TRefusal::namesMissingAddress(const QString &enhancedCode)
{
    static const QStringList gone{QStringLiteral("5.1.1"), QStringLiteral("5.1.2"), QStringLiteral("5.1.3"),
                                  QStringLiteral("5.1.6"), QStringLiteral("5.1.10")};
    return gone.contains(enhancedCode);
}

bool TRefusal::aboutSender(const QString &reply, const QString &senderAddress)
{
    const QString sender = senderAddress.trimmed();
    return reply.contains(QStringLiteral("sender"), Qt::CaseInsensitive)
           || (!sender.isEmpty() && reply.contains(sender, Qt::CaseInsensitive));
}

bool TRefusal::asksForPause(const QString &enhancedCode)
{
    return enhancedCode.startsWith(QStringLiteral("4.7.")) || enhancedCode == QStringLiteral("4.5.3")
           || enhancedCode == QStringLiteral("5.4.5");
}
