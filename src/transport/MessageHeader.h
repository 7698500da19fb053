#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>

class WireText;

// Pieces of a message's header lines.
namespace MessageHeader {

// CR and LF become blanks, so a text can never start a new header line.
QString singleLine(QString text);

// The words of a text (split at blanks; further blanks stay in front of the
// next word) as they go into a header: each word plain accepts as it is; each
// run of neighbouring other words, with the blanks between them, as RFC 2047
// encoded words in the message's charset (UTF-8 when the charset cannot hold
// them). No folding.
QList<QByteArray> encodeWords(const QString &text, WireText &wire, bool (*plain)(const QString &word));

// The text as it goes into a header: words of plain ASCII as they are; each
// run of words with other characters, and a word too long for a line, as
// encoded words (see encodeWords). Folded (RFC 5322) to lines of at most 76
// characters where a blank allows it, and never longer than 998.
// startColumn: what precedes it on its line. With `utf8` (a server that
// takes SMTPUTF8) words stay as they are, in UTF-8, but for one too long.
QByteArray encodeText(const QString &text, WireText &wire, int startColumn = 0, bool utf8 = false);

// "Sun, 6 Dec 1998 14:05:09 +0100": English names whatever the locale, the
// time and zone offset of `when`.
QString dateText(const QDateTime &when);

// "= Multipart Boundary Dec06981405": the locale's month abbreviation
// (English where it has characters a boundary may not hold), then day, year,
// hour and minute.
QString boundary(const QDateTime &when, const QLocale &locale = QLocale());

// Cuts a UTF-8 header line to at most `limit` bytes, at a fold where it has
// one so that no encoded word is broken, else between two characters.
QByteArray fitLine(const QByteArray &line, int limit);

} // namespace MessageHeader
