#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QObject;
class TDM_Databaser;
class TGroupNames;
class TQuery;

// What the group editor does to the address book, without its windows: the
// current group and recipient are the current rows of the data module's
// tables. Questions and refusals go to the user through the prompt service;
// each operation returns false when it changed nothing. Engine errors are
// thrown after every change of the operation has been undone.
class TAddressBook
{
public:
    explicit TAddressBook(TDM_Databaser &dataModule);
    ~TAddressBook();

    // Every group name, or every one but the named group, in the store's order.
    QStringList GroupNames(const std::optional<QString> &except = std::nullopt) const;
    // The same names, kept current while the object lives.
    TGroupNames *WatchGroupNames(const std::optional<QString> &except, QObject *parent) const;
    QString CurrentGroup() const;

    // A new group, made current; with copyFrom set, holding a copy of that
    // group's recipients.
    bool InsertGroup(const QString &name, const std::optional<QString> &copyFrom = std::nullopt);
    // Copies every recipient of source into the current group.
    void CopyRecipients(const QString &source);
    // Renames the current group and moves its recipients with it.
    bool ModifyGroup(const QString &newName);
    // Deletes the current group, and its recipients after a question.
    bool DeleteGroup();

    // A new recipient of the current group, and of each of alsoInto.
    bool InsertRecipient(const QString &name, const QString &email, const QStringList &alsoInto = {});
    bool ModifyRecipient(const QString &name, const QString &email);
    // Deletes the current recipient at once, without a question.
    bool DeleteRecipient();

private:
    template <typename Work>
    void inTransaction(Work &&work);
    void addRecipient(const QString &group, const QString &name, const QString &email);

    TDM_Databaser &m_dm;
    // The editor's own scratch query, for removing a group's recipients.
    TQuery *m_ownSlask;
};
