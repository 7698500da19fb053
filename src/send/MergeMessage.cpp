#include "send/MergeMessage.h"

#include <algorithm>
#include <iterator>

TMergeMessage::TMergeMessage(const QString &subject, const QStringList &lines)
    : m_subject(subject, m_names), m_body(lines.join(u'\n'), m_names), m_lines(lines)
{
    const QString own[] = {QStringLiteral("Name"), QStringLiteral("Email"), QStringLiteral("Group")};
    for (const QString &name : m_names.names()) {
        const qsizetype ownAt = std::find_if(std::begin(own), std::end(own),
                                             [&name](const QString &o) { return !o.compare(name, Qt::CaseInsensitive); })
                                - std::begin(own);
        if (ownAt < 3) {
            m_fieldOf.append(NameValue - static_cast<int>(ownAt));
            continue;
        }
        m_fieldOf.append(static_cast<int>(m_fieldNames.size()));
        m_fieldNames.append(name);
    }
}

QStringList TMergeMessage::values(const QString &name, const QString &email, const QString &group,
                                  const QStringList &fieldValues) const
{
    QStringList result;
    result.reserve(m_fieldOf.size());
    for (const int source : m_fieldOf) {
        switch (source) {
        case NameValue:
            result.append(name);
            break;
        case EmailValue:
            result.append(email);
            break;
        case GroupValue:
            result.append(group);
            break;
        default:
            result.append(fieldValues.value(source));
        }
    }
    return result;
}

QStringList TMergeMessage::lines(const QStringList &values) const
{
    if (m_body.isPlain())
        return m_lines;
    return m_body.render(values).split(u'\n');
}
