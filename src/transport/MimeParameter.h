#pragma once

#include <QString>
#include <QStringList>

// Parameters of a Content-Type or Content-Disposition line.
namespace MimeParameter {

// The parameter as the lines that continue its header line, each after a
// TAB, every one but the last ending in ";": name="value" (quoted, with \"
// and \\) where the value is plain ASCII; otherwise RFC 2231, its UTF-8
// octets percent-encoded as name*=utf-8''..., split into name*0*=,
// name*1*=, ... where one line would run long, never inside a character.
QStringList lines(const QString &name, const QString &value);

// The value for readers that know no RFC 2231: letters without their
// accents ("Příloha" becomes "Priloha"), every other character outside
// printable ASCII as "_".
QString asciiFallback(const QString &value);

} // namespace MimeParameter
