#pragma once

#include <QPointer>
#include <QStyledItemDelegate>

class TDBGrid;
struct TFieldDef;

// Draws a grid's cells (a picture field as the grid's bitmap) and edits them
// in place: a lookup field is chosen from its lookup table's values, a field
// with an edit mask is typed through the mask, others are typed. The row goes
// into edit state with the first change typed or chosen.
class TDBGridDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit TDBGridDelegate(TDBGrid *grid);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void destroyEditor(QWidget *editor, const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;

    // Writes what the open editor holds to the record; throws where the
    // field refuses it.
    void writeOpenEditor() const;

    // A row with a remark (TDataSetModel::RemarkRole) is drawn greyed, as a
    // disabled row is.
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    const TFieldDef *fieldOf(const QModelIndex &index) const;
    void write(QWidget *editor, const QModelIndex &index) const;

    TDBGrid *m_grid;
    mutable QPointer<QWidget> m_openEditor;
    mutable QPersistentModelIndex m_openIndex;
};
