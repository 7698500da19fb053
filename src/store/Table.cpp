#include "store/Table.h"

#include "store/Database.h"
#include "store/DatabaseError.h"
#include "store/SqlStatement.h"

#include <algorithm>
#include <sqlite3.h>

namespace {

// Rows read in one statement when a view or the cursor reaches an unread row.
constexpr int FetchWindow = 64;
// Beyond this many cached rows the cache starts afresh.
constexpr int CacheLimit = 4096;

const QString RecordChangedText =
    QStringLiteral("Couldn't perform the edit because another user changed the record.");

QString quoted(const QString &identifier)
{
    return u'"' + QString(identifier).replace(u'"', QLatin1String("\"\"")) + u'"';
}

// "?,?,?": a statement's places for count bound values.
QString placeholders(qsizetype count)
{
    return QStringList(count, QStringLiteral("?")).join(u',');
}

}

TTable::TTable(TDatabase *database, const QString &tableName, const QList<TFieldDef> &fields, QObject *parent)
    : TDataSet(parent), m_database(database), m_tableName(tableName)
{
    setFieldDefs(fields);
}

TTable::~TTable() = default;

void TTable::SetRange(const QString &field, const QVariant &value)
{
    m_rangeField = field;
    m_rangeValue = value;
    m_hasRange = true;
    if (Active()) {
        checkBrowseMode();
        loadKeys();
        rowsReplaced();
    }
}

void TTable::SetMasterSource(TTable *master, const QString &masterField, const QString &detailField)
{
    m_masterField = masterField;
    m_rangeField = detailField;
    m_hasRange = true;
    m_master = master;
    master->m_details.append(this);
    for (auto signal : {&TDataSet::layoutChanged, &TDataSet::recordChanged, &TDataSet::stateChanged})
        connect(master, signal, this, &TTable::followMaster);
    connect(master, &TDataSet::currentRowChanged, this, &TTable::followMaster);
}

bool TTable::DetailInEditState() const
{
    for (const TTable *detail : m_details) {
        if (!detail)
            continue;
        const TDataSetState state = detail->State();
        if (state == TDataSetState::dsEdit || state == TDataSetState::dsInsert || detail->DetailInEditState())
            return true;
    }
    return false;
}

void TTable::followMaster()
{
    const QVariant value = m_master->Active() ? m_master->FieldByName(m_masterField).Value() : QVariant();
    if (!Active()) {
        m_rangeValue = value;
        return;
    }
    if (value == m_rangeValue && value.isNull() == m_rangeValue.isNull())
        return;
    SetRange(m_rangeField, value);
}

QString TTable::rangeClause() const
{
    return m_hasRange ? QStringLiteral(" WHERE %1 = :range").arg(quoted(m_rangeField)) : QString();
}

QString TTable::orderClause() const
{
    return m_indexField.isEmpty() ? QStringLiteral(" ORDER BY rowid")
                                  : QStringLiteral(" ORDER BY %1, rowid").arg(quoted(m_indexField));
}

void TTable::bindRange(SqlStatement &statement) const
{
    if (m_hasRange)
        statement.bind(QStringLiteral(":range"), m_rangeValue);
}

void TTable::loadKeys()
{
    // The keys are replaced only once all are read: a table whose reread
    // fails keeps the rows it had.
    std::vector<qint64> keys;
    keys.reserve(m_keys.size());
    SqlStatement select(m_database->handle(),
                        QStringLiteral("SELECT rowid FROM %1").arg(quoted(m_tableName)) + rangeClause() + orderClause());
    bindRange(select);
    while (select.step())
        keys.push_back(select.value(0).toLongLong());
    m_keys = std::move(keys);
    m_cache.clear();
}

void TTable::internalOpen()
{
    if (m_master && m_master->Active())
        m_rangeValue = m_master->FieldByName(m_masterField).Value();
    loadKeys();
}

void TTable::internalClose()
{
    m_keys.clear();
    m_cache.clear();
}

int TTable::RecordCount() const
{
    return static_cast<int>(m_keys.size());
}

qint64 TTable::rowIdAt(int row) const
{
    return row >= 0 && row < RecordCount() ? m_keys[static_cast<size_t>(row)] : 0;
}

qint64 TTable::CurrentRowId() const
{
    return rowIdAt(CurrentRow());
}

int TTable::rowOfId(qint64 rowId) const
{
    // From the end: a row just posted is most often the last.
    const auto it = std::find(m_keys.rbegin(), m_keys.rend(), rowId);
    return it != m_keys.rend() ? static_cast<int>(m_keys.rend() - it) - 1 : -1;
}

void TTable::fetchWindow(int firstRow)
{
    if (m_cache.size() > CacheLimit)
        m_cache.clear();
    const int last = std::min(RecordCount(), firstRow + FetchWindow);
    const QStringList columns = QStringList{QStringLiteral("rowid")} + storedColumns();
    SqlStatement select(m_database->handle(), QStringLiteral("SELECT %1 FROM %2 WHERE rowid IN (%3)")
                                                  .arg(columns.join(u','), quoted(m_tableName), placeholders(last - firstRow)));
    for (int row = firstRow; row < last; ++row)
        select.bind(row - firstRow + 1, m_keys[static_cast<size_t>(row)]);
    while (select.step()) {
        QVector<QVariant> values(FieldCount());
        int column = 1;
        for (int i = 0; i < FieldCount(); ++i) {
            if (FieldDefs()[i].isStored())
                values[i] = select.value(column++);
        }
        m_cache.insert(select.value(0).toLongLong(), values);
    }
}

bool TTable::internalFetch(int row, QVector<QVariant> &values)
{
    if (row < 0 || row >= RecordCount())
        return false;
    const qint64 rowId = m_keys[static_cast<size_t>(row)];
    auto it = m_cache.constFind(rowId);
    if (it == m_cache.constEnd()) {
        fetchWindow(row);
        it = m_cache.constFind(rowId);
    }
    // A row that another program removed since the keys were read shows
    // empty until the next refresh.
    values = it == m_cache.constEnd() ? QVector<QVariant>(FieldCount()) : *it;
    return true;
}

void TTable::computeFields(QVector<QVariant> &values)
{
    for (int i = 0; i < FieldCount(); ++i) {
        const TFieldDef &def = FieldDefs()[i];
        if (def.isStored() || !def.LookupDataSet)
            continue;
        const QVariant key = values.value(fieldIndex(def.KeyFields));
        values[i] = QVariant();
        if (key.isNull())
            continue;
        SqlStatement lookup(m_database->handle(),
                            QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? LIMIT 1")
                                .arg(quoted(def.LookupResultField), quoted(def.LookupDataSet->TableName()),
                                     quoted(def.LookupKeyFields)));
        lookup.bind(1, key);
        if (lookup.step())
            values[i] = lookup.value(0);
    }
}

bool TTable::inRange(const QVector<QVariant> &values) const
{
    if (!m_hasRange)
        return true;
    const QVariant value = values.value(fieldIndex(m_rangeField));
    return !value.isNull() && !m_rangeValue.isNull() && value.toString() == m_rangeValue.toString();
}

bool TTable::Locate(const QString &fieldName, const QVariant &value)
{
    checkBrowseMode();
    const TFieldDef &def = FieldByName(fieldName).def();
    if (!def.isStored())
        return TDataSet::Locate(fieldName, value);
    SqlStatement find(m_database->handle(),
                      QStringLiteral("SELECT rowid FROM %1").arg(quoted(m_tableName))
                          + (m_hasRange ? rangeClause() + QStringLiteral(" AND ") : QStringLiteral(" WHERE "))
                          + QStringLiteral("%1 = :value").arg(quoted(def.FieldName)) + orderClause()
                          + QStringLiteral(" LIMIT 1"));
    bindRange(find);
    find.bind(QStringLiteral(":value"), TField::toStored(def, value));
    if (!find.step())
        return false;
    const qint64 rowId = find.value(0).toLongLong();
    int row = rowOfId(rowId);
    if (row < 0) {
        // Added by another program since the keys were read.
        Refresh();
        row = rowOfId(rowId);
        if (row < 0)
            return false;
    }
    MoveToRow(row);
    return true;
}

void TTable::initRecord(QVector<QVariant> &values)
{
    const int link = m_hasRange ? fieldIndex(m_rangeField) : -1;
    if (link >= 0)
        values[link] = m_rangeValue;
}

void TTable::internalEdit(int row)
{
    const qint64 rowId = rowIdAt(row);
    // Edit what the store holds now, not what was read earlier.
    m_cache.remove(rowId);
    SqlStatement exists(m_database->handle(), QStringLiteral("SELECT 1 FROM %1 WHERE rowid = ?").arg(quoted(m_tableName)));
    exists.bind(1, rowId);
    if (!exists.step())
        throw EDatabaseError(RecordChangedText);
}

QStringList TTable::storedColumns() const
{
    QStringList columns;
    for (const TFieldDef &def : FieldDefs()) {
        if (def.isStored())
            columns.append(quoted(def.FieldName));
    }
    return columns;
}

QVector<QVariant> TTable::storedValues(const QVector<QVariant> &values) const
{
    QVector<QVariant> stored;
    for (int i = 0; i < FieldCount(); ++i) {
        if (FieldDefs()[i].isStored())
            stored.append(values[i]);
    }
    return stored;
}

int TTable::internalInsert(const QVector<QVariant> &values)
{
    const QStringList columns = storedColumns();
    const QVector<QVariant> stored = storedValues(values);
    SqlStatement insert(m_database->handle(), QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                                  .arg(quoted(m_tableName), columns.join(u','), placeholders(columns.size())));
    for (qsizetype i = 0; i < stored.size(); ++i)
        insert.bind(static_cast<int>(i + 1), stored[i]);
    insert.execute();
    const qint64 rowId = sqlite3_last_insert_rowid(m_database->handle());
    m_cache.remove(rowId);
    if (!inRange(values)) {
        // Not one of the rows this table shows: its keys stay as they are.
        return -1;
    }
    if (m_indexField.isEmpty() || (m_hasRange && m_rangeField == m_indexField)) {
        // Rows in order of their row id: a new row goes last, and a table of
        // any size takes it without reading its keys again.
        m_keys.push_back(rowId);
    } else {
        loadKeys();
    }
    return rowOfId(rowId);
}

int TTable::internalUpdate(int row, const QVector<QVariant> &values)
{
    const qint64 rowId = rowIdAt(row);
    const QVector<QVariant> stored = storedValues(values);
    QStringList assignments;
    for (const QString &column : storedColumns())
        assignments.append(column + QStringLiteral(" = ?"));
    SqlStatement update(m_database->handle(), QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                                                  .arg(quoted(m_tableName), assignments.join(u',')));
    for (qsizetype i = 0; i < stored.size(); ++i)
        update.bind(static_cast<int>(i + 1), stored[i]);
    update.bind(static_cast<int>(stored.size() + 1), rowId);
    if (update.execute() == 0)
        throw EDatabaseError(RecordChangedText);
    m_cache.remove(rowId);
    // The index field may have changed, and with it the row's place.
    loadKeys();
    return rowOfId(rowId);
}

void TTable::internalDelete(int row)
{
    SqlStatement remove(m_database->handle(), QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quoted(m_tableName)));
    remove.bind(1, rowIdAt(row));
    remove.execute();
    loadKeys();
}

int TTable::internalRefresh(int row)
{
    const qint64 rowId = rowIdAt(row);
    loadKeys();
    return rowOfId(rowId);
}
