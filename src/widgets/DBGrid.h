#pragma once

#include <QHash>
#include <QPixmap>
#include <QPointer>
#include <QTableView>
#include <functional>
#include <optional>

class TDataSet;
class TDataSetModel;
struct TFieldDef;
class TDBGridDelegate;

// A grid over a dataset: whole-row selection kept in step with the dataset's
// current row, column widths from the fields' display widths (or given in
// pixels), a confirmation before Ctrl+Delete removes a row, and an unchanged
// new row given up when the focus moves to another control. Cells of a
// picture field show a fixed bitmap stretched to the cell. When the rows are
// read again the current row keeps its place in the window, and a window
// scrolled away from it stays where it is. With editing on, cells are edited
// in place.
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

    // The columns shown, in order, each a field and its width in pixels.
    struct Column
    {
        QString fieldName;
        int width;
    };
    void setColumns(const QList<Column> &columns);
    // Typing, F2 or a click on the current row's cell opens an editor on it;
    // the row goes into edit state with the first change.
    void setEditing(bool editing);
    // A read-only grid only shows the rows: no editing, no Ctrl+Delete.
    void setReadOnly(bool readOnly);

    // Who asks before Ctrl+Delete removes the current row.
    enum class DeleteQuestion { Grid, Command };
    // Ctrl+Delete runs command in place of deleting the row itself, where a
    // row's delete is more than the row (its details go too, a count
    // follows). With DeleteQuestion::Command the command asks its own
    // question and the grid's "Delete record?" is not asked.
    void setDeleteCommand(std::function<void()> command, DeleteQuestion question);

signals:
    // The user moved to another column.
    void columnEntered(int column);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    // Where the window stood before a reread: its top row, and the current
    // row's distance from it while it was in view.
    struct Place
    {
        int top;
        int offset;
    };

    void applyColumnWidths();
    int fullValueWidth(const TFieldDef &def) const;
    void selectCurrentRow(bool scroll = true);
    void modelWasReset();
    void notePlace();
    void restorePlace(const Place &place);
    void rowChosen(const QModelIndex &current);
    void cellChosen(const QModelIndex &current);

    TDataSetModel *m_model = nullptr;
    TDBGridDelegate *m_delegate;
    QHash<QString, QPixmap> m_bitmaps;
    QList<Column> m_columns;
    std::optional<Place> m_place;
    int m_column = 0;
    bool m_following = false;
    bool m_readOnly = false;
    std::function<void()> m_deleteCommand;
    DeleteQuestion m_deleteQuestion = DeleteQuestion::Grid;
};
