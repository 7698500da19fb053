#include "widgets/DBGrid.h"

#include "store/DataSet.h"
#include "store/DataSetModel.h"
#include "platform/ErrorReport.h"
#include "platform/Prompts.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

// Draws the grid's bitmap stretched over cells of a picture field.
class BitmapCellDelegate : public QStyledItemDelegate
{
public:
    explicit BitmapCellDelegate(TDBGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const QPixmap bitmap = m_grid->fieldBitmap(index.column());
        if (bitmap.isNull()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        if (option.state & QStyle::State_Selected)
            painter->fillRect(option.rect, option.palette.highlight());
        painter->drawPixmap(option.rect, bitmap);
    }

private:
    TDBGrid *m_grid;
};

}

TDBGrid::TDBGrid(const QString &objectName, QWidget *parent) : QTableView(parent)
{
    setObjectName(objectName);
    setAccessibleName(objectName);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setItemDelegate(new BitmapCellDelegate(this));
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    verticalHeader()->hide();
    horizontalHeader()->setHighlightSections(false);
}

void TDBGrid::setDataSet(TDataSet *dataSet)
{
    delete m_model;
    m_model = new TDataSetModel(dataSet, this);
    setModel(m_model);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        applyColumnWidths();
        selectCurrentRow();
    });
    connect(dataSet, &TDataSet::currentRowChanged, this, &TDBGrid::selectCurrentRow);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this, &TDBGrid::rowChosen);
    applyColumnWidths();
    selectCurrentRow();
}

TDataSet *TDBGrid::dataSet() const
{
    return m_model ? m_model->dataSet() : nullptr;
}

void TDBGrid::setFieldBitmap(const QString &fieldName, const QPixmap &bitmap)
{
    m_bitmaps.insert(fieldName.toLower(), bitmap);
    viewport()->update();
}

QPixmap TDBGrid::fieldBitmap(int column) const
{
    const int field = m_model ? m_model->fieldIndexOfColumn(column) : -1;
    if (field < 0)
        return {};
    return m_bitmaps.value(dataSet()->FieldDefs()[field].FieldName.toLower());
}

void TDBGrid::applyColumnWidths()
{
    if (!m_model)
        return;
    const int charWidth = fontMetrics().averageCharWidth();
    for (int column = 0; column < m_model->columnCount(); ++column) {
        const TFieldDef &def = dataSet()->FieldDefs()[m_model->fieldIndexOfColumn(column)];
        if (def.DisplayWidth > 0)
            setColumnWidth(column, def.DisplayWidth * charWidth + 6);
    }
}

void TDBGrid::selectCurrentRow()
{
    TDataSet *ds = dataSet();
    if (!ds || !ds->Active() || ds->CurrentRow() < 0 || ds->CurrentRow() >= m_model->rowCount())
        return;
    m_following = true;
    const QModelIndex index = m_model->index(ds->CurrentRow(), std::max(currentIndex().column(), 0));
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
    m_following = false;
}

void TDBGrid::rowChosen(const QModelIndex &current)
{
    TDataSet *ds = dataSet();
    if (m_following || !ds || !current.isValid() || current.row() == ds->CurrentRow())
        return;
    reportErrors([&] { ds->MoveToRow(current.row()); });
}

void TDBGrid::keyPressEvent(QKeyEvent *event)
{
    TDataSet *ds = dataSet();
    if (ds && event->key() == Qt::Key_Delete && event->modifiers() == Qt::ControlModifier) {
        if (ds->Active() && !ds->IsEmpty()
            && Prompt::confirm(QStringLiteral("Delete record?"), PromptButtons::OkCancel) == PromptAnswer::Ok)
            reportErrors([ds] { ds->Delete(); });
        return;
    }
    QTableView::keyPressEvent(event);
}

void TDBGrid::focusOutEvent(QFocusEvent *event)
{
    TDataSet *ds = dataSet();
    if (ds && ds->State() == TDataSetState::dsInsert && !ds->Modified())
        reportErrors([ds] { ds->Cancel(); });
    QTableView::focusOutEvent(event);
}
