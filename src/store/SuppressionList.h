#pragma once

#include <QDateTime>
#include <QList>
#include <QHash>
#include <QString>
#include <QStringList>

class TDatabase;

// Why an address is on the suppression list.
enum class TSuppressionReason { Unsubscribed, HardBounce, Complaint, AddedByHand };

// The text the store keeps for a reason: "unsubscribed", "hard bounce",
// "complaint", "added by hand".
QString suppressionReasonText(TSuppressionReason reason);

// One address to suppress, with what led to it (the server's reply, the
// notice read; empty where there is nothing more to say).
struct TSuppression
{
    QString address;
    TSuppressionReason reason = TSuppressionReason::AddedByHand;
    QString detail;
};

// One row of the list as the store keeps it.
struct TSuppressionRow
{
    QString address;
    QDateTime added;
    QString reason;
    QString detail;
};

// The addresses neither program mails again. Two addresses are one when
// their addressKey is (the domain without regard to case). An address that is
// on the list already keeps its first entry: the first reason is what
// happened, and a later bounce of an unsubscribed address changes nothing.
// The keys and reasons are read once and kept in memory, so a run asks about each of its
// members without going to the store; what this list adds or removes keeps
// them true, and Reload picks up what another program changed.
class TSuppressionList
{
public:
    // How the store keeps the date an address was added, and an export
    // writes it.
    static inline const QString AddedFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

    // Reads the keys from the store. Throws EDatabaseError.
    explicit TSuppressionList(TDatabase &database);

    void Reload();
    bool Contains(const QString &address) const;
    int Count() const { return int(m_reasons.size()); }

    // Each adds in one transaction, stamped with the Clock's time. True (the
    // number added) for what was not on the list; a blank address is never
    // added. Throws EDatabaseError, leaving the store and the keys as they were.
    bool Add(const TSuppression &entry);
    int AddMany(const QList<TSuppression> &entries);
    // In one transaction; the number that were on the list.
    int RemoveMany(const QStringList &addresses);
    // Every row, oldest first.
    QList<TSuppressionRow> Rows() const;
    // The reason kept for the address; empty when it is not on the list.
    QString ReasonFor(const QString &address) const;

private:
    TDatabase &m_database;
    // The reason of every address on the list, by its key.
    QHash<QString, QString> m_reasons;
};
