#include "addressbook/AddressImport.h"

#include "store/AddressKey.h"

#include "platform/Prompts.h"
#include "platform/TextFile.h"
#include "store/DM_Databaser.h"
#include "store/RecipientFields.h"

#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <utility>

TAddressImport::OpenFile TAddressImport::FileOpener(const QString &path)
{
    return [path] { return std::make_unique<QFile>(path); };
}

TAddressImport::TAddressImport(TDM_Databaser &dataModule) : m_dm(dataModule), m_insert(&dataModule.Databas) {}

bool TAddressImport::ChooseGroup(const QString &name)
{
    return m_dm.ta_Group.Locate("Grupp", name);
}

namespace {

// A batch's work and its close (the recount and the commit, whose time
// follows the disk) take about this long together, so that the window
// repaints well within a tenth of a second; the close of one batch tells how
// long the next may work. Longer batches would spend less on closing.
constexpr qint64 TurnMs = 40;
constexpr qint64 LeastWorkMs = 5;
// Lines whose rows go in with one statement; a statement that fails is
// repeated line by line.
constexpr qsizetype ChunkLines = 32;
// The recipient grid takes the new rows about once a second, as it takes
// other programs' changes; rereading a large group's rows after every batch
// would cost more than the batch.
constexpr qint64 RowsShownMs = 1000;
// Rows of one INSERT at most; fewer where the engine's bound on the values
// of one statement is lower, which a single line of thousands of addresses
// would pass.
constexpr qsizetype MostRowsPerStatement = 500;
// Each row binds three values of its own beside the two all rows share.
constexpr int ValuesPerRow = 3;
constexpr int SharedValues = 2;

bool openForReading(QIODevice &device)
{
    return device.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

}

void TAddressImport::Run(const TImportSettings &settings, const OpenFile &open, const Progress &progress)
{
    m_group = m_dm.ta_Group.FieldByName("Grupp").AsString();
    if (settings.skipExisting)
        readExisting();
    TextFile::Survey survey;
    std::unique_ptr<QIODevice> file = open();
    const bool counted = openForReading(*file) && TextFile::survey(*file, survey);
    if (counted) {
        progress.counted(survey.lines);
        file = open();
    }
    if (counted && openForReading(*file)) {
        TextFile::LineDecoder lines(*file, survey);
        TImportSettings asRead = settings;
        QString header;
        if (settings.headerLine && settings.layout.format == TImportFormat::CommaDelimited && lines.next(header))
            asRead.layout = HeaderLayout(header, settings.layout.delimiter, TRecipientFields(m_dm.Databas).Names());
        importLines(lines, asRead, progress);
        if (lines.failed())
            Prompt::error("Couldn't open importfile!");
    } else {
        Prompt::error("Couldn't open importfile!");
    }
    m_dm.RefreshMemberCount(m_group);
}

void TAddressImport::importLines(TextFile::LineDecoder &lines, const TImportSettings &settings,
                                 const Progress &progress)
{
    // Each batch is one transaction that ends with the group recounted, and
    // the window repaints only between batches: whenever anyone can look,
    // from this program or another, Members equals the group's rows.
    QString line;
    qint64 linesRead = 0;
    qint64 closeMs = 0;
    bool more = true;
    m_rowsShown.start();
    while (more) {
        QElapsedTimer batchClock;
        batchClock.start();
        const qint64 workMs = std::max(LeastWorkMs, TurnMs - closeMs);
        if (m_rowsShown.hasExpired(RowsShownMs))
            showRows();
        try {
            beginBatch();
            QStringList batch;
            QStringList chunk;
            while (batchClock.elapsed() < workMs && (more = lines.next(line))) {
                ++linesRead;
                chunk.append(line);
                if (chunk.size() == ChunkLines)
                    importChunk(chunk, batch, settings);
            }
            importChunk(chunk, batch, settings);
            const qint64 closing = batchClock.elapsed();
            endBatch();
            closeMs = batchClock.elapsed() - closing;
        } catch (...) {
            m_dm.RollbackAndReread();
            throw;
        }
        progress.linesRead(linesRead);
    }
    showRows();
}

void TAddressImport::beginBatch()
{
    m_dm.Databas.StartTransaction();
    m_firstNumber = m_nextNumber = m_dm.TakeRecipientNumbers(0);
}

void TAddressImport::endBatch()
{
    if (m_nextNumber > m_firstNumber)
        m_dm.TakeRecipientNumbers(m_nextNumber - m_firstNumber);
    m_dm.RefreshMemberCount(m_group);
    m_dm.Databas.Commit();
}

void TAddressImport::showRows()
{
    m_dm.ta_Emails.Refresh();
    m_rowsShown.restart();
}

void TAddressImport::importChunk(QStringList &chunk, QStringList &batch, const TImportSettings &settings)
{
    if (chunk.isEmpty())
        return;
    QList<TImportRecipient> recipients;
    QSet<QString> added;
    for (const QString &line : std::as_const(chunk))
        recipients += wanted(line, settings, added);
    try {
        insertRecipients(recipients, settings.picture);
        m_existing.unite(added);
        batch += chunk;
    } catch (const std::exception &) {
        // Line by line, so that only the lines at fault are lost and each is
        // reported once.
        if (!m_dm.Databas.InTransaction())
            importBatchAgain(batch, settings);
        for (const QString &line : std::as_const(chunk))
            importInBatch(line, batch, settings);
    }
    chunk.clear();
}

void TAddressImport::importInBatch(const QString &line, QStringList &batch, const TImportSettings &settings)
{
    if (importLine(line, settings)) {
        batch.append(line);
        return;
    }
    if (!m_dm.Databas.InTransaction())
        importBatchAgain(batch, settings);
    // Nothing is held open while the user reads the message, neither the
    // store for the other program nor a count the user could see.
    endBatch();
    batch.clear();
    showRows();
    Prompt::error("Error while importing email addresses");
    beginBatch();
}

void TAddressImport::importBatchAgain(QStringList &batch, const TImportSettings &settings)
{
    // The engine gave up the whole transaction (a full disk, for one): the
    // lines imported before it in this batch are gone and are imported anew.
    m_dm.RollbackAndReread();
    if (settings.skipExisting)
        readExisting();
    beginBatch();
    const QStringList again = std::exchange(batch, {});
    for (const QString &line : again)
        importInBatch(line, batch, settings);
}

bool TAddressImport::importLine(const QString &line, const TImportSettings &settings)
{
    QSet<QString> added;
    try {
        insertRecipients(wanted(line, settings, added), settings.picture);
    } catch (const std::exception &) {
        return false;
    }
    m_existing.unite(added);
    return true;
}

QList<TImportRecipient> TAddressImport::wanted(const QString &line, const TImportSettings &settings,
                                               QSet<QString> &added)
{
    // Only addresses can already exist; a name-only line always adds its row.
    const bool skipping = settings.skipExisting
                          && (settings.layout.format == TImportFormat::UnknownFormat || settings.layout.emailPosition);
    QList<TImportRecipient> recipients = Recipients(line, settings.layout);
    if (!skipping)
        return recipients;
    QList<TImportRecipient> fresh;
    for (const TImportRecipient &recipient : std::as_const(recipients)) {
        // Compared as a mail server would: the domain without regard to case.
        const QString key = addressKey(recipient.email);
        if (m_existing.contains(key) || added.contains(key))
            continue;
        added.insert(key);
        fresh.append(recipient);
    }
    return fresh;
}

void TAddressImport::insertRecipients(const QList<TImportRecipient> &recipients, const QByteArray &picture)
{
    if (recipients.isEmpty())
        return;
    // Stored whole or not at all: a line with a text too long for its field
    // fails and is reported.
    const TFieldDef &nameField = m_dm.ta_Emails.FieldByName("Name").def();
    const TFieldDef &emailField = m_dm.ta_Emails.FieldByName("Email").def();
    for (const TImportRecipient &recipient : recipients) {
        TField::checkSize(nameField, recipient.name);
        TField::checkSize(emailField, recipient.email);
    }
    // The rows go in together or not at all, also when they need more than
    // one statement.
    const qsizetype rowsPerStatement =
        std::clamp<qsizetype>((m_dm.Databas.BoundValueLimit() - SharedValues) / ValuesPerRow, 1, MostRowsPerStatement);
    // The fields go in by statements of their own, with the rows or not at all.
    const bool withFields = std::any_of(recipients.begin(), recipients.end(),
                                        [](const TImportRecipient &recipient) { return !recipient.fields.isEmpty(); });
    const bool several = recipients.size() > rowsPerStatement || withFields;
    if (several)
        m_dm.Databas.Savepoint("line");
    try {
        for (qsizetype from = 0; from < recipients.size(); from += rowsPerStatement)
            insertStatement(recipients.mid(from, rowsPerStatement), picture, m_nextNumber + static_cast<int>(from));
        if (withFields)
            insertFields(recipients);
    } catch (...) {
        if (several)
            m_dm.Databas.RollbackToSavepoint("line");
        throw;
    }
    if (several)
        m_dm.Databas.ReleaseSavepoint("line");
    m_nextNumber += static_cast<int>(recipients.size());
}

void TAddressImport::insertStatement(const QList<TImportRecipient> &recipients, const QByteArray &picture,
                                     int firstNumber)
{
    m_insert.ClearSQL();
    m_insert.AddSQL("INSERT INTO EMAILS (Picture, Name, Email, Unikt, Grupp)");
    m_insert.SetParam("picture", picture);
    m_insert.SetParam("group", m_group);
    for (qsizetype i = 0; i < recipients.size(); ++i) {
        m_insert.AddSQL(QStringLiteral("%1(:picture, :name%2, :email%2, :unikt%2, :group)")
                            .arg(i == 0 ? QStringLiteral("VALUES ") : QStringLiteral(", "))
                            .arg(i));
        m_insert.SetParam(QStringLiteral("name%1").arg(i), recipients[i].name);
        m_insert.SetParam(QStringLiteral("email%1").arg(i), recipients[i].email);
        m_insert.SetParam(QStringLiteral("unikt%1").arg(i), firstNumber + static_cast<int>(i));
    }
    m_insert.ExecSQL();
}

void TAddressImport::insertFields(const QList<TImportRecipient> &recipients)
{
    QList<TRecipientFields::Row> rows;
    for (qsizetype i = 0; i < recipients.size(); ++i) {
        for (const auto &[field, value] : TRecipientFields::Cleaned(recipients[i].fields))
            rows.append({m_nextNumber + static_cast<int>(i), field, value});
    }
    TRecipientFields(m_dm.Databas).Insert(rows);
}

void TAddressImport::readExisting()
{
    m_existing.clear();
    TQuery q(&m_dm.Databas);
    q.UniDirectional = true;
    q.AddSQL("SELECT Email FROM EMAILS");
    q.AddSQL("WHERE Grupp = :group ");
    q.SetParam("group", m_group);
    for (q.Open(); !q.Eof(); q.Next())
        m_existing.insert(addressKey(q.Fields(0).AsString()));
}
