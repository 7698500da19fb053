#pragma once

#include <QString>
#include <QStringList>

struct sqlite3;

// The connection to the store: one SQLite file in the folder named by the
// "path=" parameter line. Other programs may hold the same file open.
class TDatabase
{
public:
    static constexpr const char *StoreFileName = "corvane.db";

    TDatabase() = default;
    ~TDatabase();
    TDatabase(const TDatabase &) = delete;
    TDatabase &operator=(const TDatabase &) = delete;

    QString DatabaseName;
    QStringList Params;

    // Connects to the store in the folder of the "path=" parameter; the
    // folder is created when it does not exist. Throws EDatabaseError.
    void Open();
    void Close();
    bool Connected() const { return m_db != nullptr; }

    QString folder() const;
    QString fileName() const;
    sqlite3 *handle() const;

    // Changes made between these take effect together or not at all.
    void StartTransaction();
    void Commit();
    void Rollback();
    bool InTransaction() const;
    // Runs work as one transaction: committed when it returns, rolled back
    // when it throws, and the exception passed on.
    template <typename Work>
    void RunInTransaction(Work &&work)
    {
        StartTransaction();
        try {
            work();
            Commit();
        } catch (...) {
            Rollback();
            throw;
        }
    }
    // A part of the transaction that can be given up alone: RollbackTo
    // undoes what followed Savepoint (and does nothing where the engine has
    // already given up the whole transaction); either ends the part.
    void Savepoint(const char *name);
    void ReleaseSavepoint(const char *name);
    void RollbackToSavepoint(const char *name);

    // Runs a script of one or more statements as a whole: either all of it
    // takes effect or, on an error, none of it.
    void executeScript(const QString &sql);

    // The most values one statement may bind on this connection.
    int BoundValueLimit() const;

    // The version number the store keeps of itself; 0 when it keeps none.
    int UserVersion() const;
    void SetUserVersion(int version);
    bool HasTable(const QString &name) const;

private:
    sqlite3 *m_db = nullptr;
};
