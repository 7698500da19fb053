#include "store/SuppressionList.h"

#include "platform/Clock.h"
#include "store/AddressKey.h"
#include "store/Database.h"
#include "store/Query.h"

namespace {
QString keyOf(const QString &address)
{
    return addressKey(address.trimmed());
}
}

QString suppressionReasonText(TSuppressionReason reason)
{
    switch (reason) {
    case TSuppressionReason::Unsubscribed:
        return QStringLiteral("unsubscribed");
    case TSuppressionReason::HardBounce:
        return QStringLiteral("hard bounce");
    case TSuppressionReason::Complaint:
        return QStringLiteral("complaint");
    case TSuppressionReason::AddedByHand:
        break;
    }
    return QStringLiteral("added by hand");
}

TSuppressionList::TSuppressionList(TDatabase &database) : m_database(database)
{
    Reload();
}

void TSuppressionList::Reload()
{
    QHash<QString, QString> reasons;
    TQuery query(&m_database);
    query.UniDirectional = true;
    query.SetStatement({"SELECT AddressKey, Reason FROM Suppression"}, {});
    query.Open();
    for (; !query.Eof(); query.Next())
        reasons.insert(query.Fields(0).AsString(), query.Fields(1).AsString());
    query.Close();
    m_reasons = std::move(reasons);
}

bool TSuppressionList::Contains(const QString &address) const
{
    return m_reasons.contains(keyOf(address));
}

QString TSuppressionList::ReasonFor(const QString &address) const
{
    return m_reasons.value(keyOf(address));
}

bool TSuppressionList::Add(const TSuppression &entry)
{
    return AddMany({entry}) == 1;
}

int TSuppressionList::AddMany(const QList<TSuppression> &entries)
{
    const QString added = Clock::currentDateTime().toString(AddedFormat);
    QHash<QString, QString> taken;
    TQuery query(&m_database);
    m_database.RunInTransaction([&] {
        for (const TSuppression &entry : entries) {
            const QString address = entry.address.trimmed();
            const QString key = keyOf(address);
            if (address.isEmpty() || m_reasons.contains(key) || taken.contains(key))
                continue;
            const QString reason = suppressionReasonText(entry.reason);
            // Another program may have listed it since the keys were read:
            // its entry is the first and stays.
            query.SetStatement({"INSERT OR IGNORE INTO Suppression (AddressKey, Address, Added, Reason, Detail)",
                                "VALUES (:key, :address, :added, :reason, :detail)"},
                               {{"key", key},
                                {"address", address},
                                {"added", added},
                                {"reason", reason},
                                {"detail", entry.detail.isEmpty() ? QVariant() : QVariant(entry.detail)}});
            query.ExecSQL();
            if (query.RowsAffected() > 0)
                taken.insert(key, reason);
        }
    });
    m_reasons.insert(taken);
    return int(taken.size());
}

int TSuppressionList::RemoveMany(const QStringList &addresses)
{
    QStringList removed;
    TQuery query(&m_database);
    m_database.RunInTransaction([&] {
        for (const QString &address : addresses) {
            const QString key = keyOf(address);
            query.SetStatement({"DELETE FROM Suppression", "WHERE AddressKey = :key"}, {{"key", key}});
            query.ExecSQL();
            if (query.RowsAffected() > 0)
                removed.append(key);
        }
    });
    for (const QString &key : std::as_const(removed))
        m_reasons.remove(key);
    return int(removed.size());
}

QList<TSuppressionRow> TSuppressionList::Rows() const
{
    QList<TSuppressionRow> rows;
    TQuery query(&m_database);
    query.UniDirectional = true;
    query.SetStatement({"SELECT Address, Added, Reason, Detail FROM Suppression", "ORDER BY Added, rowid"}, {});
    query.Open();
    for (; !query.Eof(); query.Next())
        rows.append({query.Fields(0).AsString(), QDateTime::fromString(query.Fields(1).AsString(), AddedFormat),
                     query.Fields(2).AsString(), query.Fields(3).AsString()});
    query.Close();
    return rows;
}
