#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

class TDatabase;

// What a recipient has beyond Name and Email: named values, one row of
// RecipientField each, keyed by the recipient's Unikt. Field names are
// compared without regard to case; a value that is empty is not stored, so
// "no value" reads the same whether it was never given or given blank. The
// caller holds the transaction that writes a recipient's row and its fields
// together.
class TRecipientFields
{
public:
    // Field name and value, in the order they were given.
    using Values = QList<std::pair<QString, QString>>;
    struct Row
    {
        int recipient;
        QString field;
        QString value;
    };

    explicit TRecipientFields(TDatabase &database);

    // Every field name some recipient has, once each, sorted without regard
    // to case.
    QStringList Names() const;
    // The recipient's fields, sorted by name.
    Values Read(int recipient) const;
    // Replaces the recipient's fields by these; a name given twice (in any
    // case) keeps its first non-empty value, a blank name is left out.
    void Write(int recipient, const Values &values);
    // Adds rows in as few statements as the engine's bound on values allows.
    void Insert(const QList<Row> &rows);
    // Gives the recipient to the fields of another, as a copy of it.
    void Copy(int from, int to);

    // The values less blank names and empty values, each name once.
    static Values Cleaned(const Values &values);

private:
    TDatabase &m_db;
};
