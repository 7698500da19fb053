// How an import picks recipients out of a line: the tokenizer of free text
// and the fields of a delimited line. Plain functions of text, kept apart from
// the run that writes the store, so they build and are fuzzed on their own.
#include "addressbook/AddressImport.h"

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

namespace {

// A NUL in a file separates what stands on either side of it, as it does in
// the addresses; in a name it stands as a blank, never as a character that
// would cut the name short wherever it is written.
QString nameText(QString field)
{
    return field.replace(QChar(0), u' ');
}

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
        const QString name = layout.namePosition ? nameText(field(*layout.namePosition)) : UnknownName;
        for (const QString &address : AddressTokens(field(*layout.emailPosition)))
            recipients.append({name, address});
    } else if (layout.namePosition) {
        recipients.append({nameText(field(*layout.namePosition)), UnknownName});
    }
    return recipients;
}
