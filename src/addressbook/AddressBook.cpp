#include "addressbook/AddressBook.h"

#include "store/AddressKey.h"
#include "addressbook/GroupNames.h"
#include "store/DM_Databaser.h"
#include "store/SelfRefreshQuery.h"
#include "platform/Prompts.h"

#include <QElapsedTimer>
#include <algorithm>
#include <chrono>
#include <thread>

namespace {

// A copy's batches aim at this long each, the recount and commit included:
// far below the second the other program may wait for the store, and long
// enough that the commits cost little beside the rows.
constexpr qint64 CopyBatchMs = 100;
constexpr int FirstCopyBatch = 1000;
constexpr int LargestCopyBatch = 16000;
// Between two batches the store is left alone this long: a write of the
// other program that waits meanwhile gets in (a waiting connection tries
// again every millisecond).
constexpr std::chrono::milliseconds CopyGap(3);

}

TAddressBook::TAddressBook(TDM_Databaser &dataModule)
    : m_dm(dataModule), m_ownSlask(new TSelfRefreshQuery(&dataModule.Databas))
{
}

TAddressBook::~TAddressBook()
{
    delete m_ownSlask;
}

template <typename Work>
void TAddressBook::inTransaction(Work &&work)
{
    m_dm.Databas.StartTransaction();
    try {
        work();
        m_dm.Databas.Commit();
    } catch (...) {
        m_dm.RollbackAndReread();
        throw;
    }
}

bool TAddressBook::refused(const QString &problem)
{
    if (problem.isEmpty())
        return false;
    Prompt::error(problem);
    return true;
}

QString TAddressBook::sizeProblem(const TFieldDef &field, const QString &what, const QString &text)
{
    if (text.size() <= field.Size)
        return {};
    return QStringLiteral("%1 can be at most %2 characters long; this one has %3!").arg(what).arg(field.Size).arg(text.size());
}

QString TAddressBook::GroupNameProblem(const QString &name) const
{
    // A blank name shows as an empty line that no list lets anyone choose.
    if (name.trimmed().isEmpty())
        return QStringLiteral("You must enter a name for the group!");
    return sizeProblem(m_dm.ta_Group.FieldByName("Grupp").def(), QStringLiteral("A group name"), name);
}

QString TAddressBook::NameProblem(const QString &name) const
{
    return sizeProblem(m_dm.ta_Emails.FieldByName("Name").def(), QStringLiteral("A recipient name"), name);
}

QString TAddressBook::EmailProblem(const QString &email) const
{
    return sizeProblem(m_dm.ta_Emails.FieldByName("Email").def(), QStringLiteral("An email address"), email);
}

QStringList TAddressBook::GroupNames(const std::optional<QString> &except) const
{
    return TGroupNames(m_dm, except).Names();
}

TGroupNames *TAddressBook::WatchGroupNames(const std::optional<QString> &except, QObject *parent) const
{
    return new TGroupNames(m_dm, except, parent);
}

QString TAddressBook::CurrentGroup() const
{
    return m_dm.ta_Group.FieldByName("Grupp").AsString();
}

bool TAddressBook::InsertGroup(const QString &name, const std::optional<QString> &copyFrom, bool listHeaders)
{
    if (refused(GroupNameProblem(name)))
        return false;
    TTable &groups = m_dm.ta_Group;
    if (groups.Locate("Grupp", name)) {
        Prompt::error("Group already exists!");
        return false;
    }
    inTransaction([&] {
        groups.Insert();
        groups.FieldByName("Grupp").SetAsString(name);
        groups.FieldByName("Members").SetAsInteger(0);
        groups.Post();
        // A new group has them unless asked otherwise.
        if (!listHeaders)
            m_dm.StoreListHeaders(name, false);
    });
    if (!copyFrom)
        return true;
    try {
        CopyRecipients(*copyFrom);
    } catch (...) {
        // The copy took back what it had copied: the group that was to hold
        // it goes too, as if it had never been asked for.
        inTransaction([&] {
            if (CurrentGroup() == name)
                groups.Delete();
        });
        throw;
    }
    return true;
}

void TAddressBook::CopyRecipients(const QString &source)
{
    const QString target = CurrentGroup();
    // The copies are the target's rows past the store's last row now.
    TQuery &q = m_dm.qu_Slask;
    q.SetStatement({"SELECT max(rowid) FROM EMAILS"}, {});
    q.Open();
    const qint64 lastBefore = q.Fields(0).Value().toLongLong();
    q.Close();
    qint64 after = 0;
    int batch = FirstCopyBatch;
    try {
        for (bool more = true; more;) {
            QElapsedTimer clock;
            clock.start();
            int copied = 0;
            inTransaction([&] {
                copied = copyBatch(source, target, after, batch);
                m_dm.RefreshMemberCount(target);
            });
            more = copied == batch;
            // The next batch is sized by how long this one held the store.
            const qint64 ms = clock.elapsed();
            if (ms < CopyBatchMs / 2)
                batch = std::min(batch * 2, LargestCopyBatch);
            else if (ms > CopyBatchMs * 2)
                batch = std::max(batch / 2, 1);
            if (more)
                std::this_thread::sleep_for(CopyGap);
        }
    } catch (...) {
        // A group that holds part of what it was to get would be sent to as
        // if it were whole: what was copied goes again.
        inTransaction([&] {
            q.SetStatement({"DELETE FROM EMAILS", "WHERE Grupp = :target AND rowid > :lastBefore"},
                           {{"target", target}, {"lastBefore", lastBefore}});
            q.ExecSQL();
            m_dm.RefreshMemberCount(target);
        });
        m_dm.ta_Emails.Refresh();
        throw;
    }
    m_dm.ta_Emails.Refresh();
}

int TAddressBook::copyBatch(const QString &source, const QString &target, qint64 &after, int count)
{
    TQuery &q = m_dm.qu_Slask;
    q.SetStatement({"SELECT max(rowid), COUNT(*) FROM",
                    "(SELECT rowid FROM EMAILS WHERE Grupp = :source AND rowid > :after ORDER BY rowid LIMIT :count)"},
                   {{"source", source}, {"after", after}, {"count", count}});
    q.Open();
    const qint64 last = q.Fields(0).Value().toLongLong();
    const int rows = q.Fields(1).AsInteger();
    q.Close();
    if (rows == 0)
        return 0;
    // The copies get fresh numbers, in the order of their source rows;
    // the picture stays with the source.
    const int first = m_dm.TakeRecipientNumbers(rows);
    q.SetStatement({"INSERT INTO EMAILS (Name, Email, Unikt, Grupp)",
                    "SELECT Name, Email, :first - 1 + row_number() OVER (ORDER BY rowid), :target FROM EMAILS",
                    "WHERE Grupp = :source AND rowid > :after AND rowid <= :last ORDER BY rowid"},
                   {{"first", first}, {"target", target}, {"source", source}, {"after", after}, {"last", last}});
    q.ExecSQL();
    // Each copy takes its source row's further fields, under the number the
    // copy got above.
    q.SetStatement({"INSERT INTO RecipientField (Recipient, Field, Value)",
                    "SELECT copies.Unikt, f.Field, f.Value FROM",
                    "(SELECT Unikt AS Source, :first - 1 + row_number() OVER (ORDER BY rowid) AS Unikt FROM EMAILS",
                    " WHERE Grupp = :source AND rowid > :after AND rowid <= :last) copies",
                    "JOIN RecipientField f ON f.Recipient = copies.Source"},
                   {{"first", first}, {"source", source}, {"after", after}, {"last", last}});
    q.ExecSQL();
    after = last;
    return rows;
}

bool TAddressBook::ModifyGroup(const QString &newName, std::optional<bool> listHeaders)
{
    TTable &groups = m_dm.ta_Group;
    if (groups.IsEmpty())
        return false;
    if (refused(GroupNameProblem(newName)))
        return false;
    const QString oldName = CurrentGroup();
    // Taking another group's name would merge the two groups' recipients
    // with no way back; the same name, or another case of it, is a rename.
    if (newName != oldName && m_dm.GroupExists(newName)) {
        Prompt::error("Group already exists!");
        return false;
    }
    inTransaction([&] {
        groups.Edit();
        // The recipients move with their group, and so do the schedule's
        // entries: left on the old name they would send to nobody.
        TQuery &q = m_dm.qu_Slask;
        const std::pair<QLatin1String, QLatin1String> namedBy[] = {{QLatin1String("EMAILS"), QLatin1String("Grupp")},
                                                                   {QLatin1String("Agent"), QLatin1String("\"Group\"")}};
        for (const auto &[table, column] : namedBy) {
            q.SetStatement({QStringLiteral("UPDATE %1 SET %2=:new ").arg(table, column),
                            QStringLiteral("WHERE %1 = :old ").arg(column)},
                           {{"new", newName}, {"old", oldName}});
            q.ExecSQL();
        }
        m_dm.ta_Emails.Refresh();
        groups.FieldByName("Grupp").SetAsString(newName);
        groups.Post();
        if (listHeaders)
            m_dm.StoreListHeaders(newName, *listHeaders);
    });
    if (m_dm.ta_Agent.Active())
        m_dm.ta_Agent.Refresh();
    return true;
}

bool TAddressBook::CurrentListHeaders() const
{
    return !m_dm.ta_Group.IsEmpty() && m_dm.ListHeadersFor(CurrentGroup());
}

void TAddressBook::removeCurrentGroup()
{
    m_ownSlask->ClearSQL();
    m_ownSlask->AddSQL("DELETE FROM EMAILS ");
    m_ownSlask->AddSQL("WHERE EMAILS.GRUPP=:group");
    m_ownSlask->SetParam("group", CurrentGroup());
    m_ownSlask->ExecSQL();
    m_ownSlask->Close();
    m_dm.ta_Group.Delete();
}

bool TAddressBook::DeleteGroup()
{
    TTable &groups = m_dm.ta_Group;
    if (groups.IsEmpty())
        return false;
    if (m_dm.ta_Emails.IsEmpty()) {
        if (Prompt::confirm("Are you sure?") != PromptAnswer::Yes)
            return false;
        groups.Delete();
        return true;
    }
    if (Prompt::confirm("This Group is not empty, Do you want to delete all email?") != PromptAnswer::Yes)
        return false;
    inTransaction([&] { removeCurrentGroup(); });
    m_dm.ta_Emails.Refresh();
    groups.Refresh();
    return true;
}

bool TAddressBook::currentGroupHas(const QString &email)
{
    // Only an address with the same local part can be the same; the index
    // on the group and the address finds those without reading the group.
    const qsizetype at = email.lastIndexOf(u'@');
    if (at < 0)
        return m_dm.ta_Emails.Locate("Email", email);
    const QString prefix = email.left(at + 1);
    TQuery q(&m_dm.Databas);
    q.UniDirectional = true;
    q.SetStatement({"SELECT Email FROM EMAILS",
                    "WHERE Grupp = :group AND Email >= :prefix AND Email < :beyond"},
                   {{"group", CurrentGroup()}, {"prefix", prefix}, {"beyond", email.left(at) + u'A'}});
    const QString key = addressKey(email);
    for (q.Open(); !q.Eof(); q.Next()) {
        if (addressKey(q.Fields(0).AsString()) == key)
            return true;
    }
    return false;
}

bool TAddressBook::InsertRecipient(const QString &name, const QString &email, const QStringList &alsoInto,
                                   const TRecipientFields::Values &fields)
{
    if (m_dm.ta_Group.IsEmpty()) {
        // A recipient belongs to a group; without one it could never be seen again.
        Prompt::error("You must choose a group first!");
        return false;
    }
    if (refused(NameProblem(name)) || refused(EmailProblem(email)))
        return false;
    if (currentGroupHas(email) && Prompt::confirm("Email already exists, Continue?") != PromptAnswer::Yes)
        return false;
    const QString current = CurrentGroup();
    inTransaction([&] {
        addRecipient(current, name, email, fields); // its post recounts the current group
        for (const QString &group : alsoInto) {
            addRecipient(group, name, email, fields);
            m_dm.RefreshMemberCount(group);
        }
    });
    return true;
}

void TAddressBook::addRecipient(const QString &group, const QString &name, const QString &email,
                                const TRecipientFields::Values &fields)
{
    TTable &emails = m_dm.ta_Emails;
    emails.Insert();
    emails.FieldByName("Grupp").SetAsString(group);
    emails.FieldByName("Name").SetAsString(name);
    emails.FieldByName("Email").SetAsString(email);
    // Numbered as the row was inserted; the fields are keyed on it.
    const int recipient = emails.FieldByName("Unikt").AsInteger();
    emails.Post();
    if (!fields.isEmpty())
        TRecipientFields(m_dm.Databas).Write(recipient, fields);
}

bool TAddressBook::ModifyRecipient(const QString &name, const QString &email,
                                   const std::optional<TRecipientFields::Values> &fields)
{
    TTable &emails = m_dm.ta_Emails;
    if (emails.IsEmpty())
        return false;
    if (refused(NameProblem(name)) || refused(EmailProblem(email)))
        return false;
    const int recipient = emails.FieldByName("Unikt").AsInteger();
    const QString group = CurrentGroup();
    inTransaction([&] {
        emails.Edit();
        emails.FieldByName("Grupp").SetAsString(group);
        emails.FieldByName("Name").SetAsString(name);
        emails.FieldByName("Email").SetAsString(email);
        emails.Post();
        if (fields)
            TRecipientFields(m_dm.Databas).Write(recipient, *fields);
    });
    return true;
}

QStringList TAddressBook::FieldNames() const
{
    return TRecipientFields(m_dm.Databas).Names();
}

TRecipientFields::Values TAddressBook::CurrentFields() const
{
    TTable &emails = m_dm.ta_Emails;
    if (emails.IsEmpty())
        return {};
    return TRecipientFields(m_dm.Databas).Read(emails.FieldByName("Unikt").AsInteger());
}

bool TAddressBook::DeleteRecipient()
{
    TTable &emails = m_dm.ta_Emails;
    if (emails.Eof())
        return false;
    emails.Delete();
    m_dm.RefreshMemberCount(CurrentGroup());
    return true;
}
