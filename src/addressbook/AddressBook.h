#pragma once

#include "store/RecipientFields.h"

#include <QString>
#include <QStringList>
#include <optional>

class QObject;
class TDM_Databaser;
class TGroupNames;
class TQuery;
struct TFieldDef;

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

    // Why a text cannot be stored as it stands, for the user; empty when it
    // can. Nothing is ever cut to fit: a group needs a name that is not all
    // blanks, and no text may be longer than its field.
    QString GroupNameProblem(const QString &name) const;
    QString NameProblem(const QString &name) const;
    QString EmailProblem(const QString &email) const;

    // A new group, made current; with copyFrom set, holding a copy of that
    // group's recipients, or not made at all when the copy fails. listHeaders:
    // its messages carry the list and unsubscribe headers.
    bool InsertGroup(const QString &name, const std::optional<QString> &copyFrom = std::nullopt,
                     bool listHeaders = true);
    // Copies every recipient of source into the current group, a batch at a
    // time: each batch is one short transaction that ends with the group
    // recounted, so the other program is never shut out of the store for
    // long and Members is right at every commit. A copy that fails takes
    // back what it had copied, and throws.
    void CopyRecipients(const QString &source);
    // Renames the current group; its recipients and schedule entries move
    // with it. With listHeaders set, its messages carry the list headers or
    // not, in the same transaction.
    bool ModifyGroup(const QString &newName, std::optional<bool> listHeaders = std::nullopt);
    // Whether the current group's messages carry the list headers.
    bool CurrentListHeaders() const;
    // Deletes the current group, and its recipients after a question.
    bool DeleteGroup();

    // A new recipient of the current group, and of each of alsoInto, each
    // with the fields.
    bool InsertRecipient(const QString &name, const QString &email, const QStringList &alsoInto = {},
                         const TRecipientFields::Values &fields = {});
    // The current recipient's name and address, and its fields unless they
    // are left out, in one transaction.
    bool ModifyRecipient(const QString &name, const QString &email,
                         const std::optional<TRecipientFields::Values> &fields = std::nullopt);
    // The current recipient's fields; none when there is no recipient.
    TRecipientFields::Values CurrentFields() const;
    // Every field name a recipient has (TRecipientFields::Names).
    QStringList FieldNames() const;
    // Deletes the current recipient at once, without a question.
    bool DeleteRecipient();

private:
    template <typename Work>
    void inTransaction(Work &&work);
    void addRecipient(const QString &group, const QString &name, const QString &email,
                      const TRecipientFields::Values &fields);
    // True when the current group holds the address (compared as addressKey does).
    bool currentGroupHas(const QString &email);
    // Copies up to count rows of source that come after the row id after;
    // returns the number copied and moves after past them.
    int copyBatch(const QString &source, const QString &target, qint64 &after, int count);
    // The current group row and its recipients, a statement each.
    void removeCurrentGroup();
    // Shows the problem, if any; true when there was one.
    static bool refused(const QString &problem);
    static QString sizeProblem(const TFieldDef &field, const QString &what, const QString &text);

    TDM_Databaser &m_dm;
    // The editor's own scratch query, for removing a group's recipients.
    TQuery *m_ownSlask;
};
