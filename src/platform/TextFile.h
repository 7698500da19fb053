#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Text files of the system: written UTF-8 with CR LF line ends, always through
// a temporary file that replaces the old one, so a file is never half-written.
// Reading accepts CR LF or LF and takes a file that is not valid UTF-8 as
// Windows-1252, the encoding of files made on the original platform.
namespace TextFile {

// Decodes bytes as UTF-8, or as Windows-1252 when they are not valid UTF-8.
// NUL bytes are left out.
QString decode(const QByteArray &bytes);

// Splits text into lines at CR LF or LF; a final line end adds no empty line.
QStringList splitLines(const QString &text);

// Reads the lines of a file; false with errorText set when it cannot be read.
bool readLines(const QString &path, QStringList &lines, QString *errorText = nullptr);

// Writes the lines, each ended by CR LF, replacing the file atomically.
// False with errorText set when it cannot be written; an earlier file is kept.
bool writeLines(const QString &path, const QStringList &lines, QString *errorText = nullptr);

}
