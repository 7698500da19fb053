#pragma once

#include "store/DataSet.h"

#include <QHash>
#include <QPointer>
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
    // True while a table that follows this one, directly or through other
    // details, is being edited or inserted into.
    bool DetailInEditState() const;

    int RecordCount() const override;
    bool Locate(const QString &fieldName, const QVariant &value) override;

    // The row id of the current row; 0 when there is none.
    qint64 CurrentRowId() const;

protected:
    void internalOpen() override;
    void internalClose() override;
    bool internalFetch(int row, QVector<QVariant> &values) override;
    void computeFields(QVector<QVariant> &values) override;
    bool canModify() const override { return true; }
    // A new row of a detail table takes the master's value in its link field.
    void initRecord(QVector<QVariant> &values) override;
    void internalEdit(int row) override;
    int internalInsert(const QVector<QVariant> &values) override;
    int internalUpdate(int row, const QVector<QVariant> &values) override;
    void internalDelete(int row) override;
    // Reads the row ids again; the current row is found again by its row id.
    int internalRefresh(int row) override;

private:
    QString rangeClause() const;
    QString orderClause() const;
    void bindRange(SqlStatement &statement) const;
    void loadKeys();
    void fetchWindow(int firstRow);
    qint64 rowIdAt(int row) const;
    // The 0-based row of a row id; -1 when the table does not show it.
    int rowOfId(qint64 rowId) const;
    bool inRange(const QVector<QVariant> &values) const;
    void followMaster();
    // The stored fields' quoted column names and their values in a record.
    QStringList storedColumns() const;
    QVector<QVariant> storedValues(const QVector<QVariant> &values) const;

    TDatabase *m_database;
    QString m_tableName;
    QString m_indexField;
    QString m_rangeField;
    QVariant m_rangeValue;
    bool m_hasRange = false;
    TTable *m_master = nullptr;
    QList<QPointer<TTable>> m_details;
    QString m_masterField;
    std::vector<qint64> m_keys;
    QHash<qint64, QVector<QVariant>> m_cache;
};
