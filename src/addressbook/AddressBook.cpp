#include "addressbook/AddressBook.h"

#include "addressbook/GroupNames.h"
#include "store/DM_Databaser.h"
#include "store/SelfRefreshQuery.h"
#include "platform/Prompts.h"

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
        m_dm.Databas.Rollback();
        // The tables show the store as the rollback left it.
        for (TTable *table : {&m_dm.ta_Emails, &m_dm.ta_Group}) {
            if (table->State() != TDataSetState::dsBrowse)
                table->Cancel();
            table->Refresh();
        }
        throw;
    }
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

bool TAddressBook::InsertGroup(const QString &name, const std::optional<QString> &copyFrom)
{
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
        if (copyFrom)
            CopyRecipients(*copyFrom);
    });
    return true;
}

void TAddressBook::CopyRecipients(const QString &source)
{
    TQuery &q = m_dm.qu_Slask;
    q.ClearSQL();
    q.AddSQL("SELECT * FROM EMAILS");
    q.AddSQL("WHERE GRUPP = :source ");
    q.SetParam("source", source);
    q.Open();
    const QString target = CurrentGroup();
    m_dm.ta_Emails.DisableControls();
    try {
        for (; !q.Eof(); q.Next())
            addRecipient(target, q.FieldByName("Name").AsString(), q.FieldByName("Email").AsString());
    } catch (...) {
        m_dm.ta_Emails.EnableControls();
        throw;
    }
    m_dm.ta_Emails.EnableControls();
    q.Close();
}

void TAddressBook::addRecipient(const QString &group, const QString &name, const QString &email)
{
    TTable &emails = m_dm.ta_Emails;
    emails.Insert();
    emails.FieldByName("Grupp").SetAsString(group);
    emails.FieldByName("Name").SetAsString(name);
    emails.FieldByName("Email").SetAsString(email);
    emails.Post();
}

bool TAddressBook::ModifyGroup(const QString &newName)
{
    TTable &groups = m_dm.ta_Group;
    if (groups.IsEmpty())
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
        TQuery &q = m_dm.qu_Slask;
        q.ClearSQL();
        q.AddSQL("UPDATE EMAILS SET Grupp=:new ");
        q.AddSQL("WHERE Grupp = :old ");
        q.SetParam("new", newName);
        q.SetParam("old", oldName);
        q.ExecSQL();
        m_dm.ta_Emails.Refresh();
        groups.FieldByName("Grupp").SetAsString(newName);
        groups.Post();
    });
    return true;
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
    const QString group = CurrentGroup();
    inTransaction([&] {
        m_ownSlask->ClearSQL();
        m_ownSlask->AddSQL("DELETE FROM EMAILS ");
        m_ownSlask->AddSQL("WHERE EMAILS.GRUPP=:group");
        m_ownSlask->SetParam("group", group);
        m_ownSlask->ExecSQL();
        m_ownSlask->Close();
        groups.Delete();
    });
    m_dm.ta_Emails.Refresh();
    groups.Refresh();
    return true;
}

bool TAddressBook::InsertRecipient(const QString &name, const QString &email, const QStringList &alsoInto)
{
    if (m_dm.ta_Group.IsEmpty()) {
        // A recipient belongs to a group; without one it could never be seen again.
        Prompt::error("You must choose a group first!");
        return false;
    }
    if (m_dm.ta_Emails.Locate("Email", email)
        && Prompt::confirm("Email already exists, Continue?") != PromptAnswer::Yes)
        return false;
    const QString current = CurrentGroup();
    inTransaction([&] {
        addRecipient(current, name, email); // its post recounts the current group
        for (const QString &group : alsoInto) {
            addRecipient(group, name, email);
            m_dm.RefreshMemberCount(group);
        }
    });
    return true;
}

bool TAddressBook::ModifyRecipient(const QString &name, const QString &email)
{
    TTable &emails = m_dm.ta_Emails;
    if (emails.IsEmpty())
        return false;
    emails.Edit();
    emails.FieldByName("Grupp").SetAsString(CurrentGroup());
    emails.FieldByName("Name").SetAsString(name);
    emails.FieldByName("Email").SetAsString(email);
    emails.Post();
    return true;
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
