#include "addressbook/AddressImport.h"

#include "platform/Prompts.h"
#include "platform/TextFile.h"
#include "store/DM_Databaser.h"

#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <utility>

const QString TAddressImport::NameField = QStringLiteral("Name");
const QString TAddressImport::EmailField = QStringLiteral("Email Address");
const QString TAddressImport::UnknownName = QStringLiteral("Unknown");

QStringList TAddressImport::AddressTokens(const QString &text)
{
    QStringList addresses;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const QChar c = i < text.size() ? text[i] : QChar(u' ');
        if (c != u' ' && c != u'"' && c != u',' && c != u'#' && c != QChar(0))
            continue;
        const QStringView token = QStringView(text).mid(start, i - start);
        if (token.contains(u'@'))
            addresses.append(token.toString());
        start = i + 1;
    }
    return addresses;
}

QString TAddressImport::DelimitedField(const QString &line, const QString &delimiter, int position)
{
    if (delimiter.isEmpty())
        return position == 1 ? line : QString();
    qsizetype start = 0;
    for (int field = 1; field < position; ++field) {
        const qsizetype next = line.indexOf(delimiter[0], start);
        if (next < 0)
            return QString();
        start = next + 1;
    }
    const qsizetype end = line.indexOf(delimiter[0], start);
    return line.mid(start, end < 0 ? -1 : end - start);
}

TImportLayout TAddressImport::DelimitedLayout(const QStringList &order, const QString &delimiter)
{
    TImportLayout layout;
    layout.format = TImportFormat::CommaDelimited;
    layout.delimiter = delimiter;
    const auto position = [&order](const QString &field) -> std::optional<int> {
        const qsizetype index = order.indexOf(field);
        return index < 0 ? std::nullopt : std::optional<int>(static_cast<int>(index) + 1);
    };
    layout.namePosition = position(NameField);
    layout.emailPosition = position(EmailField);
    return layout;
}

QList<TImportRecipient> TAddressImport::Recipients(const QString &line, const TImportLayout &layout)
{
    QList<TImportRecipient> recipients;
    if (layout.format == TImportFormat::UnknownFormat) {
        for (const QString &address : AddressTokens(line))
            recipients.append({UnknownName, address});
        return recipients;
    }
    if (line.isEmpty())
        return recipients;
    const auto field = [&](int position) { return DelimitedField(line, layout.delimiter, position); };
    if (layout.emailPosition) {
        const QString name = layout.namePosition ? field(*layout.namePosition) : UnknownName;
        for (const QString &address : AddressTokens(field(*layout.emailPosition)))
            recipients.append({name, address});
    } else if (layout.namePosition) {
        recipients.append({field(*layout.namePosition), UnknownName});
    }
    return recipients;
}

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
        importLines(lines, settings, progress);
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
            m_dm.Databas.Rollback();
            showStore();
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
    showStore();
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
        const QString email = stored("Email", recipient.email);
        if (m_existing.contains(email) || added.contains(email))
            continue;
        added.insert(email);
        fresh.append(recipient);
    }
    return fresh;
}

void TAddressImport::insertRecipients(const QList<TImportRecipient> &recipients, const QByteArray &picture)
{
    // One statement for all the rows: they go in together or not at all.
    if (recipients.isEmpty())
        return;
    m_insert.ClearSQL();
    m_insert.AddSQL("INSERT INTO EMAILS (Picture, Name, Email, Unikt, Grupp)");
    m_insert.SetParam("picture", picture);
    m_insert.SetParam("group", m_group);
    for (qsizetype i = 0; i < recipients.size(); ++i) {
        m_insert.AddSQL(QStringLiteral("%1(:picture, :name%2, :email%2, :unikt%2, :group)")
                            .arg(i == 0 ? QStringLiteral("VALUES ") : QStringLiteral(", "))
                            .arg(i));
        m_insert.SetParam(QStringLiteral("name%1").arg(i), stored("Name", recipients[i].name));
        m_insert.SetParam(QStringLiteral("email%1").arg(i), stored("Email", recipients[i].email));
        m_insert.SetParam(QStringLiteral("unikt%1").arg(i), m_nextNumber + static_cast<int>(i));
    }
    m_insert.ExecSQL();
    m_nextNumber += static_cast<int>(recipients.size());
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
        m_existing.insert(q.Fields(0).AsString());
}

QString TAddressImport::stored(const QString &field, const QString &value)
{
    // As the recipient table keeps it, cut to the field's size.
    return TField::toStored(m_dm.ta_Emails.FieldByName(field).def(), value).toString();
}

void TAddressImport::showStore()
{
    for (TTable *table : {&m_dm.ta_Emails, &m_dm.ta_General, &m_dm.ta_Group}) {
        if (table->State() != TDataSetState::dsBrowse)
            table->Cancel();
        table->Refresh();
    }
}
