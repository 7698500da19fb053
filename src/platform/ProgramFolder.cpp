#include "platform/ProgramFolder.h"

#include <QCoreApplication>

namespace ProgramFolder {

QString path()
{
    return withTrailingSeparator(QCoreApplication::applicationDirPath());
}

QString withTrailingSeparator(const QString &folder)
{
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

}
