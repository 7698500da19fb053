#include "addressbook/SuppressionWatch.h"

TSuppressionWatch::TSuppressionWatch(TDatabase &database, QObject *parent)
    : QObject(parent), m_list(database), m_query(&database)
{
    m_query.AddSQL("SELECT COUNT(*) FROM Suppression");
    m_query.AfterRefresh = [this](TDataSet &) {
        m_list.Reload();
        emit changed();
    };
    m_query.Open();
}

QString TSuppressionWatch::RemarkFor(const QString &address) const
{
    const QString reason = m_list.ReasonFor(address);
    return reason.isEmpty() ? QString() : QStringLiteral("Suppressed: %1").arg(reason);
}
