#include "send/SignatureFolder.h"

#include "platform/Exception.h"
#include "platform/TextFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString kExtension = QStringLiteral("SIG");

}

TSignatureFolder::TSignatureFolder(const QString &filesFolder)
    : m_folder(filesFolder + QStringLiteral("SIGNATURE"))
{
}

bool TSignatureFolder::ensureExists(QString *errorText) const
{
    if (QFileInfo(m_folder).isDir() || QDir().mkpath(m_folder))
        return true;
    if (errorText)
        *errorText = QStringLiteral("Cannot create folder \"%1\"").arg(m_folder);
    return false;
}

QStringList TSignatureFolder::signatureFiles() const
{
    QStringList files;
    const QFileInfoList entries = QDir(m_folder).entryInfoList(
        QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo &entry : entries) {
        if (entry.suffix().compare(kExtension, Qt::CaseInsensitive) == 0)
            files.append(entry.fileName());
    }
    return files;
}

QStringList TSignatureFolder::scanNames() const
{
    QString error;
    if (!ensureExists(&error))
        throw Exception(error);
    QStringList names;
    for (const QString &file : signatureFiles()) {
        const QString name = QFileInfo(file).completeBaseName().toUpper();
        if (!names.contains(name))
            names.append(name);
    }
    return names;
}

QString TSignatureFolder::filePath(const QString &name) const
{
    const QString wanted = name + u'.' + kExtension;
    for (const QString &file : signatureFiles()) {
        if (file.compare(wanted, Qt::CaseInsensitive) == 0)
            return m_folder + u'/' + file;
    }
    return m_folder + u'/' + wanted;
}

bool TSignatureFolder::isValidName(const QString &name)
{
    return !name.isEmpty() && !name.contains(u'/') && !name.contains(QChar(0));
}

bool TSignatureFolder::read(const QString &name, QStringList &lines, QString *errorText) const
{
    const QString path = filePath(name);
    QString error;
    if (TextFile::readLines(path, lines, &error))
        return true;
    if (errorText)
        *errorText = QStringLiteral("Cannot open file \"%1\". %2").arg(path, error);
    return false;
}

bool TSignatureFolder::write(const QString &name, const QStringList &lines, QString *errorText) const
{
    if (!isValidName(name)) {
        if (errorText)
            *errorText = QStringLiteral("\"%1\" is not a valid signature name").arg(name);
        return false;
    }
    return ensureExists(errorText) && TextFile::writeLines(filePath(name), lines, errorText);
}

bool TSignatureFolder::remove(const QString &name, QString *errorText) const
{
    QFile file(filePath(name));
    if (!file.exists() || file.remove())
        return true;
    if (errorText)
        *errorText = file.errorString();
    return false;
}

bool TSignatureFolder::rename(const QString &oldName, const QString &newName, const QStringList &lines,
                              QString *errorText) const
{
    if (!write(newName, lines, errorText))
        return false;
    if (oldName.compare(newName, Qt::CaseInsensitive) == 0)
        return true;
    return remove(oldName, errorText);
}
