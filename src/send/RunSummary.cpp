#include "send/RunSummary.h"

void TRunSummary::suppressed(int number, const QString &address)
{
    m_suppressed.append(QStringLiteral("    suppressed: email nr: %1 %2").arg(number).arg(address));
}

void TRunSummary::skipped(int number, const QString &address, const QString &reason)
{
    m_skipped.append(QStringLiteral("    skipped: email nr: %1 %2 (%3)").arg(number).arg(address, reason));
}

QStringList TRunSummary::lines() const
{
    QString counts = QStringLiteral("Delivered: %1, refused: %2, deferred and still undelivered: %3, suppressed: %4, "
                                    "skipped: %5")
                         .arg(m_delivered)
                         .arg(m_refused)
                         .arg(m_undelivered)
                         .arg(m_suppressed.size())
                         .arg(m_skipped.size());
    if (m_unanswered > 0)
        counts += QStringLiteral(", went out without an answer: %1").arg(m_unanswered);
    return QStringList{counts} + m_suppressed + m_skipped + m_notes;
}
