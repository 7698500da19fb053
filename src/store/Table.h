#pragma once

#include "store/DataSet.h"

#include <QHash>
#include <memory>
#include <vector>

class TDatabase;
class SqlStatement;

// A table of the store in index order. It holds only the row ids of its rows
// and reads their values on demand, a window at a time, so a table of a
// hundred thousand rows opens and scrolls at once. A detail table shows only
// the rows whose link field equals the master's current value, and new rows
// take that value.
class TTable : public TDataSet
{
    Q_OBJECT
public:
    TTable(TDatabase *database, const QString &tableName, const QList<TFieldDef> &fields,
           QObject *parent = nullptr);
    ~TTable() override;

    const QString &TableName() const { return m_tableName; }
    TDatabase *Database() const { return m_database; }

    // Rows in order of this field, then of their row id; empty: row id alone.
    void SetIndexFieldName(const QString &field) { m_indexField = field; }
    const QString &IndexFieldName() const { return m_indexField; }

    // Restricts the rows to those whose field equals value.
    void SetRange(const QString &field, const QVariant &value);

    // Follows the master's current row: the rows whose detailField equals the
    // master's masterField.
    void SetMasterSource(TTable *master, const QString &masterField, const QString &detailField);
    TTable *MasterSource() const { return m_master; }

    int RecordCount() const override;
    bool Locate(const QString &fieldName, const QVariant &value) override;
    void Insert() override;
    void Edit() override;
    void Post() override;
    void Delete() override;
    void Refresh() override;

    // The row id of the current row; 0 when there is none.
    qint64 CurrentRowId() const;

protected:
    void internalOpen() override;
    void internalClose() override;
    bool internalFetch(int row, QVector<QVariant> &values) override;
    void computeFields(QVector<QVariant> &values) override;

private:
    QString rangeClause() const;
    QString orderClause() const;
    void bindRange(SqlStatement &statement) const;
    void loadKeys();
    void fetchWindow(int firstRow);
    void positionOnRowId(qint64 rowId, int fallbackRow);
    bool inRange(const QVector<QVariant> &values) const;
    void followMaster();
    void checkRequired() const;

    TDatabase *m_database;
    QString m_tableName;
    QString m_indexField;
    QString m_rangeField;
    QVariant m_rangeValue;
    bool m_hasRange = false;
    TTable *m_master = nullptr;
    QString m_masterField;
    std::vector<qint64> m_keys;
    QHash<qint64, QVector<QVariant>> m_cache;
};
