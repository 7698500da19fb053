#pragma once

#include "store/Query.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QIODevice>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class TDM_Databaser;
namespace TextFile {
class LineDecoder;
}

enum class TImportFormat { UnknownFormat, CommaDelimited };

// How the lines of an import file are read: addresses picked out of free
// text, or fields split at one delimiter character in a stated order.
struct TImportLayout
{
    TImportFormat format = TImportFormat::UnknownFormat;
    // 1-based fields of a delimited line; unset when the order leaves them out.
    std::optional<int> namePosition;
    std::optional<int> emailPosition;
    // At most one character; empty: the whole line is field 1.
    QString delimiter = QStringLiteral(",");
    // The recipient's further fields: 1-based position and field name.
    QList<std::pair<int, QString>> fields;
};

struct TImportRecipient
{
    QString name;
    QString email;
    // Further fields with a value, name and value in the order of the columns.
    QList<std::pair<QString, QString>> fields{};
    bool operator==(const TImportRecipient &) const = default;
};

struct TImportSettings
{
    TImportLayout layout;
    // An address already among the group's recipients is not imported again
    // (compared as addressKey does).
    bool skipExisting = false;
    // A delimited file's first line names its columns and is not imported;
    // the names settle the layout (HeaderLayout).
    bool headerLine = false;
    // Stored in every imported row's Picture.
    QByteArray picture;
};

// Adds recipients to the current group of the data module from a text file.
// Reading the lines and picking out addresses are plain functions; the run
// gives every row a number from the data module's recipient counter.
class TAddressImport
{
public:
    static const QString NameField;
    static const QString EmailField;
    static const QString UnknownName;

    // The tokens of text that hold an at sign, in order; tokens end at a
    // blank, a double quote, a comma, '#' or NUL.
    static QStringList AddressTokens(const QString &text);
    // The fields of a line split at the delimiter. A field that begins with a
    // double quote runs to the quote that closes it, delimiters included,
    // and "" inside stands for one quote (as spreadsheets write them).
    static QStringList DelimitedFields(const QString &line, const QString &delimiter);
    // Field position (1-based) of a line split as above; empty past the last
    // field.
    static QString DelimitedField(const QString &line, const QString &delimiter, int position);
    // The order of fields as a delimited layout: "Name", "Email Address", and
    // any other entry names a further field.
    static TImportLayout DelimitedLayout(const QStringList &order, const QString &delimiter);
    // The layout a first line of column names gives. "Name" and "Email"
    // ("Email Address", "E-mail") are known without regard to case; another
    // name is a further field, spelt as the store already knows it when it
    // does (knownFields). A column without a name, or with the name of an
    // earlier column, is not imported.
    static TImportLayout HeaderLayout(const QString &line, const QString &delimiter, const QStringList &knownFields);
    // The recipients one line of the file gives.
    static QList<TImportRecipient> Recipients(const QString &line, const TImportLayout &layout);

    // Opens a fresh, not yet opened device on the import file for one pass.
    using OpenFile = std::function<std::unique_ptr<QIODevice>()>;
    static OpenFile FileOpener(const QString &path);

    // What the run tells its window: the number of lines once counted, and
    // the lines read so far at each moment the window may repaint.
    struct Progress
    {
        std::function<void(qint64 lines)> counted;
        std::function<void(qint64 linesRead)> linesRead;
    };

    explicit TAddressImport(TDM_Databaser &dataModule);

    // Makes the group of exactly this name current; false when there is none.
    bool ChooseGroup(const QString &name);

    // Counts the file's lines, then imports it line by line into the current
    // group. A file that cannot be read is reported and what was imported
    // before stays; a line that fails is reported and the next one follows.
    // Members is right whenever the window repaints and when the run ends.
    void Run(const TImportSettings &settings, const OpenFile &open, const Progress &progress);

private:
    void importLines(TextFile::LineDecoder &lines, const TImportSettings &settings, const Progress &progress);
    // A batch is one transaction; it takes the recipient numbers its rows
    // used and recounts the group before it commits.
    void beginBatch();
    void endBatch();
    // The recipient table shows the rows committed so far.
    void showRows();
    // Imports the chunk's lines with one statement, or line by line when
    // that fails; the lines that are in join the batch's lines.
    void importChunk(QStringList &chunk, QStringList &batch, const TImportSettings &settings);
    // A line that fails is reported once the batch before it is committed;
    // a failure that took the batch's transaction with it imports the
    // batch's lines again first.
    void importInBatch(const QString &line, QStringList &batch, const TImportSettings &settings);
    void importBatchAgain(QStringList &batch, const TImportSettings &settings);
    // False when the line failed.
    bool importLine(const QString &line, const TImportSettings &settings);
    // The line's recipients less those to skip; added collects the addresses
    // they bring, so that the same address later in the file is skipped too.
    QList<TImportRecipient> wanted(const QString &line, const TImportSettings &settings, QSet<QString> &added);
    void insertRecipients(const QList<TImportRecipient> &recipients, const QByteArray &picture);
    void insertStatement(const QList<TImportRecipient> &recipients, const QByteArray &picture, int firstNumber);
    // The recipients' further fields, under the numbers their rows take.
    void insertFields(const QList<TImportRecipient> &recipients);
    // The group's addresses, as addressKey compares them, for skipping those
    // it holds.
    void readExisting();

    TDM_Databaser &m_dm;
    TQuery m_insert;
    QString m_group;
    QSet<QString> m_existing;
    QElapsedTimer m_rowsShown;
    int m_firstNumber = 0;
    int m_nextNumber = 0;
};
