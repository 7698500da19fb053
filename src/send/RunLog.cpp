#include "send/RunLog.h"

#include <utility>

void TRunLog::addSessionLine(const QString &line)
{
    if (m_lines.size() > LogLimit)
        m_lines.clear();
    m_lines.append(line);
}

void TRunLog::add(const QString &line)
{
    m_lines.append(line);
}

void TRunLog::addFailure(const QString &text, const QString &reason)
{
    const Failure failure{text, reason};
    m_lines.append(linesOf(failure));
    m_failures.append(failure);
}

void TRunLog::startRun()
{
    m_failures.clear();
}

void TRunLog::closeRun()
{
    if (!m_failures.isEmpty()) {
        m_lines.append(QString());
        m_lines.append(QStringLiteral("Failures of this run: %1").arg(failureCount()));
        for (const Failure &failure : std::as_const(m_failures))
            m_lines.append(linesOf(failure));
        m_failures.clear();
    }
}

QStringList TRunLog::takeResults(const QStringList &top)
{
    closeRun();
    QStringList results = std::exchange(m_lines, {});
    if (!top.isEmpty())
        results = top + QStringList{QString()} + results;
    return results;
}

QStringList TRunLog::linesOf(const Failure &failure)
{
    QStringList lines{failure.text};
    if (!failure.reason.isEmpty())
        lines.append(QStringLiteral("    because: ") + failure.reason);
    return lines;
}
