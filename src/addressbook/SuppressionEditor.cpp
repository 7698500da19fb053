#include "addressbook/SuppressionEditor.h"

#include "addressbook/AddressImport.h"
#include "platform/TextFile.h"
#include "store/SuppressionList.h"

#include <QSet>

namespace {

const QString Delimiter = QStringLiteral(",");

// The address in a token as mail clients copy one: "<a@b>", "mailto:a@b",
// "a@b;".
QString bareAddress(QString token)
{
    token = token.trimmed();
    while (!token.isEmpty() && (token.back() == u';' || token.back() == u'>'))
        token.chop(1);
    while (!token.isEmpty() && token.front() == u'<')
        token.remove(0, 1);
    if (token.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive))
        token.remove(0, 7);
    return token.trimmed();
}

// A field as the import reads it back: quoted when it holds the delimiter
// or a quote, a quote doubled inside.
QString delimitedField(QString text)
{
    if (!text.contains(Delimiter) && !text.contains(u'"'))
        return text;
    return u'"' + text.replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"';
}

} // namespace

const QString TSuppressionEditor::ExportHeader = QStringLiteral("Address,Added,Reason,Detail");

QStringList TSuppressionEditor::AddressesIn(const QStringList &lines)
{
    const bool exported = !lines.isEmpty() && lines.first() == ExportHeader;
    QStringList addresses;
    QSet<QString> seen;
    for (qsizetype i = exported ? 1 : 0; i < lines.size(); ++i) {
        const QStringList tokens = exported ? QStringList{TAddressImport::DelimitedField(lines[i], Delimiter, 1)}
                                            : TAddressImport::AddressTokens(lines[i]);
        // The import keeps a tab inside a token; a list pasted from a
        // spreadsheet has one between the address and the next column.
        for (const QString &token : tokens) {
            for (const QString &part : token.split(u'\t', Qt::SkipEmptyParts)) {
                const QString address = bareAddress(part);
                if (address.contains(u'@') && !seen.contains(address)) {
                    seen.insert(address);
                    addresses << address;
                }
            }
        }
    }
    return addresses;
}

TSuppressionEditor::Added TSuppressionEditor::add(const QStringList &lines)
{
    QList<TSuppression> entries;
    for (const QString &address : AddressesIn(lines))
        entries.append({address, TSuppressionReason::AddedByHand, {}});
    return {int(entries.size()), m_list.AddMany(entries)};
}

TSuppressionEditor::Added TSuppressionEditor::AddText(const QString &text)
{
    return add(TextFile::splitLines(text));
}

bool TSuppressionEditor::ImportFile(const QString &path, Added &added, QString &error)
{
    QStringList lines;
    if (!TextFile::readLines(path, lines, &error))
        return false;
    added = add(lines);
    return true;
}

int TSuppressionEditor::Remove(const QStringList &addresses)
{
    return m_list.RemoveMany(addresses);
}

bool TSuppressionEditor::Export(const QString &path, QString &error) const
{
    QStringList lines{ExportHeader};
    for (const TSuppressionRow &row : m_list.Rows())
        lines << QStringList{delimitedField(row.address), row.added.toString(TSuppressionList::AddedFormat), delimitedField(row.reason),
                             delimitedField(row.detail)}
                     .join(Delimiter);
    return TextFile::writeLines(path, lines, &error);
}

QString TSuppressionEditor::Summary(const Added &added)
{
    if (added.found == 0)
        return QStringLiteral("No address found: an address has an @ in it.");
    const int listed = added.found - added.added;
    QString line = QStringLiteral("%1 of %2 addresses added").arg(added.added).arg(added.found);
    if (listed > 0)
        line += listed == 1 ? QStringLiteral("; 1 was on the list already")
                            : QStringLiteral("; %1 were on the list already").arg(listed);
    return line + u'.';
}
