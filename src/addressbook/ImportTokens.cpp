// How an import picks recipients out of a line: the tokenizer of free text
// and the fields of a delimited line. Plain functions of text, kept apart from
// the run that writes the store, so they build and are fuzzed on their own.
#include "addressbook/AddressImport.h"

#include <QSet>
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

QStringList TAddressImport::DelimitedFields(const QString &line, const QString &delimiter)
{
    if (delimiter.isEmpty())
        return {line};
    const QChar cut = delimiter[0];
    QStringList fields;
    QString field;
    bool quoted = false;
    bool fieldStart = true;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c != u'"')
                field += c;
            else if (i + 1 < line.size() && line[i + 1] == u'"')
                field += line[++i];
            else
                quoted = false;
        } else if (c == cut) {
            fields.append(std::exchange(field, {}));
            fieldStart = true;
            continue;
        } else if (c == u'"' && fieldStart && cut != u'"') {
            quoted = true;
        } else {
            field += c;
        }
        fieldStart = false;
    }
    fields.append(field);
    return fields;
}

QString TAddressImport::DelimitedField(const QString &line, const QString &delimiter, int position)
{
    return DelimitedFields(line, delimiter).value(position - 1);
}

TImportLayout TAddressImport::DelimitedLayout(const QStringList &order, const QString &delimiter)
{
    TImportLayout layout;
    layout.format = TImportFormat::CommaDelimited;
    layout.delimiter = delimiter;
    for (qsizetype i = 0; i < order.size(); ++i) {
        const int position = static_cast<int>(i) + 1;
        if (order[i] == NameField)
            layout.namePosition = position;
        else if (order[i] == EmailField)
            layout.emailPosition = position;
        else
            layout.fields.append({position, order[i]});
    }
    return layout;
}

TImportLayout TAddressImport::HeaderLayout(const QString &line, const QString &delimiter,
                                           const QStringList &knownFields)
{
    const QStringList emailNames = {QStringLiteral("email"), QStringLiteral("email address"), QStringLiteral("e-mail")};
    QStringList order;
    QSet<QString> taken;
    for (const QString &column : DelimitedFields(line, delimiter)) {
        QString name = column.trimmed();
        const QString key = name.toCaseFolded();
        if (emailNames.contains(key))
            name = EmailField;
        else if (key == NameField.toCaseFolded())
            name = NameField;
        else if (const auto known = std::find_if(knownFields.begin(), knownFields.end(),
                                                 [&](const QString &field) { return field.toCaseFolded() == key; });
                 known != knownFields.end())
            name = *known;
        // Left out: the position stays, so the later columns keep theirs.
        const QString folded = name.toCaseFolded();
        if (name.isEmpty() || taken.contains(folded))
            name = QString();
        taken.insert(folded);
        order.append(name);
    }
    TImportLayout layout = DelimitedLayout(order, delimiter);
    layout.fields.removeIf([](const std::pair<int, QString> &field) { return field.second.isEmpty(); });
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
            recipients.append({UnknownName, address, {}});
        return recipients;
    }
    if (line.isEmpty())
        return recipients;
    const QStringList fields = DelimitedFields(line, layout.delimiter);
    const auto field = [&](int position) { return fields.value(position - 1); };
    QList<std::pair<QString, QString>> further;
    for (const auto &[position, name] : layout.fields) {
        const QString value = nameText(field(position));
        if (!value.isEmpty())
            further.append({name, value});
    }
    if (layout.emailPosition) {
        const QString name = layout.namePosition ? nameText(field(*layout.namePosition)) : UnknownName;
        for (const QString &address : AddressTokens(field(*layout.emailPosition)))
            recipients.append({name, address, further});
    } else if (layout.namePosition) {
        recipients.append({nameText(field(*layout.namePosition)), UnknownName, further});
    }
    return recipients;
}
