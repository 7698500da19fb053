#include "store/Query.h"

#include "store/Database.h"
#include "store/DatabaseError.h"
#include "store/SqlStatement.h"

namespace {

TFieldType typeFromDeclaration(const QString &declared)
{
    if (declared.contains(QLatin1String("CHAR")) || declared.contains(QLatin1String("TEXT")))
        return TFieldType::ftString;
    if (declared.contains(QLatin1String("INT")))
        return TFieldType::ftInteger;
    if (declared == QLatin1String("BOOLEAN"))
        return TFieldType::ftBoolean;
    if (declared == QLatin1String("DATE"))
        return TFieldType::ftDate;
    if (declared == QLatin1String("TIME"))
        return TFieldType::ftTime;
    if (declared == QLatin1String("BLOB"))
        return TFieldType::ftGraphic;
    return TFieldType::ftVariant;
}

}

TQuery::TQuery(TDatabase *database, QObject *parent) : TDataSet(parent), m_database(database) {}

TQuery::~TQuery() = default;

void TQuery::ClearSQL()
{
    Close();
    m_sql.clear();
    m_params.clear();
}

void TQuery::AddSQL(const QString &line)
{
    m_sql.append(line);
}

void TQuery::SetParam(const QString &name, const QVariant &value)
{
    m_params.insert(name.startsWith(u':') ? name : u':' + name, value);
}

void TQuery::SetStatement(const QStringList &lines, const QVariantMap &params)
{
    ClearSQL();
    for (const QString &line : lines)
        AddSQL(line);
    for (auto param = params.cbegin(); param != params.cend(); ++param)
        SetParam(param.key(), param.value());
}

sqlite3 *TQuery::handle() const
{
    if (!m_database)
        throw EDatabaseError(QStringLiteral("Query has no database"));
    return m_database->handle();
}

std::unique_ptr<SqlStatement> TQuery::prepare() const
{
    auto statement = std::make_unique<SqlStatement>(handle(), m_sql.join(u'\n'));
    statement->bindAll(m_params);
    return statement;
}

void TQuery::ExecSQL()
{
    Close();
    sqlite3 *db = handle();
    const QString sql = m_sql.join(u'\n');
    // A statement run again and again with new values, such as a group
    // send's resume position after every member, is prepared once.
    if (!m_executed || m_executedOn != db || m_executedSql != sql) {
        m_executed.reset();
        m_executed = std::make_unique<SqlStatement>(db, sql);
        m_executedSql = sql;
        m_executedOn = db;
    }
    // Left reset, also after a failure, so it holds nothing of the store
    // between runs.
    const std::unique_ptr<SqlStatement, void (*)(SqlStatement *)> resetAfter(m_executed.get(),
                                                                           [](SqlStatement *s) { s->reset(); });
    m_executed->bindAll(m_params);
    m_rowsAffected = m_executed->execute();
}

void TQuery::readRow(const SqlStatement &statement, QVector<QVariant> &values)
{
    values.resize(statement.columnCount());
    for (int i = 0; i < values.size(); ++i)
        values[i] = statement.value(i);
}

void TQuery::internalOpen()
{
    // Nothing changes before the statement has run: a query opened again
    // that fails keeps the rows it had.
    std::unique_ptr<SqlStatement> statement = prepare();
    QList<TFieldDef> defs;
    for (int i = 0; i < statement->columnCount(); ++i) {
        TFieldDef def;
        def.FieldName = statement->columnName(i);
        def.DataType = typeFromDeclaration(statement->columnDeclaredType(i));
        defs.append(def);
    }
    QVector<QVector<QVariant>> rows;
    if (!UniDirectional) {
        QVector<QVariant> values;
        while (statement->step()) {
            readRow(*statement, values);
            rows.append(values);
        }
        statement.reset();
    }
    setFieldDefs(defs);
    m_streamRow = -1;
    m_rows = std::move(rows);
    m_statement = std::move(statement);
}

void TQuery::internalClose()
{
    m_statement.reset();
    m_rows.clear();
    m_streamValues.clear();
    m_streamRow = -1;
}

int TQuery::RecordCount() const
{
    return UniDirectional ? -1 : static_cast<int>(m_rows.size());
}

bool TQuery::internalFetch(int row, QVector<QVariant> &values)
{
    if (!UniDirectional) {
        if (row < 0 || row >= m_rows.size())
            return false;
        values = m_rows[row];
        return true;
    }
    if (row == m_streamRow) {
        values = m_streamValues;
        return true;
    }
    // A finished statement would start over if stepped again.
    if (row != m_streamRow + 1 || !m_statement)
        return false;
    if (!m_statement->step()) {
        m_statement.reset();
        return false;
    }
    m_streamRow = row;
    readRow(*m_statement, m_streamValues);
    values = m_streamValues;
    return true;
}
