#include "transport/Mailbox.h"

#include "transport/MessageHeader.h"
#include "transport/WireText.h"

namespace Mailbox {

namespace {

// A character of an RFC 5322 atom.
bool isAtomChar(QChar c)
{
    static const QString symbols = QStringLiteral("!#$%&'*+-/=?^_`{|}~");
    return c.unicode() < 128 && (c.isLetterOrNumber() || symbols.contains(c));
}

// A word that can stand in a phrase as it is. One that reads like an encoded
// word would be decoded by the receiver, so it does not count.
bool isAtom(const QString &word)
{
    return !word.isEmpty() && std::all_of(word.cbegin(), word.cend(), isAtomChar)
           && !word.contains(QLatin1String("=?"));
}

bool isPrintableAscii(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7f; });
}

QString quoted(QString name)
{
    name.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    name.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + name + QLatin1Char('"');
}

QString phrase(const QString &name, const QString &charset)
{
    const QStringList words = name.split(QLatin1Char(' '));
    if (std::all_of(words.cbegin(), words.cend(), isAtom))
        return name;
    if (isPrintableAscii(name) && !name.contains(QLatin1String("=?")))
        return quoted(name);
    // Encoded words are not decoded inside quotes: words that need more than
    // an atom go encoded, together with their neighbours of that kind.
    WireText wire(charset);
    return QString::fromLatin1(MessageHeader::encodeWords(name, wire, isAtom).join(' '));
}

} // namespace

QString text(const QString &name, const QString &address, const QString &charset)
{
    const QString angled = QLatin1Char('<') + address.trimmed() + QLatin1Char('>');
    const QString words = name.simplified();
    return words.isEmpty() ? angled : phrase(words, charset) + QLatin1Char(' ') + angled;
}

QString domain(const QString &address)
{
    const QString trimmed = address.trimmed();
    const qsizetype at = trimmed.lastIndexOf(QLatin1Char('@'));
    return at > 0 ? trimmed.mid(at + 1) : QString();
}

} // namespace Mailbox
