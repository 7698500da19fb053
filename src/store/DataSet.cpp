#include "store/DataSet.h"

#include "store/DatabaseError.h"

namespace {

const QString ReadOnlyText = QStringLiteral("Cannot modify a read-only dataset");

}

TDataSet::TDataSet(QObject *parent) : QObject(parent) {}

TDataSet::~TDataSet() = default;

void TDataSet::setFieldDefs(const QList<TFieldDef> &defs)
{
    m_fieldDefs = defs;
    m_fields.clear();
    for (int i = 0; i < m_fieldDefs.size(); ++i)
        m_fields.emplace_back(this, i);
    m_buffer = QVector<QVariant>(m_fieldDefs.size());
}

void TDataSet::setState(TDataSetState state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged();
}

void TDataSet::checkActive() const
{
    if (!Active())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void TDataSet::checkCanModify() const
{
    if (!canModify())
        throw EDatabaseError(ReadOnlyText);
}

void TDataSet::checkBrowseMode()
{
    checkActive();
    if (m_state == TDataSetState::dsEdit || m_state == TDataSetState::dsInsert) {
        if (m_modified)
            Post();
        else
            Cancel();
    }
}

void TDataSet::fire(const TDataSetNotifyEvent &event)
{
    if (event)
        event(*this);
}

void TDataSet::notifyLayoutChanged()
{
    if (m_disableCount == 0)
        emit layoutChanged();
}

void TDataSet::notifyRowsChanged()
{
    if (m_disableCount > 0)
        return;
    emit layoutChanged();
    emit currentRowChanged(m_row);
    emit recordChanged();
}

void TDataSet::notifyScrolled()
{
    fire(AfterScroll);
    if (m_disableCount == 0) {
        emit currentRowChanged(m_row);
        emit recordChanged();
    }
}

void TDataSet::DisableControls()
{
    ++m_disableCount;
}

void TDataSet::EnableControls()
{
    if (m_disableCount == 0 || --m_disableCount > 0)
        return;
    notifyRowsChanged();
}

void TDataSet::Open()
{
    if (Active())
        return;
    internalOpen();
    setState(TDataSetState::dsBrowse);
    resetCursorTo(0);
    m_bof = true;
    notifyLayoutChanged();
    doAfterOpen();
}

void TDataSet::doAfterOpen()
{
    fire(AfterOpen);
}

void TDataSet::doBeforeClose()
{
    fire(BeforeClose);
}

void TDataSet::Close()
{
    if (!Active())
        return;
    if (m_state != TDataSetState::dsBrowse)
        Cancel();
    doBeforeClose();
    internalClose();
    m_row = -1;
    m_bof = m_eof = true;
    m_buffer.fill(QVariant());
    setState(TDataSetState::dsInactive);
    notifyLayoutChanged();
}

bool TDataSet::loadRow(int row)
{
    QVector<QVariant> values(FieldCount());
    if (row < 0 || !internalFetch(row, values))
        return false;
    computeFields(values);
    m_buffer = values;
    m_row = row;
    return true;
}

void TDataSet::rowsReplaced()
{
    resetCursorTo(0);
    m_bof = true;
    notifyLayoutChanged();
    notifyScrolled();
}

void TDataSet::resetCursorTo(int row)
{
    const int count = RecordCount();
    if (count >= 0 && row >= count)
        row = count - 1;
    if (loadRow(std::max(row, 0))) {
        m_bof = m_eof = false;
    } else {
        m_row = -1;
        m_buffer.fill(QVariant());
        m_bof = m_eof = true;
    }
}

bool TDataSet::IsEmpty() const
{
    return m_row < 0;
}

int TDataSet::RecordCount() const
{
    return -1;
}

int TDataSet::RecNo() const
{
    return m_row + 1;
}

void TDataSet::First()
{
    checkBrowseMode();
    if (isUniDirectional() && m_row > 0) {
        internalClose();
        internalOpen();
    }
    resetCursorTo(0);
    m_bof = true;
    notifyScrolled();
}

void TDataSet::Next()
{
    checkBrowseMode();
    if (m_row >= 0 && loadRow(m_row + 1)) {
        m_bof = false;
        notifyScrolled();
    } else {
        m_eof = true;
    }
}

void TDataSet::Prior()
{
    checkBrowseMode();
    if (isUniDirectional())
        throw EDatabaseError(QStringLiteral("Operation not allowed on a unidirectional dataset"));
    if (m_row > 0 && loadRow(m_row - 1)) {
        m_eof = false;
        notifyScrolled();
    } else {
        m_bof = true;
    }
}

void TDataSet::Last()
{
    checkBrowseMode();
    if (isUniDirectional())
        throw EDatabaseError(QStringLiteral("Operation not allowed on a unidirectional dataset"));
    resetCursorTo(RecordCount() - 1);
    m_eof = true;
    notifyScrolled();
}

void TDataSet::MoveToRow(int row)
{
    checkBrowseMode();
    if (row == m_row)
        return;
    if (isUniDirectional() && row < m_row)
        throw EDatabaseError(QStringLiteral("Operation not allowed on a unidirectional dataset"));
    if (loadRow(row)) {
        m_bof = row == 0;
        m_eof = false;
        notifyScrolled();
    }
}

bool TDataSet::Locate(const QString &fieldName, const QVariant &value)
{
    checkBrowseMode();
    const int field = FieldByName(fieldName).Index();
    const QVariant wanted = TField::toStored(m_fieldDefs[field], value);
    QVector<QVariant> values(FieldCount());
    for (int row = isUniDirectional() ? std::max(m_row, 0) : 0; internalFetch(row, values); ++row) {
        if (!values[field].isNull() && values[field].toString() == wanted.toString()) {
            MoveToRow(row);
            return true;
        }
    }
    return false;
}

void TDataSet::changeState(TDataSetState state, const TDataSetNotifyEvent &event)
{
    m_modified = false;
    setState(state);
    if (state == TDataSetState::dsBrowse)
        notifyRowsChanged();
    fire(event);
}

void TDataSet::Insert()
{
    checkCanModify();
    checkBrowseMode();
    m_rowBeforeInsert = m_row;
    m_buffer.fill(QVariant());
    initRecord(m_buffer);
    m_row = RecordCount();
    changeState(TDataSetState::dsInsert, AfterInsert);
}

void TDataSet::Edit()
{
    checkCanModify();
    checkActive();
    if (m_state != TDataSetState::dsBrowse)
        return;
    if (IsEmpty()) {
        Insert();
        return;
    }
    internalEdit(m_row);
    loadRow(m_row);
    m_savedBuffer = m_buffer;
    changeState(TDataSetState::dsEdit, AfterEdit);
}

void TDataSet::checkRequired() const
{
    for (int i = 0; i < FieldCount(); ++i) {
        const TFieldDef &def = m_fieldDefs[i];
        if (def.Required && (m_buffer[i].isNull() || m_buffer[i].toString().isEmpty()))
            throw EDatabaseError(QStringLiteral("Field '%1' must have a value").arg(def.label()));
    }
}

void TDataSet::Post()
{
    checkActive();
    if (m_state == TDataSetState::dsBrowse)
        return;
    writeRecord();
    checkRequired();
    const bool inserting = m_state == TDataSetState::dsInsert;
    const int oldPlace = inserting ? m_rowBeforeInsert : m_row;
    const int written = inserting ? internalInsert(m_buffer) : internalUpdate(m_row, m_buffer);
    resetCursorTo(written >= 0 ? written : oldPlace);
    changeState(TDataSetState::dsBrowse, AfterPost);
}

void TDataSet::addRecordWriter(QObject *control, std::function<void()> write)
{
    m_recordWriters.append({control, std::move(write)});
}

void TDataSet::writeRecord()
{
    m_recordWriters.removeIf([](const auto &writer) { return writer.first.isNull(); });
    const auto writers = m_recordWriters;
    for (const auto &writer : writers) {
        if (writer.first)
            writer.second();
    }
}

void TDataSet::Cancel()
{
    checkActive();
    if (m_state == TDataSetState::dsBrowse)
        return;
    if (m_state == TDataSetState::dsInsert)
        resetCursorTo(m_rowBeforeInsert);
    else
        m_buffer = m_savedBuffer;
    changeState(TDataSetState::dsBrowse, AfterCancel);
}

void TDataSet::Delete()
{
    checkCanModify();
    checkActive();
    if (m_state == TDataSetState::dsInsert) {
        Cancel();
        return;
    }
    if (m_state == TDataSetState::dsEdit)
        Cancel();
    if (IsEmpty())
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    const int row = m_row;
    internalDelete(row);
    resetCursorTo(row);
    changeState(TDataSetState::dsBrowse, AfterDelete);
}

void TDataSet::Refresh()
{
    checkBrowseMode();
    emit aboutToReread();
    const int row = m_row;
    const int found = internalRefresh(row);
    resetCursorTo(found >= 0 ? found : row);
    changeState(TDataSetState::dsBrowse, {});
}

int TDataSet::internalInsert(const QVector<QVariant> &)
{
    throw EDatabaseError(ReadOnlyText);
}

int TDataSet::internalUpdate(int, const QVector<QVariant> &)
{
    throw EDatabaseError(ReadOnlyText);
}

void TDataSet::internalDelete(int)
{
    throw EDatabaseError(ReadOnlyText);
}

int TDataSet::internalRefresh(int)
{
    internalClose();
    internalOpen();
    return -1;
}

TField &TDataSet::Fields(int index)
{
    if (index < 0 || index >= FieldCount())
        throw EDatabaseError(QStringLiteral("Field index out of range"));
    return m_fields[static_cast<size_t>(index)];
}

int TDataSet::fieldIndex(const QString &name) const
{
    for (int i = 0; i < m_fieldDefs.size(); ++i) {
        if (m_fieldDefs[i].FieldName.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

TField *TDataSet::FindField(const QString &name)
{
    const int i = fieldIndex(name);
    return i < 0 ? nullptr : &m_fields[static_cast<size_t>(i)];
}

TField &TDataSet::FieldByName(const QString &name)
{
    TField *field = FindField(name);
    if (!field)
        throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(name));
    return *field;
}

QVariant TDataSet::fieldValue(int index) const
{
    return index >= 0 && index < m_buffer.size() ? m_buffer[index] : QVariant();
}

void TDataSet::setFieldValue(int index, const QVariant &value)
{
    if (m_state != TDataSetState::dsEdit && m_state != TDataSetState::dsInsert)
        throw EDatabaseError(QStringLiteral("Dataset not in edit or insert mode"));
    m_buffer[index] = value;
    computeFields(m_buffer);
    m_modified = true;
    if (m_disableCount == 0)
        emit recordChanged();
}

QVariant TDataSet::rowValue(int row, int field)
{
    if (row == m_row)
        return fieldValue(field);
    QVector<QVariant> values(FieldCount());
    if (!internalFetch(row, values))
        return {};
    computeFields(values);
    return values.value(field);
}
