#include "store/SqlStatement.h"

#include "store/DatabaseError.h"

#include <QDate>
#include <QTime>
#include <sqlite3.h>

QString storeErrorText(sqlite3 *db, int resultCode)
{
    const QString engine = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(resultCode));
    const QString file = db ? QString::fromUtf8(sqlite3_db_filename(db, "main")) : QString();
    switch (resultCode & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("The store %1 is locked by another program (%2).").arg(file, engine);
    case SQLITE_NOTADB:
        return QStringLiteral("The file %1 is not a Corvane store (%2).").arg(file, engine);
    case SQLITE_CANTOPEN:
        return QStringLiteral("The store %1 cannot be opened (%2).").arg(file, engine);
    default:
        return engine;
    }
}

void throwStoreError(sqlite3 *db, int resultCode)
{
    throw EDatabaseError(storeErrorText(db, resultCode));
}

SqlStatement::SqlStatement(sqlite3 *db, const QString &sql) : m_db(db), m_sql(sql)
{
    if (!db)
        throw EDatabaseError(QStringLiteral("Database is not connected"));
    const QByteArray utf8 = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(db, utf8.constData(), static_cast<int>(utf8.size()), &m_stmt, nullptr);
    if (rc != SQLITE_OK)
        throwStoreError(db, rc);
}

SqlStatement::~SqlStatement()
{
    sqlite3_finalize(m_stmt);
}

void SqlStatement::bind(int index, const QVariant &value)
{
    int rc = SQLITE_OK;
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        rc = sqlite3_bind_null(m_stmt, index);
        break;
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
        break;
    case QMetaType::Double:
        rc = sqlite3_bind_double(m_stmt, index, value.toDouble());
        break;
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        rc = sqlite3_bind_blob64(m_stmt, index, bytes.constData(), static_cast<sqlite3_uint64>(bytes.size()),
                                 SQLITE_TRANSIENT);
        break;
    }
    case QMetaType::QDate:
        rc = sqlite3_bind_text(m_stmt, index, value.toDate().toString(Qt::ISODate).toUtf8().constData(), -1,
                               SQLITE_TRANSIENT);
        break;
    case QMetaType::QTime:
        rc = sqlite3_bind_text(m_stmt, index, value.toTime().toString(QStringLiteral("HH:mm:ss")).toUtf8().constData(),
                               -1, SQLITE_TRANSIENT);
        break;
    default: {
        const QByteArray text = value.toString().toUtf8();
        rc = sqlite3_bind_text64(m_stmt, index, text.constData(), static_cast<sqlite3_uint64>(text.size()),
                                 SQLITE_TRANSIENT, SQLITE_UTF8);
        break;
    }
    }
    if (rc != SQLITE_OK)
        throwStoreError(m_db, rc);
}

void SqlStatement::bind(const QString &name, const QVariant &value)
{
    const QString key = name.startsWith(u':') ? name : u':' + name;
    const int index = sqlite3_bind_parameter_index(m_stmt, key.toUtf8().constData());
    if (index == 0)
        throw EDatabaseError(QStringLiteral("Parameter '%1' not found").arg(name));
    bind(index, value);
}

void SqlStatement::bindAll(const QVariantMap &named)
{
    for (auto it = named.cbegin(); it != named.cend(); ++it)
        bind(it.key(), it.value());
}

bool SqlStatement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    throwStoreError(m_db, rc);
}

int SqlStatement::columnCount() const
{
    return sqlite3_column_count(m_stmt);
}

QString SqlStatement::columnName(int column) const
{
    return QString::fromUtf8(sqlite3_column_name(m_stmt, column));
}

QString SqlStatement::columnDeclaredType(int column) const
{
    return QString::fromUtf8(sqlite3_column_decltype(m_stmt, column)).toUpper();
}

QVariant SqlStatement::value(int column) const
{
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER:
        return QVariant::fromValue<qint64>(sqlite3_column_int64(m_stmt, column));
    case SQLITE_FLOAT:
        return sqlite3_column_double(m_stmt, column);
    case SQLITE_TEXT:
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column)),
                                 sqlite3_column_bytes(m_stmt, column));
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char *>(sqlite3_column_blob(m_stmt, column)),
                          sqlite3_column_bytes(m_stmt, column));
    default:
        return {};
    }
}

int SqlStatement::execute()
{
    while (step()) {
    }
    return sqlite3_changes(m_db);
}

void SqlStatement::reset()
{
    // The result repeats the last step's failure, which was reported then.
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}
