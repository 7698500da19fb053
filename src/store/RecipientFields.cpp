#include "store/RecipientFields.h"

#include "store/Database.h"
#include "store/Query.h"

#include <QSet>
#include <algorithm>

namespace {

constexpr int ValuesPerRow = 3;
constexpr qsizetype MostRowsPerStatement = 300;

}

TRecipientFields::TRecipientFields(TDatabase &database) : m_db(database) {}

QStringList TRecipientFields::Names() const
{
    // The first spelling the store holds stands for the others.
    TQuery q(&m_db);
    q.UniDirectional = true;
    q.SetStatement({"SELECT min(Field) FROM RecipientField GROUP BY Field ORDER BY Field"}, {});
    QStringList names;
    for (q.Open(); !q.Eof(); q.Next())
        names.append(q.Fields(0).AsString());
    return names;
}

TRecipientFields::Values TRecipientFields::Read(int recipient) const
{
    TQuery q(&m_db);
    q.UniDirectional = true;
    q.SetStatement({"SELECT Field, Value FROM RecipientField WHERE Recipient = :recipient ORDER BY Field"},
                   {{"recipient", recipient}});
    Values values;
    for (q.Open(); !q.Eof(); q.Next())
        values.append({q.Fields(0).AsString(), q.Fields(1).AsString()});
    return values;
}

TRecipientFields::Values TRecipientFields::Cleaned(const Values &values)
{
    Values kept;
    QSet<QString> seen;
    for (const auto &[field, value] : values) {
        const QString name = field.trimmed();
        if (name.isEmpty() || value.isEmpty() || seen.contains(name.toCaseFolded()))
            continue;
        seen.insert(name.toCaseFolded());
        kept.append({name, value});
    }
    return kept;
}

void TRecipientFields::Write(int recipient, const Values &values)
{
    TQuery q(&m_db);
    q.SetStatement({"DELETE FROM RecipientField WHERE Recipient = :recipient"}, {{"recipient", recipient}});
    q.ExecSQL();
    QList<Row> rows;
    for (const auto &[field, value] : Cleaned(values))
        rows.append({recipient, field, value});
    Insert(rows);
}

void TRecipientFields::Insert(const QList<Row> &rows)
{
    const qsizetype perStatement =
        std::clamp<qsizetype>(m_db.BoundValueLimit() / ValuesPerRow, 1, MostRowsPerStatement);
    TQuery q(&m_db);
    for (qsizetype from = 0; from < rows.size(); from += perStatement) {
        q.ClearSQL();
        q.AddSQL("INSERT INTO RecipientField (Recipient, Field, Value)");
        const qsizetype to = std::min(rows.size(), from + perStatement);
        for (qsizetype i = from; i < to; ++i) {
            q.AddSQL(QStringLiteral("%1(:r%2, :f%2, :v%2)").arg(i == from ? "VALUES " : ", ").arg(i - from));
            q.SetParam(QStringLiteral("r%1").arg(i - from), rows[i].recipient);
            q.SetParam(QStringLiteral("f%1").arg(i - from), rows[i].field);
            q.SetParam(QStringLiteral("v%1").arg(i - from), rows[i].value);
        }
        q.ExecSQL();
    }
}

void TRecipientFields::Copy(int from, int to)
{
    TQuery q(&m_db);
    q.SetStatement({"INSERT OR REPLACE INTO RecipientField (Recipient, Field, Value)",
                    "SELECT :to, Field, Value FROM RecipientField WHERE Recipient = :from"},
                   {{"to", to}, {"from", from}});
    q.ExecSQL();
}
