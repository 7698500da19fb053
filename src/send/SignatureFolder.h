#pragma once

#include <QString>
#include <QStringList>

// The signature files in the folder SIGNATURE of the program folder: one
// file NAME.SIG per signature. Names are upper case and file names are
// matched without regard to letter case, so Greeting.sig is the signature
// GREETING and writing GREETING replaces that same file.
class TSignatureFolder
{
public:
    explicit TSignatureFolder(const QString &filesFolder);

    QString folderPath() const { return m_folder; }

    // Creates the folder when it is missing; false with errorText set when
    // it cannot be created.
    bool ensureExists(QString *errorText = nullptr) const;

    // The names of the signature files, upper case, sorted by name. Names
    // that differ only in the case of their file name are listed once.
    // Throws Exception when the folder cannot be created.
    QStringList scanNames() const;

    // The file of a signature: the existing file whose name matches without
    // regard to case, or NAME.SIG for a new one.
    QString filePath(const QString &name) const;

    bool read(const QString &name, QStringList &lines, QString *errorText = nullptr) const;
    // Writes the lines as the signature's file, replacing it atomically.
    // A name that is empty or holds a path separator is refused.
    bool write(const QString &name, const QStringList &lines, QString *errorText = nullptr) const;
    // Removes the signature's file; a file that is already gone counts as
    // removed.
    bool remove(const QString &name, QString *errorText = nullptr) const;

    // Writes the lines under newName and then removes the file of oldName when
    // the two names differ in more than letter case. The old file stays when
    // the new one cannot be written, so a failed rename loses nothing.
    bool rename(const QString &oldName, const QString &newName, const QStringList &lines,
                QString *errorText = nullptr) const;

private:
    QStringList signatureFiles() const;
    static bool isValidName(const QString &name);

    QString m_folder;
};
