#pragma once

#include "store/DataSet.h"

#include <QStringList>
#include <QVariantMap>
#include <memory>

class TDatabase;
class SqlStatement;
struct sqlite3;

// An SQL statement on the store, built as text lines with its values bound as
// named parameters (":name"). A SELECT is opened and read as a dataset; any
// other statement is run with ExecSQL. A one-directional query streams its
// rows and holds only the current one, so a result of any size costs the same
// memory.
class TQuery : public TDataSet
{
    Q_OBJECT
public:
    explicit TQuery(TDatabase *database = nullptr, QObject *parent = nullptr);
    ~TQuery() override;

    void SetDatabase(TDatabase *database) { m_database = database; }
    TDatabase *Database() const { return m_database; }

    const QStringList &SQL() const { return m_sql; }
    // Clears the statement and its parameter values.
    void ClearSQL();
    void AddSQL(const QString &line);
    void SetParam(const QString &name, const QVariant &value);
    // A whole statement at once: cleared, its lines added, its values bound.
    void SetStatement(const QStringList &lines, const QVariantMap &params);

    bool UniDirectional = false;

    // Runs a statement that returns no rows.
    void ExecSQL();
    int RowsAffected() const { return m_rowsAffected; }

    int RecordCount() const override;

protected:
    void internalOpen() override;
    void internalClose() override;
    bool internalFetch(int row, QVector<QVariant> &values) override;
    bool isUniDirectional() const override { return UniDirectional; }

private:
    sqlite3 *handle() const;
    std::unique_ptr<SqlStatement> prepare() const;
    static void readRow(const SqlStatement &statement, QVector<QVariant> &values);

    TDatabase *m_database;
    QStringList m_sql;
    QVariantMap m_params;
    int m_rowsAffected = 0;
    // The statement ExecSQL ran last, kept prepared for the next run of the
    // same text on the same connection.
    std::unique_ptr<SqlStatement> m_executed;
    QString m_executedSql;
    sqlite3 *m_executedOn = nullptr;
    std::unique_ptr<SqlStatement> m_statement; // one-directional reading
    int m_streamRow = -1;
    QVector<QVariant> m_streamValues;
    QVector<QVector<QVariant>> m_rows; // buffered reading
};
