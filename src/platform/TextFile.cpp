#include "platform/TextFile.h"

#include <QFile>
#include <QIODevice>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>

namespace TextFile {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; the five unassigned
// codes there map to themselves, as the platform's own conversion does.
const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString decodeCp1252(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        text[i] = (b >= 0x80 && b < 0xA0) ? QChar(kCp1252High[b - 0x80]) : QChar(b);
    }
    return text;
}

QString decodeKeepingNul(const QByteArray &bytes, bool utf8)
{
    return utf8 ? QString::fromUtf8(bytes) : decodeCp1252(bytes);
}

const QByteArray kUtf8Bom("\xEF\xBB\xBF");
// Large enough that a file streams in few reads, small enough to hold once.
constexpr qint64 kChunkSize = 64 * 1024;

}

bool isUtf8(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString decoded = utf8.decode(bytes); // decoding happens only when the result is taken
    return !utf8.hasError();
}

QString decodeAs(const QByteArray &bytes, bool utf8)
{
    QString text = decodeKeepingNul(bytes, utf8);
    // A line travels on as a NUL-terminated string: a NUL inside it would
    // cut off the rest. It is no character of any text, so it goes.
    text.remove(QChar(0));
    return text;
}

QString decode(const QByteArray &bytes)
{
    const bool utf8 = isUtf8(bytes);
    return decodeAs(utf8 && bytes.startsWith(kUtf8Bom) ? bytes.mid(kUtf8Bom.size()) : bytes, utf8);
}

LineReader::LineReader(QIODevice &device) : m_device(device) {}

bool LineReader::next(QByteArray &line)
{
    for (;;) {
        // The bytes before m_scanned hold no line end: each byte of a long
        // line is looked at once, however many reads it takes.
        const char *begin = m_buffer.constData();
        const char *stop = begin + m_buffer.size();
        const char *end = std::find_if(begin + m_scanned, stop, [](char c) { return c == '\n' || c == '\r'; });
        m_scanned = end - begin;
        // A CR that ends what has been read may be the first half of CR LF.
        const bool waitForLf = end != stop && *end == '\r' && end + 1 == stop && !m_atEnd && !m_failed;
        if (end != stop && !waitForLf) {
            line = m_buffer.mid(m_pos, m_scanned - m_pos);
            m_pos = m_scanned + (*end == '\r' && end + 1 != stop && end[1] == '\n' ? 2 : 1);
            m_scanned = m_pos;
            return true;
        }
        if (m_atEnd && m_pos < m_buffer.size()) {
            line = m_buffer.mid(m_pos);
            m_pos = m_scanned = m_buffer.size();
            return true;
        }
        if (m_atEnd || m_failed)
            return false;
        m_buffer.remove(0, m_pos);
        m_scanned -= m_pos;
        m_pos = 0;
        const qsizetype held = m_buffer.size();
        // Grown by doubling, so that a line of any length is copied a
        // bounded number of times in all.
        if (m_buffer.capacity() < held + kChunkSize)
            m_buffer.reserve(std::max<qsizetype>(2 * m_buffer.capacity(), held + kChunkSize));
        m_buffer.resize(held + kChunkSize);
        const qint64 got = m_device.read(m_buffer.data() + held, kChunkSize);
        m_buffer.resize(held + std::max<qint64>(got, 0));
        if (got < 0)
            m_failed = true;
        else if (got == 0)
            m_atEnd = true;
    }
}

bool survey(QIODevice &device, Survey &result)
{
    result = Survey();
    LineReader reader(device);
    QByteArray line;
    while (reader.next(line)) {
        ++result.lines;
        if (result.utf8)
            result.utf8 = isUtf8(line);
    }
    return !reader.failed();
}

bool LineDecoder::next(QString &line)
{
    QByteArray bytes;
    if (!m_reader.next(bytes))
        return false;
    if (m_first && m_utf8 && bytes.startsWith(kUtf8Bom))
        bytes.remove(0, kUtf8Bom.size());
    m_first = false;
    line = decodeKeepingNul(bytes, m_utf8);
    return true;
}

QStringList splitLines(const QString &text)
{
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString &line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
    return lines;
}

bool readLines(const QString &path, QStringList &lines, QString *errorText)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (errorText)
            *errorText = file.errorString();
        return false;
    }
    lines = splitLines(decode(file.readAll()));
    return true;
}

bool writeLines(const QString &path, const QStringList &lines, QString *errorText)
{
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    for (qsizetype i = 0; ok && i < lines.size(); ++i)
        ok = file.write(lines[i].toUtf8() + "\r\n") >= 0;
    ok = ok && file.commit();
    if (!ok && errorText)
        *errorText = file.errorString();
    return ok;
}

}
