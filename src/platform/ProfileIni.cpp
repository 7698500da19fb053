#include "platform/ProfileIni.h"

#include "platform/TextFile.h"

#include <QFileInfo>

namespace {

bool isSectionLine(const QString &trimmed)
{
    return trimmed.startsWith(u'[') && trimmed.contains(u']');
}

QString sectionName(const QString &trimmed)
{
    return trimmed.mid(1, trimmed.indexOf(u']') - 1).trimmed();
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The index of the "key=value" line of key within section, or -1; sectionEnd
// is set to the index after the section's last line with content (-1 when the
// section is absent).
qsizetype findKey(const QStringList &lines, const QString &section, const QString &key,
                  qsizetype *sectionEnd = nullptr)
{
    bool inSection = false;
    qsizetype found = -1;
    if (sectionEnd)
        *sectionEnd = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString trimmed = lines[i].trimmed();
        if (isSectionLine(trimmed)) {
            if (inSection)
                return found;
            inSection = sameName(sectionName(trimmed), section);
            if (inSection && sectionEnd)
                *sectionEnd = i + 1;
            continue;
        }
        if (!inSection || trimmed.isEmpty())
            continue;
        if (sectionEnd)
            *sectionEnd = i + 1;
        const qsizetype eq = trimmed.indexOf(u'=');
        if (found < 0 && !trimmed.startsWith(u';') && eq > 0 && sameName(trimmed.left(eq).trimmed(), key))
            found = i;
    }
    return found;
}

QStringList readFile(const QString &fileName)
{
    QStringList lines;
    TextFile::readLines(fileName, lines); // a missing file reads as no lines
    return lines;
}

// The lines a write starts from. A file that is there but cannot be read is
// not taken for a missing one: writing would replace every setting in it
// with the one key written.
QStringList readFileToRewrite(const QString &fileName)
{
    QStringList lines;
    QString error;
    if (QFileInfo::exists(fileName) && !TextFile::readLines(fileName, lines, &error))
        throw EIniFileException(
            QStringLiteral("Unable to write to %1: the file cannot be read (%2), so writing it would lose the "
                           "settings it holds. Make it readable, or remove it to start with new settings.")
                .arg(fileName, error));
    return lines;
}

}

ProfileIni::ProfileIni(const QString &fileName) : m_fileName(fileName) {}

QString ProfileIni::readString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const QStringList lines = readFile(m_fileName);
    const qsizetype i = findKey(lines, section, key);
    if (i < 0)
        return defaultValue;
    const QString &line = lines[i];
    return line.mid(line.indexOf(u'=') + 1).trimmed().left(MaxValueLength);
}

bool ProfileIni::parseInteger(const QString &text, int &value)
{
    const QString t = text.trimmed();
    bool ok = false;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        const uint hex = t.mid(2).toUInt(&ok, 16);
        if (ok)
            value = static_cast<int>(hex);
    } else {
        const int dec = t.toInt(&ok, 10);
        if (ok)
            value = dec;
    }
    return ok;
}

int ProfileIni::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    int value = defaultValue;
    return parseInteger(readString(section, key, QString()), value) ? value : defaultValue;
}

bool ProfileIni::readBool(const QString &section, const QString &key, bool defaultValue) const
{
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void ProfileIni::writeString(const QString &section, const QString &key, const QString &value)
{
    QStringList lines = readFileToRewrite(m_fileName);
    const QString entry = key + u'=' + value;
    qsizetype sectionEnd = -1;
    const qsizetype i = findKey(lines, section, key, &sectionEnd);
    if (i >= 0) {
        lines[i] = entry;
    } else if (sectionEnd >= 0) {
        lines.insert(sectionEnd, entry);
    } else {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines.append(QString());
        lines.append(u'[' + section + u']');
        lines.append(entry);
    }
    QString error;
    if (!TextFile::writeLines(m_fileName, lines, &error))
        throw EIniFileException(QStringLiteral("Unable to write to %1: %2").arg(m_fileName, error));
}

void ProfileIni::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

void ProfileIni::writeBool(const QString &section, const QString &key, bool value)
{
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}
