#pragma once

#include <QString>
#include <QTemporaryDir>

// A program folder of its own for one test, removed afterwards. It holds the
// shipped upgrade scripts so the store can be created in it.
class TempProgramFolder
{
public:
    TempProgramFolder();
    // The folder with a trailing '/', as the programs see theirs.
    QString path() const;
    QString file(const QString &name) const { return path() + name; }
    void writeFile(const QString &name, const QByteArray &content) const;
    QByteArray readFile(const QString &name) const;

private:
    QTemporaryDir m_dir;
};
