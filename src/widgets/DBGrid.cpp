#include "widgets/DBGrid.h"

#include "store/DataSet.h"
#include "store/DataSetModel.h"
#include "widgets/DBGridDelegate.h"
#include "platform/ErrorReport.h"
#include "platform/Prompts.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>

TDBGrid::TDBGrid(const QString &objectName, QWidget *parent)
    : QTableView(parent), m_delegate(new TDBGridDelegate(this))
{
    setObjectName(objectName);
    setAccessibleName(objectName);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The scroll bar counts rows, so a row's place in the window is a number.
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setShowGrid(true);
    setItemDelegate(m_delegate);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    verticalHeader()->hide();
    horizontalHeader()->setHighlightSections(false);
}

void TDBGrid::setDataSet(TDataSet *dataSet)
{
    delete m_model;
    m_model = new TDataSetModel(dataSet, this);
    QStringList fields;
    for (const Column &column : std::as_const(m_columns))
        fields.append(column.fieldName);
    m_model->setColumnFields(fields);
    m_model->setEditable(editTriggers() != NoEditTriggers);
    setModel(m_model);
    connect(m_model, &QAbstractItemModel::modelReset, this, &TDBGrid::modelWasReset);
    connect(dataSet, &TDataSet::currentRowChanged, this, [this] { selectCurrentRow(); });
    connect(dataSet, &TDataSet::aboutToReread, this, &TDBGrid::notePlace);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this, &TDBGrid::rowChosen);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &TDBGrid::cellChosen);
    // A post takes along what the open editor holds.
    dataSet->addRecordWriter(this, [this, dataSet] {
        if (this->dataSet() == dataSet)
            m_delegate->writeOpenEditor();
    });
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

void TDBGrid::setColumns(const QList<Column> &columns)
{
    m_columns = columns;
    if (!m_model)
        return;
    QStringList fields;
    for (const Column &column : columns)
        fields.append(column.fieldName);
    m_model->setColumnFields(fields);
}

void TDBGrid::setEditing(bool editing)
{
    setEditTriggers(editing ? AnyKeyPressed | EditKeyPressed | SelectedClicked : NoEditTriggers);
    if (m_model)
        m_model->setEditable(editing);
}

void TDBGrid::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    if (readOnly)
        setEditing(false);
}

int TDBGrid::fullValueWidth(const TFieldDef &def) const
{
    // The widest value of a date or a time field, and the cell's margins.
    const QString widest = def.DataType == TFieldType::ftDate   ? QStringLiteral("0000-00-00")
                           : def.DataType == TFieldType::ftTime ? QStringLiteral("00:00:00")
                                                                : QString();
    if (widest.isEmpty())
        return 0;
    return fontMetrics().horizontalAdvance(widest) + 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 8;
}

void TDBGrid::applyColumnWidths()
{
    if (!m_model)
        return;
    const int charWidth = fontMetrics().averageCharWidth();
    for (int column = 0; column < m_model->columnCount(); ++column) {
        const TFieldDef &def = dataSet()->FieldDefs()[m_model->fieldIndexOfColumn(column)];
        const int given = column < m_columns.size() ? m_columns[column].width : 0;
        // Widths given in pixels were drawn for a smaller font: a date or a
        // time still shows whole.
        if (given > 0)
            setColumnWidth(column, std::max(given, fullValueWidth(def)));
        else if (def.DisplayWidth > 0)
            setColumnWidth(column, def.DisplayWidth * charWidth + 6);
    }
}

void TDBGrid::selectCurrentRow(bool scroll)
{
    TDataSet *ds = dataSet();
    if (!ds || !ds->Active() || ds->CurrentRow() < 0 || ds->CurrentRow() >= m_model->rowCount())
        return;
    // Already there: the window stays where the user has it.
    if (currentIndex().row() == ds->CurrentRow())
        return;
    m_following = true;
    const QModelIndex index = m_model->index(ds->CurrentRow(), std::clamp(m_column, 0, m_model->columnCount() - 1));
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (scroll)
        scrollTo(index);
    m_following = false;
}

void TDBGrid::notePlace()
{
    const int top = rowAt(0);
    if (top < 0) {
        m_place.reset();
        return;
    }
    int bottom = rowAt(viewport()->height() - 1);
    if (bottom < 0)
        bottom = m_model->rowCount() - 1;
    const int current = currentIndex().row();
    m_place = Place{top, current >= top && current <= bottom ? current - top : -1};
}

void TDBGrid::restorePlace(const Place &place)
{
    TDataSet *ds = dataSet();
    // The current row stays as far below the top as it was, as far as the
    // rows before it allow; a window away from it keeps its top row.
    const int top = place.offset >= 0 ? std::max(ds->CurrentRow() - place.offset, 0) : place.top;
    updateGeometries();
    verticalScrollBar()->setValue(top);
}

void TDBGrid::modelWasReset()
{
    applyColumnWidths();
    if (m_place) {
        const Place place = *m_place;
        m_place.reset();
        selectCurrentRow(false);
        restorePlace(place);
    } else {
        selectCurrentRow();
    }
}

void TDBGrid::rowChosen(const QModelIndex &current)
{
    TDataSet *ds = dataSet();
    if (m_following || !ds || !current.isValid() || current.row() == ds->CurrentRow())
        return;
    if (!reportErrors([&] { ds->MoveToRow(current.row()); })) {
        // The dataset stayed (a post refused): so does the grid.
        QMetaObject::invokeMethod(this, [this] { selectCurrentRow(); }, Qt::QueuedConnection);
    }
}

void TDBGrid::cellChosen(const QModelIndex &current)
{
    if (m_following || !current.isValid() || current.column() == m_column)
        return;
    m_column = current.column();
    emit columnEntered(m_column);
}

void TDBGrid::keyPressEvent(QKeyEvent *event)
{
    TDataSet *ds = dataSet();
    if (ds && !m_readOnly && event->key() == Qt::Key_Delete && event->modifiers() == Qt::ControlModifier) {
        if (!ds->Active() || ds->IsEmpty())
            return;
        if (m_deleteQuestion == DeleteQuestion::Grid
            && Prompt::confirm(QStringLiteral("Delete record?"), PromptButtons::OkCancel) != PromptAnswer::Ok)
            return;
        if (m_deleteCommand)
            m_deleteCommand();
        else
            reportErrors([ds] { ds->Delete(); });
        return;
    }
    QTableView::keyPressEvent(event);
}

void TDBGrid::setDeleteCommand(std::function<void()> command, DeleteQuestion question)
{
    m_deleteCommand = std::move(command);
    m_deleteQuestion = question;
}

void TDBGrid::focusOutEvent(QFocusEvent *event)
{
    // Focus going into a cell's editor, to a pop-up or to another window
    // (a dialog the row's editing opened) does not leave the grid.
    QWidget *next = QApplication::focusWidget();
    const bool leaves = event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason
                        && !(next && isAncestorOf(next));
    TDataSet *ds = dataSet();
    if (leaves && ds && ds->State() == TDataSetState::dsInsert && !ds->Modified())
        reportErrors([ds] { ds->Cancel(); });
    QTableView::focusOutEvent(event);
}
