#pragma once

#include <QString>
#include <QVariant>
#include <QVariantMap>

struct sqlite3;
struct sqlite3_stmt;

// One prepared statement; values are always bound as parameters, never pasted
// into the SQL text. Throws EDatabaseError on any engine failure.
class SqlStatement
{
public:
    SqlStatement(sqlite3 *db, const QString &sql);
    ~SqlStatement();
    SqlStatement(const SqlStatement &) = delete;
    SqlStatement &operator=(const SqlStatement &) = delete;

    void bind(int index, const QVariant &value); // 1-based
    void bind(const QString &name, const QVariant &value); // ":name"
    void bindAll(const QVariantMap &named);

    // Steps to the next row; false when there is none.
    bool step();
    int columnCount() const;
    QString columnName(int column) const;
    QString columnDeclaredType(int column) const;
    QVariant value(int column) const;

    // Runs a statement that returns no rows; the number of rows it changed.
    int execute();
    // Ready to run again: back before its first step, with no values bound.
    void reset();

private:
    sqlite3 *m_db;
    sqlite3_stmt *m_stmt = nullptr;
    QString m_sql;
};

// Error text for an engine result code, with the clear wording users need for
// the failures they can act on (a locked store, a file that is no store).
QString storeErrorText(sqlite3 *db, int resultCode);
[[noreturn]] void throwStoreError(sqlite3 *db, int resultCode);
