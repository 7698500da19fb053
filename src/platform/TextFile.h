#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QIODevice;

// Text files of the system: written UTF-8 with CR LF line ends, always through
// a temporary file that replaces the old one, so a file is never half-written.
// Reading accepts CR LF or LF and takes a file that is not valid UTF-8 as
// Windows-1252, the encoding of files made on the original platform.
namespace TextFile {

// Decodes bytes as UTF-8, or as Windows-1252 when they are not valid UTF-8.
// NUL bytes are left out.
QString decode(const QByteArray &bytes);
// Decodes bytes in the encoding already settled for their file; NUL bytes are
// left out.
QString decodeAs(const QByteArray &bytes, bool utf8);
bool isUtf8(const QByteArray &bytes);

// Splits text into lines at CR LF or LF; a final line end adds no empty line.
QStringList splitLines(const QString &text);

// Reads the lines of a file; false with errorText set when it cannot be read.
bool readLines(const QString &path, QStringList &lines, QString *errorText = nullptr);

// Writes the lines, each ended by CR LF, replacing the file atomically.
// False with errorText set when it cannot be written; an earlier file is kept.
bool writeLines(const QString &path, const QStringList &lines, QString *errorText = nullptr);

// Reads a device line by line, holding one chunk of it at a time, so a file
// of any size streams. Lines end at LF, CR LF or a CR alone (files from the
// classic Mac); a final line end adds no empty line, as in splitLines.
class LineReader
{
public:
    explicit LineReader(QIODevice &device);

    // The next line's bytes without its line end; false at the end of the
    // text, or when reading failed.
    bool next(QByteArray &line);
    bool failed() const { return m_failed; }

private:
    QIODevice &m_device;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qsizetype m_scanned = 0;
    bool m_atEnd = false;
    bool m_failed = false;
};

// What a first reading of a text finds: its number of lines and whether all
// of it is UTF-8, which settles how its lines are decoded.
struct Survey
{
    qint64 lines = 0;
    bool utf8 = true;
};
// Reads the device to its end; false when reading failed.
bool survey(QIODevice &device, Survey &result);

// The decoded lines of a device whose survey is known; a UTF-8 byte order
// mark before the first line is skipped. NUL bytes are kept: what one means
// is for the reader of the lines to say.
class LineDecoder
{
public:
    LineDecoder(QIODevice &device, const Survey &survey) : m_reader(device), m_utf8(survey.utf8) {}
    bool next(QString &line);
    bool failed() const { return m_reader.failed(); }

private:
    LineReader m_reader;
    bool m_utf8;
    bool m_first = true;
};

}
