#pragma once

#include <QAbstractTableModel>
#include <QPointer>

class TDataSet;

// Shows a dataset in a grid: one column per visible field with its display
// label, one row per record (and the new record while inserting). It reads
// only the rows the view asks for.
class TDataSetModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit TDataSetModel(TDataSet *dataSet, QObject *parent = nullptr);

    TDataSet *dataSet() const { return m_dataSet; }
    // The dataset's field index shown in a column.
    int fieldIndexOfColumn(int column) const;
    int columnOfField(const QString &fieldName) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void reset();
    void currentRecordChanged();

    QPointer<TDataSet> m_dataSet;
    QList<int> m_columns;
};
