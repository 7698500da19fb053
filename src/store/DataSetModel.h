#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <functional>

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
    // Shows these fields, in this order, in place of every visible field.
    void setColumnFields(const QStringList &fieldNames);
    // Cells of fields that are not read-only can be edited in place (the
    // grid writes them to the dataset's record).
    void setEditable(bool editable);
    bool isEditable() const { return m_editable; }
    // The dataset's field index shown in a column.
    int fieldIndexOfColumn(int column) const;
    int columnOfField(const QString &fieldName) const;

    // A remark on some rows, told by the value of one of their fields (a
    // recipient's address: "Suppressed: hard bounce"). Every cell of such a
    // row has the remark as its tooltip and accessible description, and
    // under RemarkRole, by which the grid shows the row greyed.
    static constexpr int RemarkRole = Qt::UserRole + 1;
    using RowRemark = std::function<QString(const QVariant &value)>;
    void setRowRemark(const QString &fieldName, RowRemark remark);
    // What the remarks say changed: every row is shown again.
    void remarksChanged();

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    void reset();
    // Entering or leaving a state changes the rows only when a new record
    // comes or goes; starting an edit leaves the view and its editor alone.
    void stateChanged();
    void currentRecordChanged();

    QPointer<TDataSet> m_dataSet;
    QList<int> m_columns;
    QStringList m_columnFields;
    bool m_editable = false;
    int m_rowCount = 0;
    QString m_remarkField;
    RowRemark m_remark;
};
