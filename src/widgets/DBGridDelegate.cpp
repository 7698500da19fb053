#include "widgets/DBGridDelegate.h"

#include "store/DataSet.h"
#include "store/DataSetModel.h"
#include "store/Table.h"
#include "widgets/DBGrid.h"
#include "widgets/EditMask.h"
#include "platform/ErrorReport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>

TDBGridDelegate::TDBGridDelegate(TDBGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}

void TDBGridDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (!index.data(TDataSetModel::RemarkRole).toString().isEmpty())
        option->state &= ~QStyle::State_Enabled;
}

void TDBGridDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
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

const TFieldDef *TDBGridDelegate::fieldOf(const QModelIndex &index) const
{
    const int field = m_grid->dataSetModel() ? m_grid->dataSetModel()->fieldIndexOfColumn(index.column()) : -1;
    return field < 0 ? nullptr : &m_grid->dataSet()->FieldDefs()[field];
}

QWidget *TDBGridDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const
{
    TDataSet *ds = m_grid->dataSet();
    const TFieldDef *def = fieldOf(index);
    // Only the current record is edited, and an empty table gets its first
    // row through an insert, not by typing into nothing.
    if (!ds || !def || index.row() != ds->CurrentRow() || (ds->IsEmpty() && ds->State() != TDataSetState::dsInsert))
        return nullptr;
    // The row goes into edit state with the first change the user makes.
    auto startEdit = [ds] {
        if (ds->State() == TDataSetState::dsBrowse)
            reportErrors([ds] { ds->Edit(); });
    };
    QWidget *editor;
    if (def->LookupDataSet) {
        auto *box = new QComboBox(parent);
        TDataSet *lookup = def->LookupDataSet;
        const int result = lookup->fieldIndex(def->LookupResultField);
        const int key = lookup->fieldIndex(def->LookupKeyFields);
        for (int row = 0; row < lookup->RecordCount(); ++row)
            box->addItem(lookup->rowValue(row, result).toString(), lookup->rowValue(row, key));
        // A choice is written at once, so the row shows it.
        auto *self = const_cast<TDBGridDelegate *>(this);
        connect(box, &QComboBox::activated, self, [self, box] { emit self->commitData(box); });
        editor = box;
    } else {
        auto *edit = new QLineEdit(parent);
        connect(edit, &QLineEdit::textEdited, this, startEdit);
        // No length limit: the box would cut a pasted text without a word.
        // The field refuses a text too long for it when it is written, and
        // says so.
        if (!def->EditMask.isEmpty())
            edit->setInputMask(EditMask::toInputMask(def->EditMask));
        editor = edit;
    }
    editor->setAccessibleName(def->label());
    m_openEditor = editor;
    m_openIndex = index;
    return editor;
}

void TDBGridDelegate::destroyEditor(QWidget *editor, const QModelIndex &index) const
{
    if (editor == m_openEditor)
        m_openEditor.clear();
    QStyledItemDelegate::destroyEditor(editor, index);
}

void TDBGridDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    const QString text = index.data().toString();
    if (auto *box = qobject_cast<QComboBox *>(editor)) {
        box->setCurrentIndex(box->findText(text));
        return;
    }
    // Text the user typed stays while other fields of the record change. A
    // mask takes what fits it: "2030-01-02" reads as 2030/01/02.
    auto *edit = qobject_cast<QLineEdit *>(editor);
    if (edit && !edit->isModified())
        edit->setText(text);
}

void TDBGridDelegate::write(QWidget *editor, const QModelIndex &index) const
{
    TDataSet *ds = m_grid->dataSet();
    const TFieldDef *def = fieldOf(index);
    if (!ds || !def || index.row() != ds->CurrentRow())
        return;
    if (auto *box = qobject_cast<QComboBox *>(editor)) {
        const QVariant chosen = box->currentData();
        if (box->currentIndex() < 0 || chosen == ds->FieldByName(def->KeyFields).Value())
            return;
        if (ds->State() == TDataSetState::dsBrowse)
            ds->Edit();
        ds->FieldByName(def->KeyFields).SetValue(chosen);
    } else if (auto *edit = qobject_cast<QLineEdit *>(editor)) {
        // Untouched text leaves the record as it is.
        if (!edit->isModified())
            return;
        if (ds->State() == TDataSetState::dsBrowse)
            ds->Edit();
        TField &field = ds->FieldByName(def->FieldName);
        if (!edit->inputMask().isEmpty() && EditMask::isBlank(edit->text()))
            field.Clear();
        else
            field.SetAsString(edit->text());
    }
}

void TDBGridDelegate::setModelData(QWidget *editor, QAbstractItemModel *, const QModelIndex &index) const
{
    reportErrors([&] { write(editor, index); });
}

void TDBGridDelegate::writeOpenEditor() const
{
    if (m_openEditor && m_openIndex.isValid())
        write(m_openEditor, m_openIndex);
}
