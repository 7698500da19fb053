#pragma once

#include "store/Field.h"

#include <QList>
#include <QObject>
#include <QVariant>
#include <QVector>
#include <deque>
#include <functional>
#include <memory>

enum class TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

// A cursor over rows of the store: browse, edit and insert states, navigation
// with begin- and end-of-data, fields by name and the dataset events. Tables
// and queries derive from it; grids show it through TDataSetModel.
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

    virtual void Insert();
    virtual void Edit();
    virtual void Post();
    virtual void Cancel();
    virtual void Delete();
    // Rereads the rows, keeping the current row where it still exists.
    virtual void Refresh();

    const QList<TFieldDef> &FieldDefs() const { return m_fieldDefs; }
    int FieldCount() const { return static_cast<int>(m_fieldDefs.size()); }
    TField &Fields(int index);
    TField &FieldByName(const QString &name);
    TField *FindField(const QString &name);
    int fieldIndex(const QString &name) const;

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

protected:
    // What a concrete dataset provides.
    virtual void internalOpen() = 0;
    virtual void internalClose() = 0;
    // Fills the values of a 0-based row; false when there is no such row.
    virtual bool internalFetch(int row, QVector<QVariant> &values) = 0;
    virtual bool isUniDirectional() const { return false; }
    // Computed values (lookups) of a record, after its stored values are known.
    virtual void computeFields(QVector<QVariant> &) {}

    void setFieldDefs(const QList<TFieldDef> &defs);
    void setState(TDataSetState state);
    void checkActive() const;
    void checkBrowseMode();
    // Loads row into the buffer, or clears the buffer when it does not exist.
    bool loadRow(int row);
    void resetCursorTo(int row);
    void notifyLayoutChanged();
    void notifyScrolled();
    void fire(const TDataSetNotifyEvent &event);

    QVector<QVariant> m_buffer;
    QVector<QVariant> m_savedBuffer;
    int m_row = -1;
    int m_rowBeforeInsert = -1;
    bool m_bof = true;
    bool m_eof = true;
    bool m_modified = false;

private:
    QList<TFieldDef> m_fieldDefs;
    std::deque<TField> m_fields;
    TDataSetState m_state = TDataSetState::dsInactive;
    int m_disableCount = 0;
    bool m_layoutPending = false;
};
