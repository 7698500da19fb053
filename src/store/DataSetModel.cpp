#include "store/DataSetModel.h"

#include "store/DataSet.h"

TDataSetModel::TDataSetModel(TDataSet *dataSet, QObject *parent) : QAbstractTableModel(parent), m_dataSet(dataSet)
{
    connect(dataSet, &TDataSet::layoutChanged, this, &TDataSetModel::reset);
    connect(dataSet, &TDataSet::stateChanged, this, &TDataSetModel::stateChanged);
    connect(dataSet, &TDataSet::recordChanged, this, &TDataSetModel::currentRecordChanged);
    reset();
}

void TDataSetModel::setColumnFields(const QStringList &fieldNames)
{
    m_columnFields = fieldNames;
    reset();
}

void TDataSetModel::setEditable(bool editable)
{
    m_editable = editable;
}

void TDataSetModel::reset()
{
    beginResetModel();
    m_columns.clear();
    if (m_dataSet) {
        for (const QString &name : std::as_const(m_columnFields)) {
            const int field = m_dataSet->fieldIndex(name);
            if (field >= 0)
                m_columns.append(field);
        }
        for (int i = 0; m_columnFields.isEmpty() && i < m_dataSet->FieldCount(); ++i) {
            if (m_dataSet->FieldDefs()[i].Visible)
                m_columns.append(i);
        }
    }
    m_rowCount = rowCount();
    endResetModel();
}

void TDataSetModel::stateChanged()
{
    if (rowCount() != m_rowCount)
        reset();
    else
        currentRecordChanged();
}

void TDataSetModel::currentRecordChanged()
{
    const int row = m_dataSet ? m_dataSet->CurrentRow() : -1;
    if (row >= 0 && row < rowCount() && !m_columns.isEmpty())
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

int TDataSetModel::fieldIndexOfColumn(int column) const
{
    return m_columns.value(column, -1);
}

int TDataSetModel::columnOfField(const QString &fieldName) const
{
    return m_dataSet ? static_cast<int>(m_columns.indexOf(m_dataSet->fieldIndex(fieldName))) : -1;
}

int TDataSetModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !m_dataSet || !m_dataSet->Active())
        return 0;
    const int inserting = m_dataSet->State() == TDataSetState::dsInsert ? 1 : 0;
    return std::max(m_dataSet->RecordCount(), 0) + inserting;
}

int TDataSetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

void TDataSetModel::setRowRemark(const QString &fieldName, RowRemark remark)
{
    m_remarkField = fieldName;
    m_remark = std::move(remark);
    remarksChanged();
}

void TDataSetModel::remarksChanged()
{
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::ToolTipRole, Qt::AccessibleDescriptionRole, RemarkRole});
}

QVariant TDataSetModel::data(const QModelIndex &index, int role) const
{
    if (!m_dataSet || !index.isValid())
        return {};
    if (role == Qt::ToolTipRole || role == Qt::AccessibleDescriptionRole || role == RemarkRole) {
        const int field = m_remark ? m_dataSet->fieldIndex(m_remarkField) : -1;
        const QString remark = field >= 0 ? m_remark(m_dataSet->rowValue(index.row(), field)) : QString();
        return remark.isEmpty() ? QVariant() : QVariant(remark);
    }
    if (role != Qt::DisplayRole)
        return {};
    const int field = fieldIndexOfColumn(index.column());
    return TField::displayText(m_dataSet->FieldDefs()[field], m_dataSet->rowValue(index.row(), field));
}

Qt::ItemFlags TDataSetModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    const int field = fieldIndexOfColumn(index.column());
    if (!m_editable || !m_dataSet || field < 0)
        return flags;
    const TFieldDef &def = m_dataSet->FieldDefs()[field];
    if (!def.ReadOnly && def.DataType != TFieldType::ftGraphic && def.DataType != TFieldType::ftBoolean)
        flags |= Qt::ItemIsEditable;
    return flags;
}

QVariant TDataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (!m_dataSet || orientation != Qt::Horizontal || role != Qt::DisplayRole || section >= m_columns.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    return m_dataSet->FieldDefs()[m_columns[section]].label();
}
