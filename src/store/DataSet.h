#pragma once

#include "store/Field.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QVariant>
#include <QVector>
#include <deque>
#include <functional>
#include <memory>

enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

// A cursor over rows of the store: browse, edit and insert states, navigation
// with begin- and end-of-data, fields by name and the dataset events. Tables
// and queries derive from it and only read, write and reread rows through the
// protected hooks; the cursor, the record buffer and the states stay here.
// Grids show it through TDataSetModel.
class TDataSet : public QObject
{
    Q_OBJECT
public:
    using TDataSetNotifyEvent = std::function<void(TDataSet &)>;

    explicit TDataSet(QObject *parent = nullptr);
    ~TDataSet() override;

    // Events; each may be unassigned.
    TDataSetNotifyEvent AfterOpen;
    TDataSetNotifyEvent BeforeClose;
    TDataSetNotifyEvent AfterInsert;
    TDataSetNotifyEvent AfterEdit;
    TDataSetNotifyEvent AfterPost;
    TDataSetNotifyEvent AfterCancel;
    TDataSetNotifyEvent AfterDelete;
    TDataSetNotifyEvent AfterScroll;

    void Open();
    void Close();
    bool Active() const { return m_state != TDataSetState::dsInactive; }
    TDataSetState State() const { return m_state; }

    void First();
    void Next();
    void Prior();
    void Last();
    bool Eof() const { return m_eof; }
    bool Bof() const { return m_bof; }
    bool IsEmpty() const;
    // The number of rows; -1 where a one-directional dataset cannot tell.
    virtual int RecordCount() const;
    // 1-based number of the current row; 0 when there is none.
    int RecNo() const;
    // Moves to a 0-based row, as a grid selecting a row does.
    void MoveToRow(int row);
    int CurrentRow() const { return m_row; }

    // Exact, case-sensitive match of one field within the rows the dataset
    // holds; moves to the first match.
    virtual bool Locate(const QString &fieldName, const QVariant &value);

    // The edit states. The dataset runs them itself and asks a concrete
    // dataset only to write rows (internalInsert, internalUpdate,
    // internalDelete); a dataset that writes none refuses them all.
    void Insert();
    // On an empty dataset Edit starts an insert.
    void Edit();
    // A post that fails leaves the dataset in its edit state with the values
    // entered.
    void Post();
    // Gives up the edit: an edited record gets back the values it had when
    // the edit began; a new record is dropped.
    void Cancel();
    void Delete();
    // Rereads the rows, keeping the current row where it still exists and
    // otherwise the place it stood at.
    void Refresh();

    const QList<TFieldDef> &FieldDefs() const { return m_fieldDefs; }
    int FieldCount() const { return static_cast<int>(m_fieldDefs.size()); }
    TField &Fields(int index);
    TField &FieldByName(const QString &name);
    TField *FindField(const QString &name);
    int fieldIndex(const QString &name) const;

    // A control that edits the record in place adds a writer: every post
    // first has it write the values it still holds, and an error it throws
    // stops the post. The writer goes with the control.
    void addRecordWriter(QObject *control, std::function<void()> write);

    // Grid updates are held back between these; Enable tells views once.
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return m_disableCount > 0; }

    // Values of any row without moving the cursor (the current row shows its
    // unposted edits); for views.
    QVariant rowValue(int row, int field);

    // Buffer access for TField.
    QVariant fieldValue(int index) const;
    void setFieldValue(int index, const QVariant &value);
    bool Modified() const { return m_modified; }

signals:
    // Rows were added, removed or reread: views reload.
    void layoutChanged();
    // The cursor moved to another row.
    void currentRowChanged(int row);
    // A value of the current record changed, or the record was reread.
    void recordChanged();
    void stateChanged();
    // The rows are about to be read again with the current row kept: views
    // note where the current row stands so it keeps its place.
    void aboutToReread();

protected:
    // What a concrete dataset provides.
    virtual void internalOpen() = 0;
    virtual void internalClose() = 0;
    // Fills the values of a 0-based row; false when there is no such row.
    virtual bool internalFetch(int row, QVector<QVariant> &values) = 0;
    virtual bool isUniDirectional() const { return false; }
    // Computed values (lookups) of a record, after its stored values are known.
    virtual void computeFields(QVector<QVariant> &) {}

    // Open ends with doAfterOpen and Close starts with doBeforeClose; they
    // fire AfterOpen and BeforeClose. Unlike internalOpen and internalClose
    // they are not called when Refresh or First reads the rows again, so a
    // dataset that keeps something while it is open overrides these.
    virtual void doAfterOpen();
    virtual void doBeforeClose();

    // Writing rows. A dataset whose canModify is true writes them through the
    // hooks below; the others refuse every edit before it starts.
    virtual bool canModify() const { return false; }
    // Values a new record starts with, all null before.
    virtual void initRecord(QVector<QVariant> &) {}
    // Before the row at `row` is edited: makes sure the store still holds it
    // and that the edit starts from the values stored now.
    virtual void internalEdit(int) {}
    // Write a record and answer the 0-based row where it now stands, or -1
    // where it is not among the rows shown (the cursor then takes the place
    // it stood at before). An error thrown here leaves the edit as it was.
    virtual int internalInsert(const QVector<QVariant> &values);
    virtual int internalUpdate(int row, const QVector<QVariant> &values);
    // Removes the row; the row that takes its place becomes current.
    virtual void internalDelete(int row);
    // Reads the rows again and answers where the row that stood at `row`
    // stands now, or -1 where that cannot be found (the cursor then takes the
    // old place). By default the rows are closed and opened again.
    virtual int internalRefresh(int row);

    void setFieldDefs(const QList<TFieldDef> &defs);
    void checkBrowseMode();
    // The rows under the cursor were replaced (another range): the cursor
    // starts again on the first row and views reload.
    void rowsReplaced();

private:
    void checkActive() const;
    void checkCanModify() const;
    void checkRequired() const;
    void writeRecord();
    void setState(TDataSetState state);
    // The one way into and out of the edit states. Back in browse, the cursor
    // is already placed: views reload before the event fires.
    void changeState(TDataSetState state, const TDataSetNotifyEvent &event);
    // Loads row into the buffer, or clears the buffer when it does not exist.
    bool loadRow(int row);
    void resetCursorTo(int row);
    void notifyLayoutChanged();
    void notifyRowsChanged();
    void notifyScrolled();
    void fire(const TDataSetNotifyEvent &event);

    QList<TFieldDef> m_fieldDefs;
    std::deque<TField> m_fields;
    TDataSetState m_state = TDataSetState::dsInactive;
    QVector<QVariant> m_buffer;
    // The record as it was when the edit began, for Cancel.
    QVector<QVariant> m_savedBuffer;
    int m_row = -1;
    int m_rowBeforeInsert = -1;
    bool m_bof = true;
    bool m_eof = true;
    bool m_modified = false;
    int m_disableCount = 0;
    QList<std::pair<QPointer<QObject>, std::function<void()>>> m_recordWriters;
};
