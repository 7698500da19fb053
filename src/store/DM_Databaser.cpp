#include "store/DM_Databaser.h"

#include "store/DatabaseError.h"
#include "platform/Clock.h"
#include "platform/ErrorReport.h"
#include "platform/Exception.h"
#include "platform/ProfileIni.h"
#include "platform/Prompts.h"
#include "platform/TextFile.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

TFieldDef field(const QString &name, TFieldType type, int size = 0)
{
    TFieldDef def;
    def.FieldName = name;
    def.DataType = type;
    def.Size = size;
    return def;
}

TFieldDef shown(TFieldDef def, int width, const QString &label = QString())
{
    def.DisplayWidth = width;
    def.DisplayLabel = label;
    return def;
}

TFieldDef hidden(TFieldDef def)
{
    def.Visible = false;
    return def;
}

TFieldDef required(TFieldDef def)
{
    def.Required = true;
    return def;
}

QList<TFieldDef> groupFields()
{
    return {shown(field("Picture", TFieldType::ftGraphic), 5, " "),
            shown(field("Grupp", TFieldType::ftString, 50), 42, "Group"),
            hidden(field("LastMail", TFieldType::ftInteger)),
            shown(field("Members", TFieldType::ftInteger), 10),
            shown(field("LastSent", TFieldType::ftDate), 10)};
}

QList<TFieldDef> emailFields()
{
    return {shown(field("Picture", TFieldType::ftGraphic), 4, " "),
            shown(field("Name", TFieldType::ftString, 30), 32),
            // The longest address a mail server takes (a path of 256 with
            // its angle brackets); the store keeps it whole.
            shown(field("Email", TFieldType::ftString, 254), 32),
            hidden(field("Unikt", TFieldType::ftInteger)),
            hidden(field("Grupp", TFieldType::ftString, 50))};
}

QList<TFieldDef> agentFields(TTable *groups)
{
    TFieldDef sent = shown(field("DeleteAfter", TFieldType::ftBoolean), 0, "Sent");
    sent.ReadOnly = true;
    TFieldDef lookup = shown(field("Grupp", TFieldType::ftLookup), 30, "Group");
    lookup.LookupDataSet = groups;
    lookup.KeyFields = "Group";
    lookup.LookupKeyFields = "Grupp";
    lookup.LookupResultField = "Grupp";
    TFieldDef date = required(field("Date", TFieldType::ftDate));
    date.EditMask = "!0000/00/00;1;_";
    TFieldDef time = required(field("Time", TFieldType::ftTime));
    time.EditMask = "!90:00;1;_";
    return {required(field("Group", TFieldType::ftString, 50)),
            required(shown(field("MsgFile", TFieldType::ftString, 255), 0, "Messagefile")),
            sent, lookup, date, time};
}

// Upgrading cannot make a newer store older.
QString newerStoreText(int version)
{
    return QStringLiteral("The Database is version %1, newer than this program can use (version %2)!")
        .arg(version)
        .arg(TDM_Databaser::RequiredVersion);
}

QList<TFieldDef> generalFields()
{
    return {field("LopNr", TFieldType::ftInteger), field("LopNr2", TFieldType::ftInteger)};
}

}

TDM_Databaser::TDM_Databaser(const QString &programFolder, QObject *parent)
    : TDM_Databaser(programFolder, programFolder, parent)
{
}

TDM_Databaser::TDM_Databaser(const QString &programFolder, const QString &filesFolder, QObject *parent)
    : QObject(parent),
      ta_Group(&Databas, "GROUPS", groupFields()),
      ta_Emails(&Databas, "EMAILS", emailFields()),
      ta_Agent(&Databas, "Agent", agentFields(&ta_Group)),
      ta_General(&Databas, "general", generalFields()),
      qu_Slask(&Databas),
      qu_Uppdat(&Databas),
      m_programFolder(programFolder),
      m_filesFolder(filesFolder),
      m_valueQuery(&Databas)
{
    Databas.DatabaseName = "CORVAN";
    ta_Group.SetIndexFieldName("Grupp");
    ta_Emails.SetIndexFieldName("Grupp");
    ta_Emails.SetMasterSource(&ta_Group, "Grupp", "Grupp");
    ta_Emails.AfterInsert = [this](TDataSet &ds) { ta_EmailsAfterInsert(ds); };
    ta_Emails.AfterPost = [this](TDataSet &ds) { ta_EmailsAfterPost(ds); };
}

TDM_Databaser::~TDM_Databaser()
{
    for (TTable *table : {&ta_Emails, &ta_Group, &ta_Agent, &ta_General}) {
        try {
            table->Close();
        } catch (const std::exception &) {
            // An edit that cannot be given up at the end of the program has
            // nowhere left to be reported.
        }
    }
}

QString TDM_Databaser::ScriptName(int version)
{
    return QStringLiteral("DBV_%1.SQL").arg(version, 4, 10, QLatin1Char('0'));
}

void TDM_Databaser::DataModuleCreate()
{
    reportErrors([this] {
        if (!CheckVersion())
            return;
        Connect();
        OpenTables();
    });
}

void TDM_Databaser::OpenSchedule()
{
    const int version = VersionInStore();
    if (version == 0)
        throw Exception(QStringLiteral("There is no Database in \"%1\": start Corvane 98 once to create it.")
                            .arg(DataFolder()));
    if (version > RequiredVersion)
        throw Exception(newerStoreText(version));
    if (version < RequiredVersion)
        throw Exception(QStringLiteral("The Database is version %1, older than this program can use (version %2): "
                                       "start Corvane 98 to update it.")
                            .arg(version)
                            .arg(RequiredVersion));
    Connect();
    ta_Agent.Open();
}

int TDM_Databaser::VersionInStore() const
{
    TDatabase store;
    store.Params = {"path=" + DataFolder()};
    if (!QFileInfo::exists(store.fileName()))
        return 0;
    store.Open();
    const int version = store.UserVersion();
    return version == 0 && store.HasTable("GROUPS") ? UnmarkedVersion : version;
}

bool TDM_Databaser::CheckVersion()
{
    ProfileIni ini(IniFileName());
    int version = ini.readInteger("DATABAS", "VERSION", 0);
    // A settings file that was lost, damaged or kept from another store must
    // neither run an upgrade again nor skip one: the store's own word counts.
    // A store that is not there (its folder lost, say) is made anew, whatever
    // version the settings file remembers.
    const int inStore = VersionInStore();
    if (inStore != version) {
        version = inStore;
        if (inStore == RequiredVersion)
            ini.writeInteger("DATABAS", "VERSION", inStore);
    }
    TDatabase scripts; // qu_DBV's connection: the data folder by path
    scripts.DatabaseName = "DBV";
    scripts.Params = {"path=" + DataFolder()};
    if (version == RequiredVersion)
        return true;
    if (version > RequiredVersion) {
        // Upgrading cannot make a newer store older: say so instead of
        // claiming an update that never happens.
        Prompt::error(newerStoreText(version));
        m_terminateRequested = true;
        return false;
    }
    if (Prompt::confirm("The Database will be updated to a new version!", PromptButtons::OkCancel) != PromptAnswer::Ok) {
        m_terminateRequested = true;
        return false;
    }
    while (version < RequiredVersion) {
        ++version;
        const QString scriptFile = m_programFolder + ScriptName(version);
        QCoreApplication::processEvents();
        QStringList statement;
        QString error;
        if (!TextFile::readLines(scriptFile, statement, &error))
            throw Exception(QStringLiteral("Cannot open file \"%1\". %2").arg(scriptFile, error));
        try {
            scripts.Open();
            scripts.executeScript(statement.join(u'\n'));
        } catch (const EDatabaseError &e) {
            if (Prompt::errorWithChoice("ERROR!\n" + e.message() + "\n Continue?", PromptButtons::OkCancel)
                != PromptAnswer::Ok)
                throw;
        }
    }
    scripts.Open();
    scripts.SetUserVersion(version);
    ini.writeInteger("DATABAS", "VERSION", version);
    scripts.Close();
    Databas.Close();
    QCoreApplication::processEvents();
    Prompt::information("Update successfull - Restart the program!");
    m_terminateRequested = true;
    return true;
}

void TDM_Databaser::Connect()
{
    Databas.Close();
    Databas.Params = {"path=" + DataFolder()};
    Databas.Open();
}

void TDM_Databaser::OpenTables()
{
    ta_Group.Open();
    ta_Emails.Open();
    ta_Agent.Open();
    ta_General.Open();
}

void TDM_Databaser::RollbackAndReread()
{
    Databas.Rollback();
    for (TTable *table : {&ta_Emails, &ta_General, &ta_Group, &ta_Agent}) {
        if (!table->Active())
            continue;
        if (table->State() != TDataSetState::dsBrowse)
            table->Cancel();
        table->Refresh();
    }
}

void TDM_Databaser::ta_EmailsAfterInsert(TDataSet &)
{
    // The number is used up even when the new row is cancelled later.
    ta_Emails.FieldByName("Unikt").SetAsString(QString::number(TakeRecipientNumbers(1)));
}

int TDM_Databaser::TakeRecipientNumbers(int count)
{
    ta_General.Edit();
    const int first = ta_General.FieldByName("LopNr").AsInteger() + 1;
    if (count == 0) {
        ta_General.Cancel();
        return first;
    }
    ta_General.FieldByName("LopNr").SetAsInteger(first + count - 1);
    ta_General.Post();
    return first;
}

void TDM_Databaser::ta_EmailsAfterPost(TDataSet &)
{
    RefreshMemberCount(ta_Group.FieldByName("Grupp").AsString());
}

QVariant TDM_Databaser::ReadValue(const QString &select, const QString &where, const QVariantMap &params)
{
    m_valueQuery.SetStatement({select, where}, params);
    m_valueQuery.Open();
    const QVariant value = m_valueQuery.IsEmpty() ? QVariant() : m_valueQuery.Fields(0).Value();
    m_valueQuery.Close();
    return value;
}

void TDM_Databaser::RunUpdate(const QString &update, const QString &where, const QVariantMap &params)
{
    qu_Uppdat.SetStatement({update, where}, params);
    qu_Uppdat.ExecSQL();
}

int TDM_Databaser::MemberCount(const QString &group)
{
    return ReadValue("SELECT COUNT(*) FROM EMAILS", "WHERE Grupp = :grupp ", {{"grupp", group}}).toInt();
}

bool TDM_Databaser::GroupExists(const QString &name)
{
    return ReadValue("SELECT COUNT(*) FROM GROUPS", "WHERE Grupp = :name ", {{"name", name}}).toInt() > 0;
}

void TDM_Databaser::RefreshMemberCount(const QString &group)
{
    RunUpdate("UPDATE GROUPS SET Members = :members ", "WHERE Grupp = :grupp ",
              {{"members", MemberCount(group)}, {"grupp", group}});
    if (ta_Group.Active() && ta_Group.State() == TDataSetState::dsBrowse)
        ta_Group.Refresh();
}

int TDM_Databaser::ReadLastMail(const QString &group)
{
    return ReadValue("SELECT LastMail from GROUPS", "WHERE Grupp = :group ", {{"group", group}}).toInt();
}

void TDM_Databaser::StoreLastMail(const QString &group, int number)
{
    RunUpdate("UPDATE GROUPS Set LastMail=:number ", "WHERE Grupp=:group", {{"number", number}, {"group", group}});
}

bool TDM_Databaser::ListHeadersFor(const QString &group)
{
    return ReadValue("SELECT ListHeaders FROM GroupOptions", "WHERE Grupp = :group ", {{"group", group}}).toInt() != 0;
}

void TDM_Databaser::StoreListHeaders(const QString &group, bool on)
{
    RunUpdate("INSERT OR REPLACE INTO GroupOptions (Grupp, ListHeaders) VALUES (:group, :on) ", "",
              {{"group", group}, {"on", on ? 1 : 0}});
}

QString TDM_Databaser::StoreIdentity()
{
    return ReadValue("SELECT Id FROM StoreIdentity", "", {}).toString();
}

int TDM_Databaser::ReadEntryPlace(qint64 entry)
{
    return ReadValue("SELECT LastMail FROM AgentPlace", "WHERE Entry = :entry ", {{"entry", entry}}).toInt();
}

void TDM_Databaser::StoreEntryPlace(qint64 entry, int number)
{
    // Only for an entry that is still there: one the mailer deleted
    // meanwhile must not leave a place behind for a later entry of its rowid.
    RunUpdate("INSERT OR REPLACE INTO AgentPlace (Entry, LastMail) SELECT :entry, :number ",
              "WHERE EXISTS (SELECT 1 FROM Agent WHERE rowid = :entry)", {{"entry", entry}, {"number", number}});
}

void TDM_Databaser::StampLastSent(const QString &group)
{
    RunUpdate("UPDATE Groups Set LastSent=:today ", "WHERE Grupp=:group ",
              {{"today", Clock::currentDate()}, {"group", group}});
}
