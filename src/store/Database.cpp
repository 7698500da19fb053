#include "store/Database.h"

#include "store/DatabaseError.h"
#include "store/SqlStatement.h"

#include <QDir>
#include <chrono>
#include <sqlite3.h>
#include <thread>

namespace {

// Long enough to ride out the other program's short writes, short enough
// that a store held by a hung program is reported rather than waited on.
constexpr std::chrono::milliseconds BusyTimeout(3000);
// How often a connection that waits for the store tries again. The engine's
// own waiting sleeps ever longer, up to a tenth of a second at a time, and
// so misses the short gaps a long task of the other program leaves between
// its transactions: it could wait out the whole task. Trying every
// millisecond, it gets in at the first gap.
constexpr std::chrono::milliseconds BusyPoll(1);

int waitForStore(void *, int tries)
{
    thread_local std::chrono::steady_clock::time_point since;
    const auto now = std::chrono::steady_clock::now();
    if (tries == 0)
        since = now;
    if (now - since >= BusyTimeout)
        return 0;
    std::this_thread::sleep_for(BusyPoll);
    return 1;
}

void exec(sqlite3 *db, const char *sql)
{
    char *error = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &error);
    sqlite3_free(error);
    if (rc != SQLITE_OK)
        throwStoreError(db, rc);
}

}

TDatabase::~TDatabase()
{
    Close();
}

QString TDatabase::folder() const
{
    for (const QString &line : Params) {
        if (line.startsWith(QLatin1String("path="), Qt::CaseInsensitive))
            return line.mid(5);
    }
    return {};
}

QString TDatabase::fileName() const
{
    return QDir(folder()).filePath(QString::fromLatin1(StoreFileName));
}

void TDatabase::Open()
{
    if (m_db)
        return;
    if (folder().isEmpty())
        throw EDatabaseError(QStringLiteral("No folder is set for the database %1").arg(DatabaseName));
    if (!QDir().mkpath(folder()))
        throw EDatabaseError(QStringLiteral("The data folder %1 cannot be created").arg(folder()));
    sqlite3 *db = nullptr;
    const int rc = sqlite3_open_v2(fileName().toUtf8().constData(), &db,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const QString text = storeErrorText(db, rc);
        sqlite3_close(db);
        throw EDatabaseError(text);
    }
    sqlite3_busy_handler(db, waitForStore, nullptr);
    try {
        // Reading the schema finds a file that is not a store before anything
        // is written to it.
        exec(db, "SELECT count(*) FROM sqlite_schema");
        exec(db, "PRAGMA journal_mode=WAL");
        // A group send commits its resume position for every member. With the
        // write-ahead log a commit needs no flush to the disk to stay whole:
        // a program killed at any moment leaves every commit it made, and
        // even a power cut only loses the last ones, never the store's
        // consistency; the log is flushed at each checkpoint.
        exec(db, "PRAGMA synchronous=NORMAL");
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    m_db = db;
}

void TDatabase::Close()
{
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

sqlite3 *TDatabase::handle() const
{
    if (!m_db)
        throw EDatabaseError(QStringLiteral("Database %1 is not connected").arg(DatabaseName));
    return m_db;
}

void TDatabase::executeScript(const QString &sql)
{
    sqlite3 *db = handle();
    exec(db, "BEGIN IMMEDIATE");
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        const QString text = storeErrorText(db, rc); // before the rollback clears it
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        throw EDatabaseError(text);
    }
    exec(db, "COMMIT");
}

int TDatabase::BoundValueLimit() const
{
    return sqlite3_limit(handle(), SQLITE_LIMIT_VARIABLE_NUMBER, -1);
}

int TDatabase::UserVersion() const
{
    SqlStatement pragma(handle(), QStringLiteral("PRAGMA user_version"));
    return pragma.step() ? pragma.value(0).toInt() : 0;
}

void TDatabase::SetUserVersion(int version)
{
    // A pragma takes no parameters; the number is formatted, never text.
    exec(handle(), QByteArray("PRAGMA user_version = " + QByteArray::number(version)).constData());
}

bool TDatabase::HasTable(const QString &name) const
{
    SqlStatement query(handle(), QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name = ?"));
    query.bind(1, name);
    return query.step() && query.value(0).toInt() > 0;
}

void TDatabase::StartTransaction()
{
    exec(handle(), "BEGIN IMMEDIATE");
}

void TDatabase::Commit()
{
    exec(handle(), "COMMIT");
}

void TDatabase::Rollback()
{
    if (InTransaction())
        exec(handle(), "ROLLBACK");
}

bool TDatabase::InTransaction() const
{
    return m_db && sqlite3_get_autocommit(m_db) == 0;
}

void TDatabase::Savepoint(const char *name)
{
    exec(handle(), QByteArray("SAVEPOINT ").append(name).constData());
}

void TDatabase::ReleaseSavepoint(const char *name)
{
    exec(handle(), QByteArray("RELEASE ").append(name).constData());
}

void TDatabase::RollbackToSavepoint(const char *name)
{
    if (InTransaction())
        exec(handle(), QByteArray("ROLLBACK TO ").append(name).append("; RELEASE ").append(name).constData());
}
