#pragma once

#include <QHash>
#include <QPixmap>
#include <QPointer>
#include <QTableView>

class TDataSet;
class TDataSetModel;

// A read-only grid over a dataset: whole-row selection kept in step with the
// dataset's current row, column widths from the fields' display widths, a
// confirmation before Ctrl+Delete removes a row, and an unchanged new row
// given up when the focus leaves the grid. Cells of a picture field show a
// fixed bitmap stretched to the cell.
class TDBGrid : public QTableView
{
    Q_OBJECT
public:
    TDBGrid(const QString &objectName, QWidget *parent = nullptr);

    void setDataSet(TDataSet *dataSet);
    TDataSet *dataSet() const;
    TDataSetModel *dataSetModel() const { return m_model; }
    // Paints bitmap, stretched, in every cell of the field.
    void setFieldBitmap(const QString &fieldName, const QPixmap &bitmap);
    QPixmap fieldBitmap(int column) const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void applyColumnWidths();
    void selectCurrentRow();
    void rowChosen(const QModelIndex &current);

    TDataSetModel *m_model = nullptr;
    QHash<QString, QPixmap> m_bitmaps;
    bool m_following = false;
};
