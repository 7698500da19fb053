#include "send/ListHeaders.h"

#include "transport/MessageIds.h"

#include <QRegularExpression>
#include <QUrl>

TListHeaders::TListHeaders(const QString &group, const QString &senderAddress, const QString &mailto,
                           const QString &urlTemplate, std::optional<UnsubscribeToken> tokens)
    : m_listId(QStringLiteral("List-Id: <%1.%2>").arg(label(group), TMessageIds::domainOf(senderAddress))),
      m_urlTemplate(isOneClickTemplate(urlTemplate) ? urlTemplate.trimmed() : QString()),
      m_tokens(std::move(tokens))
{
    const QString address = mailto.trimmed().isEmpty() ? senderAddress.trimmed() : mailto.trimmed();
    m_mailtoStart = QStringLiteral("<mailto:") + QString::fromLatin1(QUrl::toPercentEncoding(address, "@!$'*+,;=~"))
                    + QStringLiteral("?subject=") + QString::fromLatin1(QUrl::toPercentEncoding(UnsubscribeToken::subjectFor({})));
}

QString TListHeaders::label(const QString &group)
{
    QString label;
    bool gap = false;
    for (const QChar c : group.normalized(QString::NormalizationForm_KD)) {
        if (c.isMark())
            continue;
        if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')) {
            if (gap && !label.isEmpty())
                label += u'-';
            label += c.toLower();
            gap = false;
        } else {
            gap = true;
        }
    }
    return label.isEmpty() ? QStringLiteral("group") : label;
}

bool TListHeaders::isOneClickTemplate(const QString &urlTemplate)
{
    const QString text = urlTemplate.trimmed();
    const QUrl url(QString(text).replace(QStringLiteral("{token}"), QStringLiteral("t")), QUrl::StrictMode);
    return text.contains(QStringLiteral("{token}")) && url.isValid() && url.scheme() == QStringLiteral("https")
           && !url.host().isEmpty() && !text.contains(u'>') && !text.contains(u',') && !text.contains(u' ');
}

QString TListHeaders::mailtoProblem(const QString &mailto)
{
    const QString address = mailto.trimmed();
    static const QRegularExpression oneAddress(QStringLiteral("^[^\\s<>@,;?]+@[^\\s<>@,;?]+$"));
    if (address.isEmpty() || oneAddress.match(address).hasMatch())
        return {};
    return QStringLiteral("The unsubscribe address \"%1\" is not one mail address, such as lists@example.org.")
        .arg(address);
}

QString TListHeaders::urlTemplateProblem(const QString &urlTemplate)
{
    const QString url = urlTemplate.trimmed();
    if (url.isEmpty() || isOneClickTemplate(url))
        return {};
    return QStringLiteral("The unsubscribe page \"%1\" must be an https address with {token} in it, such as "
                          "https://example.org/unsubscribe?t={token}.")
        .arg(url);
}

QString TListHeaders::tokenFor(qint64 member, const QString &address) const
{
    return m_tokens ? m_tokens->make(member, address) : QString();
}

QStringList TListHeaders::linesFor(const QString &token) const
{
    if (token.isEmpty())
        return {m_listId};
    QString unsubscribe = QStringLiteral("List-Unsubscribe: ") + m_mailtoStart + token + u'>';
    if (m_urlTemplate.isEmpty())
        return {m_listId, unsubscribe};
    // Each address on a line of its own: together they pass the 78 a line
    // should keep to.
    unsubscribe += QStringLiteral(",\r\n\t<") + QString(m_urlTemplate).replace(QStringLiteral("{token}"), token) + u'>';
    return {m_listId, unsubscribe, QStringLiteral("List-Unsubscribe-Post: List-Unsubscribe=One-Click")};
}
