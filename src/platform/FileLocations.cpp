#include "platform/FileLocations.h"

#include "platform/ProgramFolder.h"

#include <QDir>
#include <QFileInfo>

#include <pwd.h>
#include <unistd.h>

namespace {

QString cleanFolder(const QString &folder)
{
    return ProgramFolder::withTrailingSeparator(QDir::cleanPath(folder));
}

// HOME as the session sets it; without one, the home of the account.
QString homeFolder(const QProcessEnvironment &environment)
{
    const QString home = environment.value(QStringLiteral("HOME"));
    if (QDir::isAbsolutePath(home))
        return home;
    const passwd *account = getpwuid(getuid());
    return account ? QFile::decodeName(account->pw_dir) : QDir::rootPath();
}

// The XDG base-directory rule: a relative XDG_DATA_HOME is to be ignored.
QString userDataFolder(const QProcessEnvironment &environment)
{
    const QString dataHome = environment.value(QStringLiteral("XDG_DATA_HOME"));
    const QString base = QDir::isAbsolutePath(dataHome) ? dataHome : homeFolder(environment) + QStringLiteral("/.local/share");
    return cleanFolder(base + QStringLiteral("/corvane"));
}

// The folders above ours are the user's and keep the usual permissions; ours
// is private to the user, as the address book in it is personal.
bool makePrivateFolder(const QString &folder, QString *errorText)
{
    const QString parent = QFileInfo(QDir::cleanPath(folder)).path();
    if (QFileInfo(folder).isDir()
        || (QDir().mkpath(parent) && QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)))
        return true;
    *errorText = QStringLiteral("Cannot create folder \"%1\"").arg(QDir::cleanPath(folder));
    return false;
}

}

const QString FileLocations::InstalledMarker = QStringLiteral("INSTALLED");
const QString FileLocations::AgentSubfolder = QStringLiteral("agent/");

FileLocations FileLocations::forMailer(const QString &mailerFolder, const QProcessEnvironment &environment)
{
    const QString folder = cleanFolder(mailerFolder);
    return FileLocations(folder, folder + AgentSubfolder, environment);
}

FileLocations FileLocations::forAgent(const QString &agentFolder, const QProcessEnvironment &environment)
{
    const QString folder = cleanFolder(agentFolder);
    return FileLocations(cleanFolder(folder + QStringLiteral("..")), folder, environment);
}

FileLocations::FileLocations(const QString &mailerFolder, const QString &agentFolder,
                             const QProcessEnvironment &environment)
    : m_installed(QFileInfo::exists(mailerFolder + InstalledMarker)),
      m_programFolder(mailerFolder),
      m_filesFolder(m_installed ? userDataFolder(environment) : mailerFolder),
      m_agentFilesFolder(m_installed ? m_filesFolder + AgentSubfolder : agentFolder)
{
}

bool FileLocations::createFolders(QString *errorText) const
{
    return !m_installed
           || (makePrivateFolder(m_filesFolder, errorText) && makePrivateFolder(m_agentFilesFolder, errorText));
}
