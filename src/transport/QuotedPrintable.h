#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

// Quoted-printable (RFC 2045 6.7), one line of text at a time.
namespace QuotedPrintable {

// The longest line it writes, the soft break "=" included.
constexpr int LineLength = 76;

// One line of text, as its octets without the line end, as the lines that
// carry it: "=", octets outside printable ASCII and a blank or TAB that
// would end the line as "=XX"; every line but the last ends in the soft
// break "=". The octets of one UTF-8 character stay on one line, so a
// reader that shows a line at a time never sees half a character.
QList<QByteArray> encodeLine(QByteArrayView octets);

} // namespace QuotedPrintable
