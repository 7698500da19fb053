#include "FuzzFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

namespace FuzzFile {

QString write(const uint8_t *data, size_t size)
{
    // In memory where the system has it: every save syncs its file to disk,
    // which on a disk would allow a few hundred runs a second.
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/corvane-fuzz-XXXXXX")
                                                                       : QDir::tempPath() + QStringLiteral("/corvane-fuzz-XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("input"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(reinterpret_cast<const char *>(data),
                                                                             static_cast<qint64>(size))
                                                                      != static_cast<qint64>(size))
        std::abort(); // no place to fuzz in: say so rather than fuzz nothing
    return path;
}

}
