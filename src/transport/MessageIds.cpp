#include "transport/MessageIds.h"

#include "transport/Mailbox.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUrl>

QString TMessageIds::domainOf(const QString &address)
{
    static const QRegularExpression dotAtom(QStringLiteral("^[A-Za-z0-9!#$%&'*+/=?^_`{|}~-]+"
                                                           "(\\.[A-Za-z0-9!#$%&'*+/=?^_`{|}~-]+)*$"));
    static const QRegularExpression literal(QStringLiteral("^\\[[!-Z^-~]*\\]$"));
    const QString domain = Mailbox::domain(address);
    if (literal.match(domain).hasMatch())
        return domain;
    const QString ace = QString::fromLatin1(QUrl::toAce(domain));
    return dotAtom.match(ace).hasMatch() ? ace : QStringLiteral("invalid");
}

TMessageIds::TMessageIds(const QString &senderAddress)
    : m_random(QString::number(QRandomGenerator::system()->generate64(), 16).rightJustified(16, QLatin1Char('0'))),
      m_domain(domainOf(senderAddress))
{
}

QString TMessageIds::forMessage(int number, const QString &token) const
{
    const QString left = QStringLiteral("%1.%2").arg(m_random).arg(number);
    return QStringLiteral("<%1@%2>").arg(token.isEmpty() ? left : left + u'.' + token, m_domain);
}

QString TMessageIds::tokenOf(const QString &messageId)
{
    static const QRegularExpression ours(QStringLiteral("^<?[0-9a-f]{16}\\.[0-9]+\\.([^.@<>]+)@[^@<>]+>?$"));
    const QRegularExpressionMatch match = ours.match(messageId.trimmed());
    return match.hasMatch() ? match.captured(1) : QString();
}
