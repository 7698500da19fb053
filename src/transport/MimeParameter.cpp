#include "transport/MimeParameter.h"

namespace MimeParameter {

namespace {

// The percent-encoded octets a continuation line holds at most; with the
// TAB, the name and its section number the line stays within 76 columns.
constexpr int SectionLength = 56;

QString quoted(QString text)
{
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

bool isPrintableAscii(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7f; });
}

// RFC 2231 attribute-char: printable ASCII but blanks, tspecials, "*",
// "'" and "%".
bool isAttributeChar(char c)
{
    static const QByteArray special = " *'%()<>@,;:\\\"/[]?=";
    return c > 0x20 && c < 0x7f && !special.contains(c);
}

// The UTF-8 octets percent-encoded, one piece per character.
QStringList encodedCharacters(const QString &value)
{
    static const char hex[] = "0123456789ABCDEF";
    QStringList pieces;
    for (qsizetype i = 0; i < value.size();) {
        const qsizetype length = value.at(i).isHighSurrogate() && i + 1 < value.size() ? 2 : 1;
        QString piece;
        for (const char octet : value.mid(i, length).toUtf8()) {
            if (isAttributeChar(octet)) {
                piece += QLatin1Char(octet);
            } else {
                const auto byte = static_cast<unsigned char>(octet);
                piece += QLatin1Char('%');
                piece += QLatin1Char(hex[byte >> 4]);
                piece += QLatin1Char(hex[byte & 0x0F]);
            }
        }
        pieces.append(piece);
        i += length;
    }
    return pieces;
}

} // namespace

QStringList lines(const QString &name, const QString &value)
{
    if (isPrintableAscii(value))
        return {QLatin1Char('\t') + name + QLatin1Char('=') + quoted(value)};
    QStringList sections{QStringLiteral("utf-8''")};
    for (const QString &piece : encodedCharacters(value)) {
        if (sections.last().size() + piece.size() > SectionLength)
            sections.append(QString());
        sections.last() += piece;
    }
    QStringList result;
    for (qsizetype i = 0; i < sections.size(); ++i) {
        const QString attribute = sections.size() == 1 ? name + QLatin1Char('*')
                                                       : QStringLiteral("%1*%2*").arg(name).arg(i);
        result.append(QLatin1Char('\t') + attribute + QLatin1Char('=') + sections.at(i)
                      + (i + 1 < sections.size() ? QStringLiteral(";") : QString()));
    }
    return result;
}

QString asciiFallback(const QString &value)
{
    QString result;
    for (const QChar c : value.normalized(QString::NormalizationForm_KD)) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f)
            result += c;
        else if (c.category() != QChar::Mark_NonSpacing && !c.isLowSurrogate())
            result += QLatin1Char('_');
    }
    return result;
}

} // namespace MimeParameter
