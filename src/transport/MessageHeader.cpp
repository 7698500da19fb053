#include "transport/MessageHeader.h"

#include "transport/LineBuffer.h"
#include "transport/WireText.h"

#include <QStringList>

namespace MessageHeader {

namespace {

constexpr int EncodedWordLimit = 75;

QByteArray encodedWord(const QByteArray &charset, const QByteArray &bytes)
{
    return "=?" + charset + "?B?" + bytes.toBase64() + "?=";
}

constexpr int FoldColumn = 76;
// No line of a message may be longer, CR LF not counted.
constexpr int LineLimit = 998;
// A longer word could not stand on one line with a header name of up to 97
// characters in front of it.
constexpr int LongestPlainWord = LineLimit - 98;

// The text's words, split at blanks. Where several blanks stand together, all
// but one stay in front of the next word, so that a fold (which stands for one
// blank) never leaves a line of nothing but blanks.
QStringList wordsOf(const QString &text)
{
    const QStringList pieces = text.split(QLatin1Char(' '));
    QStringList words;
    int blanks = 0;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (pieces[i].isEmpty() && i > 0 && i + 1 < pieces.size()) {
            ++blanks;
            continue;
        }
        words.append(QString(blanks, QLatin1Char(' ')) + pieces[i]);
        blanks = 0;
    }
    return words;
}

// One run of words, as encoded words of at most EncodedWordLimit characters;
// a character (or surrogate pair) is never split between two words.
QList<QByteArray> encodeRun(const QString &run, WireText &wire)
{
    WireText utf8(QStringLiteral("utf-8"));
    WireText &codec = wire.canEncode(run) ? wire : utf8;
    const QByteArray charset = codec.charset().toLatin1();
    const int maxBytes = (EncodedWordLimit - 7 - static_cast<int>(charset.size())) / 4 * 3;

    QList<QByteArray> words;
    QByteArray current;
    for (qsizetype i = 0; i < run.size();) {
        const qsizetype length = run.at(i).isHighSurrogate() && i + 1 < run.size() ? 2 : 1;
        const QByteArray bytes = codec.encode(run.mid(i, length));
        if (!current.isEmpty() && current.size() + bytes.size() > maxBytes) {
            words.append(encodedWord(charset, current));
            current.clear();
        }
        current += bytes;
        i += length;
    }
    if (!current.isEmpty())
        words.append(encodedWord(charset, current));
    return words;
}

bool boundarySafe(const QString &text)
{
    static const QString allowed = QStringLiteral("'()+_,-./:=? ");
    for (const QChar c : text) {
        const bool plain = c.unicode() < 128 && c.isLetterOrNumber();
        if (!plain && !allowed.contains(c))
            return false;
    }
    return true;
}

} // namespace

QString singleLine(QString text)
{
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

QList<QByteArray> encodeWords(const QString &text, WireText &wire, bool (*plain)(const QString &word))
{
    const QStringList words = wordsOf(text);
    QList<QByteArray> parts;
    QString run;
    auto flush = [&] {
        if (!run.isNull())
            parts.append(encodeRun(run, wire));
        run = QString();
    };
    for (const QString &word : words) {
        if (plain(word)) {
            flush();
            parts.append(word.toUtf8());
        } else {
            run = run.isNull() ? word : run + QLatin1Char(' ') + word;
        }
    }
    flush();
    return parts;
}

QByteArray encodeText(const QString &text, WireText &wire, int startColumn, bool utf8)
{
    // Words of plain ASCII stay readable (an address in angle brackets must).
    // A word too long for any line is encoded: encoded words can be folded
    // between, a plain word cannot.
    const QList<QByteArray> parts =
        utf8 ? encodeWords(text, wire, [](const QString &word) { return word.size() <= LongestPlainWord / 4; })
             : encodeWords(text, wire, [](const QString &word) {
                   return WireText::isAscii(word) && word.size() <= LongestPlainWord;
               });
    // Folded so that lines stay short: between two encoded words the fold is
    // ignored by readers, elsewhere it stands for the blank it replaces.
    QByteArray result;
    int column = startColumn;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QByteArray &part = parts[i];
        if (i > 0) {
            const bool fold = column + 1 + part.size() > FoldColumn && !part.isEmpty();
            result += fold ? "\r\n " : " ";
            column = fold ? 1 : column + 1;
        }
        result += part;
        column += static_cast<int>(part.size());
    }
    return result;
}

QString dateText(const QDateTime &when)
{
    // Readers need the zone to place the time; minutes count for zones such
    // as +0530.
    const int offsetMinutes = when.offsetFromUtc() / 60;
    const QString zone = QString::asprintf("%c%02d%02d", offsetMinutes < 0 ? '-' : '+', std::abs(offsetMinutes) / 60,
                                           std::abs(offsetMinutes) % 60);
    return QLocale::c().toString(when, QStringLiteral("ddd, d MMM yyyy hh:mm:ss ")) + zone;
}

QString boundary(const QDateTime &when, const QLocale &locale)
{
    QString month = locale.monthName(when.date().month(), QLocale::ShortFormat);
    if (!boundarySafe(month))
        month = QLocale::c().monthName(when.date().month(), QLocale::ShortFormat);
    return QStringLiteral("= Multipart Boundary ") + month
           + QLocale::c().toString(when, QStringLiteral("ddyyhhmm"));
}

QByteArray fitLine(const QByteArray &line, int limit)
{
    if (line.size() <= limit)
        return line;
    const qsizetype fold = line.lastIndexOf("\r\n ", limit - 3);
    return line.left(fold > 0 ? fold : LineBuffer::fitLength(line, limit));
}

} // namespace MessageHeader
