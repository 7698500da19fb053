#include "send/MemberRendering.h"

TMemberRendering::TMemberRendering(const TDraftMessage &message, const QString &mark)
    : m_merge(message.Subject, message.Lines),
      m_group(message.Group),
      m_mark(mark),
      m_subject(mark + message.Subject),
      m_lines(message.Lines)
{
}

void TMemberRendering::render(const QString &name, const QString &email, const QStringList &fieldValues)
{
    if (m_merge.isPlain())
        return;
    const QStringList values = m_merge.values(name, email, m_group, fieldValues);
    m_subject = m_mark + m_merge.subject(values);
    m_lines = m_merge.lines(values);
}
